// The result boxes, the result log byte for byte, and how the argument text is taken.
#include <windows.h>

#include "core/registration/status_texts.h"
#include "tests/batch/batch_run.h"
#include "tests/support/failure_causes.h"

namespace {

// The size the directory reports, which needs no open: the program holds its log unshared.
long long listedSize(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(path.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return -1;
    FindClose(listing);
    return entry.nFileSizeLow;
}

// The server path that the test build of the sample COM server registered, or "" without one.
std::string registeredServer()
{
    return defaultValue(HKEY_CLASSES_ROOT, SAMPLE_SERVER_KEY);
}

}  // namespace

TEST_F(BatchRun, EachResultBoxComesAfterItsLogLineAndShowsStatusPathAndIcon)
{
    std::string ok = placeComponent("comp_ok.dll", scratch.file("a.dll"));
    std::string fails = placeComponent("comp_server_fails.dll", scratch.file("f.dll"));
    FailureCause halfServed = halfServedComponent(scratch);
    std::string missing = halfServed.path;
    std::string log = scratch.file("run.log");
    const std::string lines[] = {
        itemLine(ok, "", STATUS_REGISTERED),
        itemLine(fails, "", STATUS_REGISTER_FAILED),
        itemLine(missing, "", STATUS_LOAD_FAILED),
    };

    std::vector<long long> sizesWhileOpen;
    RunSettings settings;
    settings.onBox = [&](const SeenBox&) {
        sizesWhileOpen.push_back(listedSize(log));
        return IDOK;
    };
    ProcessRun result = run("/l:run.log .\\a.dll .\\f.dll .\\half\\needs_two.dll", "", settings);

    ASSERT_EQ(3u, result.boxes.size());
    const struct {
        std::string text;
        UINT icon;
        const char* detailStart;  // a failure's third line says why
    } expected[] = {
        {resultText(STATUS_REGISTERED, ok), MB_ICONINFORMATION, nullptr},
        {resultText(STATUS_REGISTER_FAILED, fails), MB_ICONWARNING, "HRESULT 0x80004005 : "},
        {resultText(STATUS_LOAD_FAILED, missing), MB_ICONWARNING, halfServed.detailStart.c_str()},
    };
    long long logged = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (expected[i].detailStart == nullptr) EXPECT_EQ(expected[i].text, result.boxes[i].text) << "box " << i;
        else EXPECT_TRUE(beginsWith(result.boxes[i].text, expected[i].text + "\n詳細 : " + expected[i].detailStart))
            << result.boxes[i].text;
        EXPECT_STREQ(iconName(expected[i].icon), iconName(result.boxes[i].icon)) << "box " << i;
        EXPECT_EQ(std::vector<int>{IDOK}, result.boxes[i].buttons) << "box " << i;
        logged += (long long)lines[i].size();
        EXPECT_EQ(logged, sizesWhileOpen[i]) << "the log while box " << i << " is open";
    }
    EXPECT_EQ(lines[0] + lines[1] + lines[2], readFileBytes(log));
    EXPECT_EQ((std::vector<std::string>{registered("a.dll"), registered("f.dll")}), calls.lines());

    result = run("/u .\\a.dll");
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(resultText(STATUS_UNREGISTERED, ok), result.boxes[0].text);
    EXPECT_STREQ("information", iconName(result.boxes[0].icon));
}

TEST_F(BatchRun, ArgumentTextOfBlanksOnlyIsAnEmptyBatchNotTheWindow)
{
    RunSettings quick;
    quick.timeoutMs = 20000;
    for (const char* blanks : {" ", "   "}) {
        ProcessRun result = run(blanks, "", quick);
        EXPECT_TRUE(result.boxes.empty()) << "[" << blanks << "]";
        EXPECT_FALSE(result.otherWindowSeen) << "[" << blanks << "]";
    }
}

TEST_F(BatchRun, DefaultLogIsLogTxtBesideTheProgramAndIsTruncatedEachRun)
{
    std::string a = placeComponent("comp_ok.dll", scratch.file("a.dll"));
    placeBesideProgram("log.txt", "an earlier run's lines\r\n");

    run("/s /l .\\a.dll");
    EXPECT_EQ(itemLine(a, "", STATUS_REGISTERED), readFileBytes(besideProgram("log.txt")));

    // Switches without paths perform nothing, and the log they ask for stays empty.
    ProcessRun result = run("/s /l");
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_TRUE(fileExists(besideProgram("log.txt")));
    EXPECT_EQ("", readFileBytes(besideProgram("log.txt")));

    run("/s /l:<appdir>\\named.log /u .\\a.dll");
    EXPECT_EQ(itemLine(a, "/u ", STATUS_UNREGISTERED), readFileBytes(besideProgram("named.log")));
    EXPECT_EQ((std::vector<std::string>{registered("a.dll"), unregistered("a.dll")}), calls.lines());
}

TEST_F(BatchRun, ALogThatCannotBeCreatedLeavesTheRunUnchanged)
{
    placeComponent("comp_ok.dll", scratch.file("a.dll"));
    run("/s /l:no_such_folder\\run.log .\\a.dll");
    EXPECT_FALSE(fileExists(scratch.file("no_such_folder")));
    EXPECT_EQ(std::vector<std::string>{registered("a.dll")}, calls.lines());
}

// Wine lets every user write the machine-wide classes, so neither setting shows a box here;
// what matters is that the setting file is read without disturbing the run.
TEST_F(BatchRun, ConfigBesideTheProgramLetsTheJobRunWhenTheUserMayRegister)
{
    placeComponent("comp_ok.dll", scratch.file("a.dll"));
    for (const char* checkType : {"2", "1"}) {
        calls.clear();
        placeBesideProgram("config.ini", std::string("[RegCheck]\r\nCheckType=") + checkType + "\r\n");
        ProcessRun result = run("/s .\\a.dll");
        EXPECT_TRUE(result.boxes.empty()) << "CheckType " << checkType;
        EXPECT_EQ(std::vector<std::string>{registered("a.dll")}, calls.lines()) << "CheckType " << checkType;
    }
}

TEST_F(BatchRun, AComServerRegisteredFromTheCommandLineIsInTheClassRegistryUntilUnregistered)
{
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("sample.dll"));
    run("/s .\\sample.dll");
    EXPECT_EQ(server, registeredServer());
    run("/s /u .\\sample.dll");
    EXPECT_EQ("", registeredServer());
    EXPECT_EQ((std::vector<std::string>{registered("sample.dll"), unregistered("sample.dll")}), calls.lines());
}
