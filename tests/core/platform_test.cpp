#include <windows.h>

#include <gtest/gtest.h>

TEST(Platform, AnsiCodePageIsJapanese)
{
    // Every fixed text of the program is CP932; a bench without the Japanese locale
    // would make every text and file-name test meaningless.
    ASSERT_EQ(932u, GetACP());
}

TEST(Platform, SourceTextsAreCompiledToCodePage932)
{
    const char text[] = "表";
    ASSERT_EQ(2u, sizeof text - 1);
    EXPECT_EQ(0x95, (unsigned char)text[0]);
    EXPECT_EQ(0x5C, (unsigned char)text[1]);
}
