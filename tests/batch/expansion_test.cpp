// Items produced from the paths of the command line: macros, relative and quoted paths,
// double-byte names, and the descent into folders. Each run logs what it performed.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"

namespace {

// ソ (U+30BD) as the components write it in their UTF-8 call records; 表 is E8 A1 A8.
const char SO_UTF8[] = "\xE3\x82\xBD";

}  // namespace

TEST_F(BatchRun, MacroItemsResolveOnceToTheirDirectoriesEvenWhenAPatternFollowsDirectly)
{
    scratch.makeFolder("app\\comps");
    std::string a = placeComponent("comp_ok.dll", appDir + "\\comps\\a.dll");
    std::string b = placeComponent("comp_ok.dll", appDir + "\\comps\\b.dll");
    std::string c = placeComponent("comp_ok.dll", appDir + "\\c.dll");

    // A path is resolved once: "<appdir>" after the Windows folder is text of a file name there,
    // never the folder of c.dll.
    run("/s /l:macro.log \"<appdir>\\comps\\*.dll\" <appdir>?.dll <sysdir>\\plinthora_absent.dll "
        "<windir>\\plinthora_absent_*.dll <windir>\\<appdir>c.dll");

    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(itemLine(a, "", STATUS_REGISTERED) + itemLine(b, "", STATUS_REGISTERED) +
                  itemLine(c, "", STATUS_REGISTERED) +
                  itemLine(systemDirectory() + "\\plinthora_absent.dll", "", STATUS_LOAD_FAILED) +
                  itemLine(std::string(windows) + "\\<appdir>c.dll", "", STATUS_LOAD_FAILED),
              readFileBytes(scratch.file("macro.log")));
    EXPECT_EQ((std::vector<std::string>{registered("a.dll"), registered("b.dll"), registered("c.dll")}), calls.lines());
}

TEST_F(BatchRun, RelativePathsAndTheLogFollowTheCurrentDirectory)
{
    std::string work = scratch.makeFolder("work");
    scratch.makeFolder("work\\rel");
    std::string a = placeComponent("comp_ok.dll", work + "\\rel\\a.dll");
    std::string up = placeComponent("comp_ok.dll", scratch.file("up.dll"));

    run("/s /l:rel.log rel\\*.dll ..\\up.dll .\\rel\\a.dll", work);

    EXPECT_EQ(itemLine(a, "", STATUS_REGISTERED) + itemLine(up, "", STATUS_REGISTERED) +
                  itemLine(a, "", STATUS_REGISTERED),
              readFileBytes(work + "\\rel.log"));
    EXPECT_EQ(3u, calls.lines().size());
}

TEST_F(BatchRun, QuotedPathsAndValuesMayHoldBlanks)
{
    scratch.makeFolder("with blank");
    scratch.makeFolder("log dir");
    scratch.makeFolder("app\\in app");
    std::string mine = placeComponent("comp_ok.dll", scratch.file("with blank\\my comp.dll"));
    std::string z = placeComponent("comp_ok.dll", appDir + "\\in app\\z.dll");

    run("/s /l:\"log dir\\quoted.log\" \"with blank\\my comp.dll\" \"<appdir>\\in app\\*.dll\" \"with blank\"");

    EXPECT_EQ(itemLine(mine, "", STATUS_REGISTERED) + itemLine(z, "", STATUS_REGISTERED) +
                  itemLine(mine, "", STATUS_REGISTERED),
              readFileBytes(scratch.file("log dir\\quoted.log")));
    EXPECT_EQ((std::vector<std::string>{registered("my comp.dll"), registered("z.dll"), registered("my comp.dll")}),
              calls.lines());
}

// 表 and ソ end in the byte 0x5C, the backslash: neither may be taken for a path separator.
TEST_F(BatchRun, DoubleByteNamesEndingInByte5CAreNeverTakenForFolders)
{
    scratch.makeFolder("表");
    scratch.makeFolder("表\\ソ");
    scratch.makeFolder("app\\表");
    std::string so = placeComponent("comp_ok.dll", scratch.file("表\\ソ.dll"));
    std::string deep = placeComponent("comp_ok.dll", scratch.file("表\\ソ\\表.dll"));
    std::string inApp = placeComponent("comp_ok.dll", appDir + "\\表\\ソ.dll");

    // A folder under a macro written without its backslash is one item: the folder itself.
    // In "表\ソ" the byte before the closing quote is a trail byte, not an escape.
    run("/s /l:dbcs.log 表\\ソ.dll \"表\\ソ.dll\" 表 表\\*.dll <appdir>\\表 <appdir>\\表\\*.dll \"表\\ソ\"");
    std::string registeredSo = itemLine(so, "", STATUS_REGISTERED);
    std::string registeredDeep = itemLine(deep, "", STATUS_REGISTERED);
    EXPECT_EQ(registeredSo + registeredSo + registeredSo + registeredSo +
                  itemLine(appDir + "\\表", "", STATUS_LOAD_FAILED) + itemLine(inApp, "", STATUS_REGISTERED) +
                  registeredDeep,
              readFileBytes(scratch.file("dbcs.log")));
    std::vector<std::string> expectedCalls(5, registered(std::string(SO_UTF8) + ".dll"));
    expectedCalls.push_back(registered("\xE8\xA1\xA8.dll"));
    EXPECT_EQ(expectedCalls, calls.lines());

    // The listing gives the folder ソ before the file ソ.dll.
    run("/s /d /l:tree.log 表");
    EXPECT_EQ(registeredDeep + registeredSo, readFileBytes(scratch.file("tree.log")));
}

TEST_F(BatchRun, SubfoldersAreEnteredDepthFirstOnlyWithD)
{
    // Listed in this order: a.dll, B, inner.dll, sub, z.dll.
    for (const char* folder : {"top", "top\\B", "top\\B\\deeper", "top\\inner.dll", "top\\sub"}) scratch.makeFolder(folder);
    std::string a = placeComponent("comp_ok.dll", scratch.file("top\\a.dll"));
    std::string c = placeComponent("comp_ok.dll", scratch.file("top\\B\\c.dll"));
    std::string d = placeComponent("comp_ok.dll", scratch.file("top\\B\\deeper\\d.dll"));
    std::string f = scratch.file("top\\inner.dll\\f.txt");
    writeFileBytes(f, "not a module");
    std::string e = placeComponent("comp_ok.dll", scratch.file("top\\sub\\e.dll"));
    std::string z = placeComponent("comp_ok.dll", scratch.file("top\\z.dll"));
    auto ok = [](const std::string& path) { return itemLine(path, "", STATUS_REGISTERED); };
    std::string failedF = itemLine(f, "", STATUS_LOAD_FAILED);

    run("/s /d /l:tree.log top\\");
    EXPECT_EQ(ok(a) + ok(c) + ok(d) + failedF + ok(e) + ok(z), readFileBytes(scratch.file("tree.log")));

    run("/s /l:flat.log top\\");
    EXPECT_EQ(ok(a) + ok(z), readFileBytes(scratch.file("flat.log")));

    // A pattern applies at its own level only: a matching folder is listed whole.
    run("/s /d /l:pattern.log top\\*.dll");
    EXPECT_EQ(ok(a) + failedF + ok(z), readFileBytes(scratch.file("pattern.log")));
}
