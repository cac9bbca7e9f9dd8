// Components run in a worker process: one that crashes, ends its process or hangs costs only
// its own item, a component built for the other architecture goes to the helper of that
// architecture beside the program, and every failure says why.
#include <windows.h>

#include <algorithm>

#include "core/registration/status_texts.h"
#include "core/worker/worker_channel.h"
#include "tests/batch/batch_run.h"
#include "tests/support/failure_causes.h"
#include "tests/support/wait_until.h"

namespace {

// The program's processes still running: its workers, once the run itself has ended.
long workersLeft()
{
    std::vector<PROCESSENTRY32> processes = runningProcesses();
    return std::count_if(processes.begin(), processes.end(), [](const PROCESSENTRY32& process) {
        return lstrcmpiA(process.szExeFile, "plinthora.exe") == 0;
    });
}

}  // namespace

TEST_F(BatchRun, ComponentsThatCrashEndTheirProcessOrHangCostOnlyTheirOwnItem)
{
    placeBesideProgram("config.ini", "[Run]\r\nItemTimeout=3\r\n");
    std::string ok = placeComponent("comp_ok.dll", scratch.file("ok.dll"));
    const struct {
        const char* component;
        const char* switches;
        const char* status;
    } rows[] = {
        {"comp_crash_load.dll", "", STATUS_LOAD_FAILED},
        {"comp_crash_register.dll", "", STATUS_REGISTER_FAILED},
        {"comp_crash_install.dll", "/i", STATUS_INSTALL_FAILED},
        {"comp_exit_register.dll", "", STATUS_REGISTER_FAILED},
        {"comp_hang_register.dll", "", STATUS_REGISTER_FAILED},
        {"comp_crash_register.dll", "/u ", STATUS_UNREGISTER_FAILED},
        {"comp_exit_register.dll", "/u ", STATUS_UNREGISTER_FAILED},
        {"comp_hang_register.dll", "/u ", STATUS_UNREGISTER_FAILED},
        // Wine's own: its DllInstall is a stub that raises an exception.
        {nullptr, "/i", STATUS_INSTALL_FAILED},
    };
    std::string list = ok + "\r\n";
    std::string expectedLog = itemLine(ok, "", STATUS_REGISTERED);
    for (const auto& row : rows) {
        std::string path = row.component != nullptr ? placeComponent(row.component, scratch.file(row.component))
                                                    : systemDirectory() + "\\itss.dll";
        list += path + " " + row.switches + "\r\n" + ok + "\r\n";
        expectedLog += itemLine(path, row.switches, row.status) + itemLine(ok, "", STATUS_REGISTERED);
    }
    writeFileBytes(scratch.file("list.txt"), list);

    ProcessRun result = run("/s /l:run.log /f:list.txt");

    EXPECT_EQ(expectedLog, readFileBytes(scratch.file("run.log")));
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_FALSE(result.otherWindowSeen) << "a fault dialog came up";
    std::vector<std::string> good;
    for (const std::string& line : calls.lines()) {
        if (line.rfind("ok.dll|", 0) == 0) good.push_back(line);
    }
    EXPECT_EQ(std::vector<std::string>(10, registered("ok.dll")), good);
    EXPECT_EQ(0, workersLeft()) << "a worker was left behind";
}

// As a deployment engine ends a job at its time limit: the run is ended from outside while its
// worker waits for the next item (the run shows a box) or is inside a component that never
// returns. No worker may stay behind.
TEST_F(BatchRun, AWorkerEndsWhenItsRunIsEndedFromOutsideIdleOrBusy)
{
    placeBesideProgram("config.ini", "[Run]\r\nItemTimeout=0\r\n");
    placeComponent("comp_ok.dll", scratch.file("ok.dll"));
    placeComponent("comp_hang_register.dll", scratch.file("hang.dll"));
    for (const char* arguments : {"ok.dll", "/s hang.dll"}) {
        std::string line = "\"" + program + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        ASSERT_TRUE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, scratch.path().c_str(),
                                   &startup, &started));
        CloseHandle(started.hThread);
        bool silent = arguments[0] == '/';
        bool reached = waitUntil([&] {
            return calls.lines().size() == 1 && (silent || findMessageBox(started.dwProcessId, "Plinthora") != nullptr);
        });
        TerminateProcess(started.hProcess, 1);
        CloseHandle(started.hProcess);
        EXPECT_TRUE(reached) << arguments;
        EXPECT_TRUE(waitUntil([] { return workersLeft() == 0; }, 5000)) << "a worker outlived its run: " << arguments;
        calls.clear();
    }
}

