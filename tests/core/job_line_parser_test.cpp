#include "core/jobs/job_line_parser.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A job rendered as one comparable text: flags, the three values, then the paths.
std::string describe(const JobSpec* job)
{
    std::string text;
    text += job->switches.unregister ? "u" : "-";
    text += job->switches.noRegisterServer ? "n" : "-";
    text += job->switches.callInstall ? "i" : "-";
    text += job->silent ? "s" : "-";
    text += job->recurse ? "d" : "-";
    text += job->fromListFile ? "f" : "-";
    text += job->writeLog ? "l" : "-";
    if (job->logDetails) text += " +v";
    if (job->countFailures) text += " +e";
    if (job->capture) text += " +x";
    if (job->switches.perUser) text += " +c";
    if (job->switches.check) text += " +q";
    if (job->switches.installCmdLine[0]) text += std::string(" i=[") + job->switches.installCmdLine + "]";
    if (job->listFilePath[0]) text += std::string(" f=[") + job->listFilePath + "]";
    if (job->logPath[0]) text += std::string(" l=[") + job->logPath + "]";
    if (job->capturePath[0]) text += std::string(" x=[") + job->capturePath + "]";
    for (const PathNode* node = job->pathList.first; node != nullptr; node = node->next)
        text += std::string(" <") + node->text + ">";
    return text;
}

std::string parsed(const std::string& line)
{
    JobSpec* job = newJobSpec();
    parseJobLine(job, line.c_str(), nullptr);
    std::string text = describe(job);
    freeJobSpec(job);
    return text;
}

std::string parsedBounded(const std::string& bytes, size_t length)
{
    JobSpec* job = newJobSpec();
    parseJobLine(job, bytes.data(), bytes.data() + length);
    std::string text = describe(job);
    freeJobSpec(job);
    return text;
}

struct Row {
    const char* line;
    const char* expected;
};

void expectRows(const Row* rows, size_t count)
{
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(rows[i].expected, parsed(rows[i].line)) << "line: " << rows[i].line;
}

}  // namespace

