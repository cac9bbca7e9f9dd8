// List files from the command line: the default files next to the program, the outer
// switches merged into every line, nesting, the text format, and list-file errors.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"

TEST_F(BatchRun, DefaultListFilesAreInstallIniAndForUnregisteringUninstallIni)
{
    std::string a = placeComponent("comp_ok.dll", besideProgram("a.dll"));
    std::string b = placeComponent("comp_ok.dll", besideProgram("b.dll"));
    placeBesideProgram("install.ini", "<appdir>\\a.dll\r\n/u <appdir>\\b.dll\r\n");

    run("/s /f /l:install.log");
    EXPECT_EQ(itemLine(a, "", STATUS_REGISTERED) + itemLine(b, "/u ", STATUS_UNREGISTERED),
              readFileBytes(scratch.file("install.log")));

    // Without uninstall.ini, install.ini serves with /u forced on every line.
    run("/s /f /u /l:reverse.log");
    EXPECT_EQ(itemLine(a, "/u ", STATUS_UNREGISTERED) + itemLine(b, "/u ", STATUS_UNREGISTERED),
              readFileBytes(scratch.file("reverse.log")));

    // uninstall.ini runs as written: its line without /u registers.
    placeBesideProgram("uninstall.ini", "<appdir>\\b.dll\r\n/u <appdir>\\a.dll\r\n");
    run("/s /u /f /l:uninstall.log");
    EXPECT_EQ(itemLine(b, "", STATUS_REGISTERED) + itemLine(a, "/u ", STATUS_UNREGISTERED),
              readFileBytes(scratch.file("uninstall.log")));

    run("/s /f /l:again.log");
    EXPECT_EQ(itemLine(a, "", STATUS_REGISTERED) + itemLine(b, "/u ", STATUS_UNREGISTERED),
              readFileBytes(scratch.file("again.log")));
}

TEST_F(BatchRun, OuterSwitchesAreAddedToEveryLineAndNeverTakeAnythingAway)
{
    scratch.makeFolder("app\\tree");
    scratch.makeFolder("app\\tree\\sub");
    std::string a = placeComponent("comp_ok.dll", besideProgram("a.dll"));
    std::string b = placeComponent("comp_ok.dll", besideProgram("b.dll"));
    std::string c = placeComponent("comp_ok.dll", besideProgram("c.dll"));
    std::string s = placeComponent("comp_ok.dll", besideProgram("tree\\sub\\s.dll"));
    std::string t = placeComponent("comp_ok.dll", besideProgram("tree\\t.dll"));
    // A line's own /l is read and ignored.
    writeFileBytes(scratch.file("merge.txt"),
                   "/i:own <appdir>\\a.dll\n/u <appdir>\\b.dll\n/n /i:mine <appdir>\\c.dll\n<appdir>\\tree\\\n"
                   "/l:inner.log <appdir>\\a.dll\n");

    run("/s /f:merge.txt /l:plain.log");
    EXPECT_EQ(itemLine(a, "/i:own", STATUS_REGISTERED) + itemLine(b, "/u ", STATUS_UNREGISTERED) +
                  itemLine(c, "/n /i:mine", STATUS_REGISTERED) + itemLine(t, "", STATUS_REGISTERED) +
                  itemLine(a, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("plain.log")));
    EXPECT_EQ((std::vector<std::string>{registered("a.dll"), installed("a.dll", 1, "own"), unregistered("b.dll"),
                                        installed("c.dll", 1, "mine"), registered("t.dll"), registered("a.dll")}),
              calls.lines());
    EXPECT_FALSE(fileExists(scratch.file("inner.log")));

    calls.clear();
    run("/s /d /n /i:outer /f:merge.txt /l:outer.log");
    EXPECT_EQ(itemLine(a, "/n /i:outer", STATUS_REGISTERED) + itemLine(b, "/u /n /i:outer", STATUS_UNREGISTERED) +
                  itemLine(c, "/n /i:outer", STATUS_REGISTERED) + itemLine(s, "/n /i:outer", STATUS_REGISTERED) +
                  itemLine(t, "/n /i:outer", STATUS_REGISTERED) + itemLine(a, "/n /i:outer", STATUS_REGISTERED),
              readFileBytes(scratch.file("outer.log")));
    EXPECT_EQ((std::vector<std::string>{installed("a.dll", 1, "outer"), installed("b.dll", 0, "outer"),
                                        installed("c.dll", 1, "outer"), installed("s.dll", 1, "outer"),
                                        installed("t.dll", 1, "outer"), installed("a.dll", 1, "outer")}),
              calls.lines());

    // An outer /i without a value empties every line's command line; /u with a named list
    // file is forced on every line.
    calls.clear();
    run("/s /u /i /f:merge.txt /l:empty.log");
    EXPECT_EQ(itemLine(a, "/u /i", STATUS_UNREGISTERED) + itemLine(b, "/u /i", STATUS_UNREGISTERED) +
                  itemLine(c, "/u /n /i", STATUS_UNREGISTERED) + itemLine(t, "/u /i", STATUS_UNREGISTERED) +
                  itemLine(a, "/u /i", STATUS_UNREGISTERED),
              readFileBytes(scratch.file("empty.log")));
    EXPECT_EQ(installed("c.dll", 0, "(null)"), calls.lines().at(4));

    run("/s /c /f:merge.txt /l:user.log");
    EXPECT_EQ(itemLine(a, "/c /i:own", STATUS_REGISTERED) + itemLine(b, "/c /u ", STATUS_UNREGISTERED) +
                  itemLine(c, "/c /n /i:mine", STATUS_REGISTERED) + itemLine(t, "/c ", STATUS_REGISTERED) +
                  itemLine(a, "/c ", STATUS_REGISTERED),
              readFileBytes(scratch.file("user.log")));
}