TEST_F(BatchRun, NothingInTheArgumentsOrTheEnvironmentsTextMakesAWorker)
{
    placeComponent("comp_ok.dll", scratch.file("ok.dll"));
    writeFileBytes(scratch.file("list.txt"), std::string(WORKER_CHANNEL_VARIABLE) + "=4 ok.dll\r\n");
    SetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, "4");
    run(std::string("/s /l:run.log ") + WORKER_CHANNEL_VARIABLE + "=4 /f:list.txt");
    SetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, nullptr);
    // Bare names, kept as they are: no path of this scratch folder is "PLINTHORA_WORKER_CHANNEL=4".
    EXPECT_EQ(itemLine(std::string(WORKER_CHANNEL_VARIABLE) + "=4", "", STATUS_LOAD_FAILED) +
                  itemLine("ok.dll", "", STATUS_REGISTERED),
              readFileBytes(scratch.file("run.log")));
}

TEST_F(BatchRun, AComponentFindsTheDllsBesideItFromAnyCurrentDirectory)
{
    scratch.makeFolder("comps");
    scratch.makeFolder("comps\\sub");
    std::string component = placeComponent("comp_needs_dependency.dll", scratch.file("comps\\sub\\comp.dll"));
    placeComponent("comp_dependency.dll", scratch.file("comps\\sub\\comp_dependency.dll"));
    run("/s /l:run.log comps\\sub\\comp.dll");
    EXPECT_EQ(itemLine(component, "", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
}

// A 32-bit component given to the 64-bit program: performed by plinthora32.exe beside it, or,
// without that helper, a failed load as before. Needs both builds and 32-bit Windows programs,
// so it runs in the 32-bit suite, with the 64-bit build beside this one.
TEST_F(BatchRun, A32BitComponentGoesToThe32BitHelperBesideThe64BitProgram)
{
    std::string unavailable = use64BitProgramWith32BitHelper();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    std::string server = placeComponent("comp_sample_server.dll", scratch.file("server32.dll"));

    // Twice: the worker hands back a group at the item it cannot load, and goes on after it.
    run("/s /l:run.log .\\server32.dll .\\server32.dll");
    EXPECT_EQ(itemLine(server, "", STATUS_REGISTERED) + itemLine(server, "", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(server, defaultValue(HKEY_CLASSES_ROOT, SAMPLE_SERVER_KEY)) << "in the 32-bit view of the registry";

    DeleteFileA(besideProgram("plinthora32.exe").c_str());
    run("/s /l:run.log /u .\\server32.dll");
    EXPECT_EQ(itemLine(server, "/u ", STATUS_LOAD_FAILED), readFileBytes(scratch.file("run.log")));

    CopyFileA(plinthoraExePath().c_str(), besideProgram("plinthora32.exe").c_str(), FALSE);
    run("/s /l:run.log /u .\\server32.dll");
    EXPECT_EQ(itemLine(server, "/u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));

    // For the user alone: in the 32-bit view of the user's classes, where 32-bit programs look.
    run("/s /c /l:run.log .\\server32.dll");
    EXPECT_EQ(itemLine(server, "/c ", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(server, defaultValue(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_SERVER_KEY));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_SERVER_KEY));
    run("/s /c /u /l:run.log .\\server32.dll");
    EXPECT_EQ(itemLine(server, "/c /u ", STATUS_UNREGISTERED), readFileBytes(scratch.file("run.log")));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, USER_CLASSES + SAMPLE_SERVER_KEY));

    // Captured by the 32-bit helper into the 64-bit program's file, and not registered.
    run("/s /l:run.log /x:out.reg .\\server32.dll");
    EXPECT_EQ(itemLine(server, "", STATUS_REGISTERED), readFileBytes(scratch.file("run.log")));
    std::string captured = readFileBytes(scratch.file("out.reg"));
    EXPECT_NE(std::string::npos, captured.find(utf16("[HKEY_CLASSES_ROOT\\" + SAMPLE_SERVER_KEY + "]\r\n")));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, SAMPLE_SERVER_KEY));
    // As installer source its keys go to the 32-bit view, after the component's own machine.
    run("/s /x:out.iss .\\server32.dll");
    EXPECT_NE(std::string::npos, readFileBytes(scratch.file("out.iss")).find(std::string("Root: HKCR32; Subkey: \"CLSID\\{{")));
}

// With /v the log gives each failure its detail as a fourth field, with /e the exit code counts
// what did not succeed, list files that could not be run included.
TEST_F(BatchRun, FailuresSayWhyInTheLogWithVAndCountInTheExitCodeWithE)
{
    placeBesideProgram("config.ini", "[Run]\r\nItemTimeout=" + std::to_string(FAILURE_ITEM_TIMEOUT) + "\r\n");
    std::vector<FailureCause> causes = failureCauses(scratch);
    std::string list;
    for (const FailureCause& cause : causes) list += "\"" + cause.path + "\" " + cause.switches() + "\r\n";
    writeFileBytes(scratch.file("list.txt"), list + "/f:absent.txt\r\n");
    expectedExitCode = (DWORD)causes.size() + 1;

    run("/s /v /e /l:run.log /f:list.txt");

    std::string log = readFileBytes(scratch.file("run.log"));
    for (const FailureCause& cause : causes) {
        std::string options = cause.unregister ? "/u " : cause.install ? "/i" : "";
        std::string fields = cause.path + "\t" + options + "\t" + cause.status + "\t";
        size_t line = log.find(fields);
        ASSERT_EQ(0u, line) << "no line begins with " << fields << " in\n" << log;
        std::string detail = log.substr(fields.size(), log.find("\r\n") - fields.size());
        EXPECT_TRUE(beginsWith(detail, cause.detailStart)) << cause.path << ": " << detail;
        log.erase(0, log.find("\r\n") + 2);
    }
    EXPECT_EQ(errorLine("absent.txt がオープンできません"), log);
}

// A folder walk and a wildcard hand on what their listing showed: an empty file is answered
// from it, a file with content goes to the worker without being looked at first (one that
// crashes as it loads costs only its item), and a file that is no image lets the worker go on
// with the rest of its group. The log says the same as for the files named one by one.
TEST_F(BatchRun, ListedFilesAreAnsweredAsTheSameFilesNamedOneByOne)
{
    for (const char* folder : {"walk", "walk\\e_sub"}) scratch.makeFolder(folder);
    const char* const emptyNames[] = {"a_empty.dll", "b_empty.dll", "e_sub\\f_empty.dll"};
    for (const char* name : emptyNames) writeFileBytes(scratch.file(std::string("walk\\") + name), "");
    writeFileBytes(scratch.file("walk\\c_text.dll"), "not an image\r\n");
    placeComponent("comp_crash_load.dll", scratch.file("walk\\d_crash.dll"));
    placeComponent("comp_ok.dll", scratch.file("walk\\d_ok.dll"));
    const char* const listed[] = {"a_empty.dll", "b_empty.dll", "c_text.dll", "d_crash.dll", "d_ok.dll", "e_sub\\f_empty.dll"};

    const struct {
        const char* walk;
        size_t namedCount;  // the listed files the walk finds, from the first
    } rows[] = {{"/d walk\\", 6}, {"walk\\*.dll", 5}};
    for (const auto& row : rows) {
        std::string namedArguments;
        for (size_t index = 0; index < row.namedCount; index++) namedArguments += " walk\\" + std::string(listed[index]);
        run("/s /v /l:named.log" + namedArguments);
        run(std::string("/s /v /l:walked.log ") + row.walk);
        std::string walked = readFileBytes(scratch.file("walked.log"));
        EXPECT_EQ(readFileBytes(scratch.file("named.log")), walked) << row.walk;
        EXPECT_NE(std::string::npos, walked.find(itemLine(scratch.file("walk\\d_ok.dll"), "", STATUS_REGISTERED)));
    }
}

TEST_F(BatchRun, OnlyEGivesAnExitCodeAndOnlyForWhatDidNotSucceed)
{
    placeComponent("comp_ok.dll", scratch.file("ok.dll"));
    const struct {
        const char* arguments;
        DWORD exitCode;
    } rows[] = {{"/s /v missing.dll", 0}, {"/s /e ok.dll ok.dll", 0}};
    for (const auto& row : rows) {
        expectedExitCode = row.exitCode;
        run(row.arguments);
    }
}

// More items than one hand-over carries: two full groups and one of a single item.
TEST_F(BatchRun, ASilentRunOfManyComponentsPerformsEachOnceInOrder)
{
    scratch.makeFolder("many");
    std::string expectedLog;
    std::vector<std::string> expectedCalls;
    for (LONG index = 0; index < 2 * WORKER_GROUP_CAPACITY + 1; index++) {
        std::string name = "c" + std::to_string(1000 + index) + ".dll";
        expectedLog += itemLine(placeComponent("comp_ok.dll", scratch.file("many\\" + name)), "", STATUS_REGISTERED);
        expectedCalls.push_back(registered(name));
    }
    run("/s /l:run.log many\\*.dll");
    EXPECT_EQ(expectedLog, readFileBytes(scratch.file("run.log")));
    EXPECT_EQ(expectedCalls, calls.lines());
}

TEST_F(BatchRun, SlashOrHyphenQuestionMarkAloneShowsTheJobLanguageInBrief)
{
    // Every switch may be written with a hyphen.
    for (const char* request : {"/?", "-?"}) {
        ProcessRun shown = run(request);
        ASSERT_EQ(1u, shown.boxes.size()) << request;
        EXPECT_TRUE(beginsWith(shown.boxes[0].text, "使い方 : plinthora.exe")) << shown.boxes[0].text;
        EXPECT_NE(std::string::npos, shown.boxes[0].text.find("/e\t"));
    }
}