TEST(JobLineParser, EmptyAndBlankLinesSetNothing)
{
    const Row rows[] = {
        {"", "-------"},
        {" \t \t", "-------"},
        {"\r", "-------"},
    };
    expectRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(JobLineParser, SwitchesInEitherMarkAndCase)
{
    const Row rows[] = {
        {"/u /n /i /s /d /f /l", "unisdfl"},
        {"-U -N -I -S -D -F -L", "unisdfl"},
        {"/u /u", "u------"},
        {"/z /y a.dll", "------- <a.dll>"},
        {"/v -E a.dll", "------- +v +e <a.dll>"},
        {"-C a.dll /c", "------- +c <a.dll>"},
        {"-Q a.dll /q", "------- +q <a.dll>"},
        {"a.dll /", "------- <a.dll>"},
    };
    expectRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(JobLineParser, OptionValuesFollowAColon)
{
    const Row rows[] = {
        {"/i", "--i----"},
        {"/i:", "--i----"},
        {"/i:\"a b\"", "--i---- i=[\"a b\"]"},
        {"/i: next", "--i---- i=[next]"},
        {"/i:first /i:second", "--i---- i=[second]"},
        {"/i:first /i", "--i---- i=[first]"},
        {"/f:list.txt /l:\"<appdir>\\my log.txt\"", "-----fl f=[list.txt] l=[\"<appdir>\\my log.txt\"]"},
        {"/I:x", "--i---- i=[x]"},
        {"/x /X:\"<appdir>\\out.reg\" a.dll", "------- +x x=[\"<appdir>\\out.reg\"] <a.dll>"},
        {"/i:\"say \\\"hi\\\"\" a.dll", "--i---- i=[\"say \\\"hi\\\"\"] <a.dll>"},
    };
    expectRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(JobLineParser, PathsAndSwitchesInAnyOrder)
{
    EXPECT_EQ(parsed("/u a.dll b.dll /s"), parsed("a.dll /s b.dll /u"));
    const Row rows[] = {
        {"a.dll b.dll", "------- <a.dll> <b.dll>"},
        {"/ufoo.dll", "u------ <foo.dll>"},
        {"/un", "u------ <n>"},
        {"/u/n", "un-----"},
        {"-z.dll", "------- <.dll>"},
        {"\"C:\\a b\\c.dll\" /u", "u------ <C:\\a b\\c.dll>"},
        {"\"\" a.dll", "------- <a.dll>"},
        {"\"a b\"c.dll", "------- <a b> <c.dll>"},
        {"\"a b\"/u", "u------ <a b>"},
        {"a\tb.dll", "------- <a\tb.dll>"},
        {"\"a\\\"b\" c", "------- <a\\\"b> <c>"},
        {"\"C:\\dir\\\" /u", "------- <\"C:\\dir\\\" /u>"},
    };
    expectRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(JobLineParser, DoubleByteWordsKeepTrailByteBackslashes)
{
    // 表 and ソ end in the byte 0x5C in code page 932.
    const Row rows[] = {
        {"C:\\表\\ソ.dll /s", "---s--- <C:\\表\\ソ.dll>"},
        {"\"C:\\表 ソ\\ソ.dll\" /u", "u------ <C:\\表 ソ\\ソ.dll>"},
        {"\"C:\\ソ\" /u", "u------ <C:\\ソ>"},
        {"\"C:\\dir\\\\表\" /u", "u------ <C:\\dir\\\\表>"},
        {"/表.dll", "------- <.dll>"},
        {"/i:\"表\" x", "--i---- i=[\"表\"] <x>"},
    };
    expectRows(rows, sizeof rows / sizeof rows[0]);
}

TEST(JobLineParser, LineEndsAtCarriageReturnNulAndBound)
{
    EXPECT_EQ(parsed("a.dll /u"), parsed("a.dll /u\r"));
    EXPECT_EQ("------- <a.dll>", parsedBounded(std::string("a.dll b.dll"), 5));
    EXPECT_EQ("------- <a.dll>", parsedBounded(std::string("a.dll\0b.dll", 11), 11));
    EXPECT_EQ("u------ <a.dll>", parsedBounded(std::string("a.dll /u\r\nb.dll"), 9));
    // A lead byte at the very end of the bounds takes no byte beyond them.
    EXPECT_EQ("------- <a\x95>", parsedBounded(std::string("a\x95\x5C.dll"), 2));
}

TEST(JobLineParser, OverlongWordsAndValuesAreCutToTheirFields)
{
    std::string word(300, 'w');
    std::string value(300, 'v');
    JobSpec* job = newJobSpec();
    parseJobLine(job, (word + " /i:" + value + " /l:" + value + " /f:" + value + " /x:" + value).c_str(), nullptr);
    EXPECT_EQ(std::string(259, 'w'), job->pathList.first->text);
    EXPECT_EQ(std::string(255, 'v'), job->switches.installCmdLine);
    EXPECT_EQ(std::string(259, 'v'), job->logPath);
    EXPECT_EQ(std::string(259, 'v'), job->listFilePath);
    EXPECT_EQ(std::string(259, 'v'), job->capturePath);
    freeJobSpec(job);
}

TEST(JobLineParser, ReadTokenStopsOnItsTerminator)
{
    char out[16];
    const char* line = "abc def";
    EXPECT_EQ(line + 3, readToken(line, out, sizeof out));
    EXPECT_STREQ("abc", out);
    const char* quoted = "\"a b\"c";
    EXPECT_EQ(quoted + 4, readToken(quoted, out, sizeof out));
    EXPECT_STREQ("\"a b\"", out);
    const char* empty = "";
    EXPECT_EQ(empty, readToken(empty, out, sizeof out));
    EXPECT_STREQ("", out);
}
