// /q: an item's registration compared with the registry, without writing to it.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/components/time_stamp_registrar.h"

namespace {

const std::string SAMPLE_NOT_THERE = "HKCR\\" + SAMPLE_CLASS_KEY + " : キーなし (登録では Plinthora Sample Object (test build))、相違 3 件";

// What a check answered, as its log line written with /v says.
struct Answer {
    std::string status;
    std::string detail;
};

Answer answerIn(const std::string& logLine)
{
    std::vector<std::string> fields(1);
    for (char c : logLine.substr(0, logLine.find("\r\n"))) {
        if (c == '\t') fields.emplace_back();
        else fields.back() += c;
    }
    fields.resize(4);
    return {fields[2], fields[3]};
}

void removeSampleRegistration()
{
    removeKey(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY);
    removeKey(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_CLASS_KEY);
}

// The registry editor's export of a root, in its file's bytes.
std::string exported(const ScratchDirectory& scratch, const char* key)
{
    std::string file = scratch.file("export.reg");
    DeleteFileA(file.c_str());
    RunSettings settings;
    ProcessRun editor = runProcess(systemDirectory() + "\\..\\regedit.exe", "regedit.exe /e \"" + file + "\" " + key, settings);
    EXPECT_TRUE(editor.finished);
    return readFileBytes(file);
}

class CheckRun : public BatchRun {
protected:
    CheckRun() { removeSampleRegistration(); }
    ~CheckRun() override { removeSampleRegistration(); }

    // Checks one path with /s /e /v and a log, expecting the exit code /e gives.
    Answer check(const std::string& switches, const std::string& path, DWORD exitCode)
    {
        expectedExitCode = exitCode;
        run("/s /e /v /l:check.log " + switches + " " + path);
        expectedExitCode = 0;
        return answerIn(readFileBytes(scratch.file("check.log")));
    }
};

enum SampleState { SAMPLE_ABSENT, SAMPLE_REGISTERED, SAMPLE_ELSEWHERE, SAMPLE_CHANGED_BY_HAND, SAMPLE_FOR_USER };

struct StateRow {
    SampleState state;
    const char* switches;
    const char* status;
    DWORD exitCode;
    std::string detail;  // "<server>" and "<other>" stand for the two copies' paths
};

std::string withPaths(std::string text, const std::string& server, const std::string& other)
{
    for (const auto& [mark, path] : {std::pair<std::string, std::string>{"<server>", server}, {"<other>", other}}) {
        size_t at = text.find(mark);
        if (at != std::string::npos) text.replace(at, mark.size(), path);
    }
    return text;
}

}  // namespace

TEST_F(CheckRun, TheSampleInEachStateGetsItsAnswerAndEOnlyCountsTheOtherAnswers)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    scratch.makeFolder("old");
    std::string other = placeComponent("comp_sample_server.dll", scratch.file("old\\server.dll"));
    const StateRow rows[] = {
        {SAMPLE_ABSENT, "/q", STATUS_CHECK_NOT_REGISTERED, 1, SAMPLE_NOT_THERE},
        {SAMPLE_ABSENT, "/q /u", STATUS_CHECK_NOT_REGISTERED, 0, SAMPLE_NOT_THERE},
        {SAMPLE_REGISTERED, "/q", STATUS_CHECK_REGISTERED, 0, ""},
        {SAMPLE_REGISTERED, "-Q /U", STATUS_CHECK_REGISTERED, 1, ""},
        {SAMPLE_REGISTERED, "/q /c", STATUS_CHECK_REGISTERED, 0, ""},
        {SAMPLE_ELSEWHERE, "/q", STATUS_CHECK_OTHER_FILE, 1,
         "HKCR\\" + SAMPLE_SERVER_KEY + " : <other> (登録では <server>)、相違 1 件"},
        {SAMPLE_CHANGED_BY_HAND, "/q", STATUS_CHECK_PARTLY_REGISTERED, 1,
         "HKCR\\" + SAMPLE_SERVER_KEY + " [ThreadingModel] : Free (登録では Apartment)、相違 1 件"},
        {SAMPLE_FOR_USER, "/q /c", STATUS_CHECK_REGISTERED, 0, ""},
        {SAMPLE_FOR_USER, "/q", STATUS_CHECK_NOT_REGISTERED, 1, SAMPLE_NOT_THERE},
    };
    for (const StateRow& row : rows) {
        removeSampleRegistration();
        if (row.state == SAMPLE_REGISTERED || row.state == SAMPLE_CHANGED_BY_HAND) run("/s .\\server.dll");
        if (row.state == SAMPLE_ELSEWHERE) run("/s .\\old\\server.dll");
        if (row.state == SAMPLE_FOR_USER) run("/s /c .\\server.dll");
        if (row.state == SAMPLE_CHANGED_BY_HAND) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, SAMPLE_SERVER_KEY.c_str(), 0, KEY_SET_VALUE, &key));
            RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, (const BYTE*)"Free", 5);
            RegCloseKey(key);
        }
        Answer answer = check(row.switches, ".\\server.dll", row.exitCode);
        EXPECT_EQ(row.status, answer.status) << row.switches << " in state " << row.state;
        std::string detail = withPaths(row.detail, server, other);
        // The test's long folder names overfill a detail: what it names is cut, its count kept.
        const std::string count = "、相違 1 件";
        if (detail.size() > 255) detail = detail.substr(0, 255 - count.size()) + count;
        EXPECT_EQ(detail, answer.detail) << row.switches << " in state " << row.state;
    }
}

