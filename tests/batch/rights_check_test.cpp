// The start-up rights check, run inside this test program: config.ini is read for real from
// beside this program, while the refused key and the user's answer come through its seam.
#include "app/rights_check.h"

#include <lmcons.h>

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_paths.h"

namespace {

// What follows the user's name: both messages open with the same sentence.
const std::string MAY_LACK_RIGHTS = "にはコンポーネントを登録または解除するための権限がない可能性があります。\n";
const std::string INFORM_TEXT = MAY_LACK_RIGHTS + "管理者などの適切な権限を持つユーザとして再度実行してください。";
const std::string ASK_TEXT = MAY_LACK_RIGHTS +
                             "Plinthoraを一度終了し、管理者などの適切な権限を持つユーザとして再度実行してください。\n\n"
                             "終了せずにこのまま実行を続けることもできますが、"
                             "コンポーネントを適切に登録または解除できない可能性があります。\n\n"
                             "Plinthoraを終了しますか？";

// What the seam saw, and what it answers.
struct Seam {
    bool mayWrite = false;
    int answer = IDOK;
    int accessTests = 0;
    std::vector<std::pair<std::string, UINT>> shown;
} seam;

bool seamMayWriteClasses()
{
    ++seam.accessTests;
    return seam.mayWrite;
}

int seamShowMessage(const char* text, UINT type)
{
    seam.shown.push_back({text, type});
    return seam.answer;
}

// config.ini beside this test program for the life of the object; null content: no file.
class ConfigBesideProgram {
public:
    explicit ConfigBesideProgram(const char* content) : path_(executableDirectory() + "\\config.ini")
    {
        DeleteFileA(path_.c_str());
        if (content != nullptr) writeFileBytes(path_, content);
    }
    ~ConfigBesideProgram() { DeleteFileA(path_.c_str()); }

private:
    std::string path_;
};

std::string userName()
{
    char name[UNLEN + 1];
    DWORD length = sizeof name;
    return GetUserNameA(name, &length) ? name : "";
}

std::string composed(int checkType, const std::string& name)
{
    char out[RIGHTS_MESSAGE_CAPACITY];
    composeRightsMessage(checkType, name.c_str(), out);
    return out;
}

}  // namespace

TEST(RightsCheck, CheckTypeIsReadFromTheRegCheckSectionOfConfigIniBesideTheProgram)
{
    const struct {
        const char* content;
        int expected;
    } rows[] = {
        {nullptr, 0},
        {"[RegCheck]\r\nCheckType=1\r\n", 1},
        {"[RegCheck]\r\nCheckType=2\r\n", 2},
        {"[RegCheck]\r\nCheckType=3\r\n", 3},
        {"[Other]\r\nCheckType=2\r\n", 0},
        {"[RegCheck]\r\nCheckKind=2\r\n", 0},
    };
    for (const auto& row : rows) {
        ConfigBesideProgram config(row.content);
        EXPECT_EQ(row.expected, readCheckType()) << (row.content ? row.content : "(no file)");
    }
}

TEST(RightsCheck, RefusedAccessAsksInformsOrIsSkippedAsTheSettingSays)
{
    const std::string ask = "ユーザ" + userName() + ASK_TEXT;
    const std::string inform = "ユーザ" + userName() + INFORM_TEXT;
    const struct {
        const char* content;
        bool mayWrite;
        int answer;
        bool passes;
        int accessTests;
        const std::string* text;  // null: no box
        UINT type;
    } rows[] = {
        {nullptr, false, IDYES, false, 1, &ask, MB_YESNO | MB_ICONQUESTION},
        {nullptr, false, IDNO, true, 1, &ask, MB_YESNO | MB_ICONQUESTION},
        {"[RegCheck]\r\nCheckType=0\r\n", false, IDYES, false, 1, &ask, MB_YESNO | MB_ICONQUESTION},
        {"[RegCheck]\r\nCheckType=3\r\n", false, IDNO, true, 1, &ask, MB_YESNO | MB_ICONQUESTION},
        {"[RegCheck]\r\nCheckType=3\r\n", false, IDCANCEL, true, 1, &ask, MB_YESNO | MB_ICONQUESTION},
        {"[RegCheck]\r\nCheckType=1\r\n", false, IDOK, false, 1, &inform, MB_OK | MB_ICONINFORMATION},
        {"[RegCheck]\r\nCheckType=2\r\n", false, IDYES, true, 0, nullptr, 0},
        {"[RegCheck]\r\nCheckType=1\r\n", true, IDYES, true, 1, nullptr, 0},
        {nullptr, true, IDYES, true, 1, nullptr, 0},
    };
    for (const auto& row : rows) {
        ConfigBesideProgram config(row.content);
        seam = Seam();
        seam.mayWrite = row.mayWrite;
        seam.answer = row.answer;
        RightsCheck check;
        check.mayWriteClasses = seamMayWriteClasses;
        check.showMessage = seamShowMessage;
        std::string which = std::string(row.content ? row.content : "(no file)") + (row.mayWrite ? " may write" : " refused") +
                            " answer " + std::to_string(row.answer);

        EXPECT_EQ(row.passes, check.passes()) << which;
        EXPECT_EQ(row.accessTests, seam.accessTests) << which;
        if (row.text == nullptr) {
            EXPECT_TRUE(seam.shown.empty()) << which;
        } else {
            ASSERT_EQ(1u, seam.shown.size()) << which;
            EXPECT_EQ(*row.text, seam.shown[0].first) << which;
            EXPECT_EQ(row.type, seam.shown[0].second) << which;
        }
    }
}

TEST(RightsCheck, ATooLongUserNameIsShortenedSoTheMessageFitsItsBuffer)
{
    const std::string longName(300, 'n');
    const std::string prefix = "ユーザ";
    char out[RIGHTS_MESSAGE_CAPACITY + 100];
    FillMemory(out, sizeof out, 0x7F);
    composeRightsMessage(CHECK_ASK, longName.c_str(), out);
    EXPECT_EQ(prefix + longName.substr(0, 208) + ASK_TEXT, std::string(out));
    for (size_t i = RIGHTS_MESSAGE_CAPACITY; i < sizeof out; ++i) ASSERT_EQ(0x7F, out[i]) << "byte " << i << " written";

    // The notice is shorter: the same name fits whole.
    EXPECT_EQ(prefix + longName + INFORM_TEXT, composed(CHECK_INFORM, longName));

    // A cut never leaves half of a double-byte character behind.
    std::string wide = "a";
    for (int i = 0; i < 150; ++i) wide += "表";
    EXPECT_EQ(prefix + wide.substr(0, 207) + ASK_TEXT, composed(CHECK_ASK, wide));
}
