#include "core/jobs/path_resolver.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

#include "tests/support/test_paths.h"

namespace {

std::string resolved(const std::string& text)
{
    char out[MAX_PATH];
    resolve(text.c_str(), out);
    return out;
}

std::string windowsDirectory()
{
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

}  // namespace

TEST(PathResolver, MacrosTakeTheirDirectoryAndDropWhatStandsBefore)
{
    const std::string sys = systemDirectory();
    const struct {
        std::string text;
        std::string expected;
    } rows[] = {
        {"<sysdir>", sys},
        {"<sysdir>a.dll", sys + "\\a.dll"},
        {"<sysdir>\\a.dll", sys + "\\a.dll"},
        {"C:\\other\\<sysdir>\\a.dll", sys + "\\a.dll"},
        {"<windir>\\a.dll", windowsDirectory() + "\\a.dll"},
        {"<appdir>\\install.ini", executableDirectory() + "\\install.ini"},
        {"<appdir>", executableDirectory()},
        {"<windir>\\<sysdir>", sys},
        {"<sysdir>\\<windir>", sys + "\\<windir>"},
        {"\"<sysdir>\\a b.dll\"", sys + "\\a b.dll"},
        {"<sysdir>\\sub\\..\\a.dll", sys + "\\a.dll"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, resolved(row.text)) << row.text;
    // The program's own files are found where <appdir> points.
    char beside[MAX_PATH];
    ASSERT_TRUE(besideProgram("install.ini", beside, sizeof beside));
    EXPECT_EQ(resolved("<appdir>\\install.ini"), beside);
}

TEST(PathResolver, BareNamesStayAndOtherTextsJoinTheCurrentDirectory)
{
    const std::string cwd = currentDirectory();
    const struct {
        std::string text;
        std::string expected;
    } rows[] = {
        {"a.dll", "a.dll"},
        {"*.dll", "*.dll"},
        {"\"a b.dll\"", "a b.dll"},
        {"sub\\a.dll", cwd + "\\sub\\a.dll"},
        {"<SYSDIR>\\a.dll", cwd + "\\<SYSDIR>\\a.dll"},
        {"C:\\x\\..\\y\\a.dll", "C:\\y\\a.dll"},
        {"\"C:\\a b\\c.dll", cwd + "\\\"C:\\a b\\c.dll"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, resolved(row.text)) << row.text;
}

TEST(PathResolver, RelativeTextsFollowTheCurrentDirectoryOfTheMoment)
{
    ScratchDirectory scratch("resolver_cwd");
    std::string before = currentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryA(scratch.path().c_str()));
    std::string inScratch = resolved("sub\\a.dll");
    SetCurrentDirectoryA(before.c_str());
    EXPECT_EQ(scratch.path() + "\\sub\\a.dll", inScratch);
    EXPECT_EQ(before + "\\sub\\a.dll", resolved("sub\\a.dll"));
}

TEST(PathResolver, JoinsThatOverflowGiveAnEmptyPathNotAnotherName)
{
    std::string longName(250, 'n');
    char out[MAX_PATH];
    EXPECT_FALSE(resolve(("<sysdir>\\" + longName).c_str(), out));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(resolve(("C:\\" + longName + "\\" + longName).c_str(), out));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(appDirPath(longName.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(besideProgram(longName.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
}