TEST_F(BatchRun, NestedListFilesRunWholeBeforeTheNextLineAndTakeRelativeNamesFromTheCurrentDirectory)
{
    scratch.makeFolder("lists");
    for (const char* name : {"a.dll", "b.dll", "c.dll", "d.dll"}) placeComponent("comp_ok.dll", scratch.file(name));
    writeFileBytes(scratch.file("lists\\outer.txt"), ".\\a.dll\n/f:lists\\inner.txt\n.\\d.dll\n");
    writeFileBytes(scratch.file("lists\\inner.txt"), ".\\b.dll\n.\\c.dll\n");

    run("/s /f:lists\\outer.txt");

    EXPECT_EQ((std::vector<std::string>{registered("a.dll"), registered("b.dll"), registered("c.dll"), registered("d.dll")}),
              calls.lines());
}

TEST_F(BatchRun, ListFileLinesEndAtLineFeedsCarriageReturnsTheFileEndAndANul)
{
    for (const char* name : {"c1.dll", "c2.dll", "c3.dll", "n1.dll", "n2.dll", "n3.dll", "p1.dll"})
        placeComponent("comp_ok.dll", scratch.file(name));
    writeFileBytes(scratch.file("crlf.txt"), ".\\c1.dll\r\n\r\n   \t \r\n.\\c2.dll\r\n/u .\\c3.dll");
    const char withNul[] = ".\\n1.dll\n.\\n2.dll\0.\\n3.dll\n.\\n3.dll\n";
    writeFileBytes(scratch.file("with_nul.txt"), std::string(withNul, sizeof withNul - 1));
    // A file of exactly one page has no byte after its text: the last line must end at the
    // file's end, not at a terminator searched for beyond it.
    std::string lastLine = "/u .\\p1.dll";
    std::string page = std::string(4096 - lastLine.size() - 1, ' ') + "\n" + lastLine;
    ASSERT_EQ(4096u, page.size());
    writeFileBytes(scratch.file("page.txt"), page);
    writeFileBytes(scratch.file("all.txt"), "/f:crlf.txt\n/f:with_nul.txt\n/f:page.txt");

    run("/s /f:all.txt");

    EXPECT_EQ((std::vector<std::string>{registered("c1.dll"), registered("c2.dll"), unregistered("c3.dll"),
                                        registered("n1.dll"), registered("n2.dll"), unregistered("p1.dll")}),
              calls.lines());
}

TEST_F(BatchRun, AnEmptyListFileDoesNothingAndSaysNothing)
{
    writeFileBytes(scratch.file("empty.txt"), "");
    ProcessRun result = run("/f:empty.txt /l:empty.log");
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_TRUE(fileExists(scratch.file("empty.log")));
    EXPECT_EQ("", readFileBytes(scratch.file("empty.log")));
}

TEST_F(BatchRun, AMissingListFileIsReportedInABoxAndInTheLog)
{
    // A bare name is opened in the current directory and reported as written.
    std::string message = "absent.txt がオープンできません";

    ProcessRun result = run("/f:absent.txt /l:loud.log");
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(message, result.boxes[0].text);
    EXPECT_STREQ("warning", iconName(result.boxes[0].icon));
    EXPECT_EQ(std::vector<int>{IDOK}, result.boxes[0].buttons);
    EXPECT_EQ(errorLine(message), readFileBytes(scratch.file("loud.log")));

    result = run("/s /f /l:quiet.log");
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(errorLine(besideProgram("install.ini") + " がオープンできません"), readFileBytes(scratch.file("quiet.log")));
}

TEST_F(BatchRun, AListFileNamingItselfCannotBeOpenedAgainAndTheRunGoesOn)
{
    std::string self = scratch.file("self.txt");
    std::string a = placeComponent("comp_ok.dll", scratch.file("a.dll"));
    writeFileBytes(self, "/f:" + self + "\r\n.\\a.dll\r\n");

    ProcessRun result = run("/f:self.txt /l:self.log");

    std::string message = self + " がオープンできません";
    ASSERT_EQ(2u, result.boxes.size());
    EXPECT_EQ(message, result.boxes[0].text);
    EXPECT_STREQ("warning", iconName(result.boxes[0].icon));
    EXPECT_EQ(resultText(STATUS_REGISTERED, a), result.boxes[1].text);
    EXPECT_EQ(errorLine(message) + itemLine(a, "", STATUS_REGISTERED), readFileBytes(scratch.file("self.log")));
}

TEST_F(BatchRun, AChainOfListFilesDeeperThanThirtyTwoIsCutWithAnError)
{
    std::string a = placeComponent("comp_ok.dll", scratch.file("a.dll"));
    const int files = 40;
    for (int i = 0; i < files; ++i) {
        std::string text = "/f:chain" + std::to_string(i + 1) + ".txt\r\n";
        if (i == 0) text += ".\\a.dll\r\n";
        writeFileBytes(scratch.file("chain" + std::to_string(i) + ".txt"), text);
    }

    run("/s /f:chain0.txt /l:chain.log");

    // chain0 to chain31 are open when chain31 names chain32.
    EXPECT_EQ(errorLine("chain32.txt の入れ子が深すぎます") + itemLine(a, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("chain.log")));
}