// Two captures a second apart write different stamps: the stamp is left out, and said so.
TEST_F(CheckRun, AValueThatMovesBetweenTwoCapturesIsLeftOutAndCounted)
{
    placeComponent("comp_time_stamp_registrar.dll", scratch.file("stamp.dll"));
    run("/s .\\stamp.dll");
    Answer answer = check("/q", ".\\stamp.dll", 0);
    EXPECT_EQ(STATUS_CHECK_REGISTERED, answer.status);
    EXPECT_EQ("毎回変わる値 1 件は比較せず", answer.detail);

    removeKey(HKEY_CLASSES_ROOT, TIME_STAMP_SERVER_KEY);
    answer = check("/q", ".\\stamp.dll", 1);
    EXPECT_EQ(STATUS_CHECK_PARTLY_REGISTERED, answer.status);
    EXPECT_EQ("HKCR\\" + std::string(TIME_STAMP_SERVER_KEY) + " : キーなし (登録では " + scratch.file("stamp.dll") +
                  ")、相違 1 件、毎回変わる値 1 件は比較せず",
              answer.detail);
    removeKey(HKEY_CLASSES_ROOT, TIME_STAMP_CLASS_KEY);
}

// The registry editor's exports of the machine's software (its classes in both views among
// it) and of the user are the same bytes before and after checks of every kind: nothing was
// written, and the scratch keys are gone again. The rest of the machine's keys is left out:
// Wine's display driver adds its devices there once a session first shows anything.
TEST_F(CheckRun, ACheckLeavesTheRegistryByteForByteAsItWas)
{
    placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    placeComponent("comp_category_registrar.dll", scratch.file("category.dll"));
    run("/s .\\server.dll");
    std::string machine = exported(scratch, "HKEY_LOCAL_MACHINE\\Software");
    std::string user = exported(scratch, "HKEY_CURRENT_USER");
    ASSERT_NE(std::string::npos, machine.find(utf16(SAMPLE_CLASS_KEY))) << "the export holds the registration";

    // Each run: one of the two is not as asked.
    expectedExitCode = 1;
    run("/s /e /q .\\server.dll .\\category.dll");
    run("/s /e /q /c .\\server.dll .\\category.dll");
    run("/s /e /q /u .\\server.dll .\\category.dll");
    expectedExitCode = 0;

    EXPECT_TRUE(machine == exported(scratch, "HKEY_LOCAL_MACHINE\\Software")) << "the machine's registry changed";
    EXPECT_TRUE(user == exported(scratch, "HKEY_CURRENT_USER")) << "the user's registry changed";
}

// A 32-bit component given to the 64-bit program is checked by the 32-bit helper, against the
// 32-bit view: the same keys in the 64-bit view alone do not register it. Needs both builds, so
// it runs in the 32-bit suite with the 64-bit build beside this one.
TEST_F(CheckRun, A32BitComponentIsCheckedByThe32BitHelperInThe32BitView)
{
    std::string unavailable = use64BitProgramWith32BitHelper();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server32.dll"));

    run("/s .\\server32.dll");
    EXPECT_EQ(STATUS_CHECK_REGISTERED, check("/q", ".\\server32.dll", 0).status);

    removeSampleRegistration();
    std::string machineServerKey = USER_CLASSES + SAMPLE_SERVER_KEY;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, machineServerKey.c_str(), 0, nullptr, 0,
                                             KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr));
    RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)server.c_str(), (DWORD)server.size() + 1);
    RegCloseKey(key);
    EXPECT_EQ(STATUS_CHECK_NOT_REGISTERED, check("/q", ".\\server32.dll", 1).status);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, machineServerKey.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (USER_CLASSES + SAMPLE_CLASS_KEY).c_str(), KEY_WOW64_64KEY, 0);
}

// /q counts in a list file's lines and is passed from the line that names the list to each of
// its lines; a check registers nothing. /x with /q on the job line performs nothing.
TEST_F(CheckRun, ListFilesAskForChecksAndCaptureRefusesThem)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server.dll"));
    writeFileBytes(scratch.file("checks.txt"), ".\\server.dll /q\r\n/q /f:plain.txt\r\n");
    writeFileBytes(scratch.file("plain.txt"), ".\\server.dll\r\n");

    expectedExitCode = 2;
    run("/s /e /l:run.log /f:checks.txt");
    expectedExitCode = 0;
    EXPECT_EQ(itemLine(server, "/q ", STATUS_CHECK_NOT_REGISTERED) + itemLine(server, "/q ", STATUS_CHECK_NOT_REGISTERED),
              readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_CLASS_KEY));

    ProcessRun refused = run("/x /q /l:run.log .\\server.dll");
    ASSERT_EQ(1u, refused.boxes.size());
    EXPECT_EQ("/x と /q は同時に指定できません", refused.boxes[0].text);
    EXPECT_EQ(errorLine("/x と /q は同時に指定できません"), readFileBytes(scratch.file("run.log")));
}
