#include "core/check/difference_text.h"

#include <gtest/gtest.h>
#include <string>

#include "core/jobs/text_limits.h"

namespace {

struct DataRow {
    DWORD type;
    std::string bytes;
    const char* expected;
};

std::string wide(const wchar_t* text, size_t characters)
{
    return std::string((const char*)text, characters * sizeof(wchar_t));
}

std::string data(const DataRow& row)
{
    char out[DETAIL_TEXT_CAPACITY];
    describeData(row.type, (const BYTE*)row.bytes.data(), (DWORD)row.bytes.size(), out, sizeof out);
    return out;
}

std::string check(const std::string& difference, DWORD differences, DWORD leftOut)
{
    char out[DETAIL_TEXT_CAPACITY];
    describeCheck(difference.c_str(), differences, leftOut, out, sizeof out);
    return out;
}

}  // namespace

TEST(DifferenceText, ValuesReadAsTheRegistryEditorWritesThemButStringsBare)
{
    const DataRow rows[] = {
        {REG_SZ, wide(L"C:\\old\\ctl.ocx", 15), "C:\\old\\ctl.ocx"},
        {REG_SZ, wide(L"unterminated", 12), "unterminated"},
        {REG_EXPAND_SZ, wide(L"%SystemRoot%\\a.dll", 19), "%SystemRoot%\\a.dll"},
        {REG_MULTI_SZ, wide(L"one\0two\0", 9), "one\\0two"},
        {REG_DWORD, std::string("\x0a\0\0\0", 4), "dword:0000000a"},
        {REG_QWORD, std::string("\x01\0\0\0\x02\0\0\0", 8), "qword:0000000200000001"},
        {REG_BINARY, std::string("\x01\xff", 2), "hex(3):01,ff"},
        {REG_NONE, std::string(), "hex(0):"},
    };
    for (const DataRow& row : rows) EXPECT_EQ(row.expected, data(row)) << "type " << row.type;
}

// However long the difference, the counts stay whole at the end of the 255 bytes, and the
// cut never splits a double-byte character.
TEST(DifferenceText, TheDetailKeepsItsCountsWhateverTheDifferencesLength)
{
    EXPECT_EQ("", check("ignored", 0, 0));
    EXPECT_EQ("毎回変わる値 2 件は比較せず", check("ignored", 0, 2));
    EXPECT_EQ("HKCR\\a : キーなし (登録では x)、相違 3 件", check("HKCR\\a : キーなし (登録では x)", 3, 0));
    std::string counts = "、相違 12 件、毎回変わる値 1 件は比較せず";
    std::string cut = check("HKCR\\" + std::string(300, 'k'), 12, 1);
    EXPECT_EQ(DETAIL_TEXT_CAPACITY - 1, cut.size());
    EXPECT_EQ(counts, cut.substr(cut.size() - counts.size()));
    std::string doubleBytes;
    for (int i = 0; i < 200; i++) doubleBytes += "値";
    cut = check(doubleBytes, 12, 1);
    EXPECT_EQ(counts, cut.substr(cut.size() - counts.size()));
    EXPECT_EQ(0u, (cut.size() - counts.size()) % 2) << "a whole number of double-byte characters";
}
