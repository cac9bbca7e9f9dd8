// The argument text is taken from the command line as the shell library's PathGetArgsA takes it.
#include "app/entry_logic.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

TEST(ArgumentText, IsWhatFollowsTheFirstBlankOutsideQuotes)
{
    const char* const lines[] = {
        "\"C:\\p.exe\" /s a.dll",
        "\"C:\\p.exe\"  two blanks",
        "\"x.exe\"child",
        "\"C:\\with blank\\p.exe\"",
        "\"C:\\with blank\\p.exe\" ",
        "C:\\p.exe\t/s",
        "\"C:\\p.exe /u",
        "\"C:\\表\\ソ\\p.exe\" \"表\\ソ.dll\"",
        "C:\\表\\p.exe /s",
        "",
    };
    for (const char* line : lines) EXPECT_EQ(PathGetArgsA(line), argumentText(line)) << "[" << line << "]";
}
