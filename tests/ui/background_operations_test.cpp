// The window's workers for real: adding through the Add dialog, drops with and without Ctrl
// and Alt, runs with the test components, the installer view's loads, and closing the window
// while a worker is at work.
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/failure_causes.h"
#include "tests/support/message_boxes.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_paths.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_work.h"
#include "ui/item_dialog.h"
#include "ui/item_list_view.h"

namespace {

std::vector<std::string> sorted(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

// A folder "pack" with two files and a subfolder holding a third, and two list files.
class Work : public WindowWork {
protected:
    void SetUp() override
    {
        WindowWork::SetUp();
        pack = scratch.makeFolder("pack");
        scratch.makeFolder("pack\\sub");
        for (const char* name : {"pack\\a.dll", "pack\\b.ocx", "pack\\sub\\c.dll"}) writeFileBytes(scratch.file(name), "x");
        writeFileBytes(scratch.file("first.txt"), scratch.file("pack\\a.dll") + "\r\n");
        writeFileBytes(scratch.file("second.txt"), "\"" + pack + "\"\r\n" + scratch.file("pack\\sub\\c.dll") + " /i:x\r\n");
    }

    ScratchDirectory scratch{"work"};
    std::string pack;
};

}  // namespace

TEST_F(Work, AddTakesThePathAsTheChosenMethodSays)
{
    struct Row {
        int method;
        std::string path;
        std::vector<std::string> expected;
    };
    const std::string a = scratch.file("pack\\a.dll"), b = scratch.file("pack\\b.ocx"), c = scratch.file("pack\\sub\\c.dll");
    const Row rows[] = {
        {AddFile, a, {a}},
        // A folder typed by hand is listed whatever the method, one level only.
        {AddFile, pack, {a, b}},
        {AddFolder, pack + "\\", {a, b}},
        {AddFolderTree, pack + "\\", {a, b, c}},
    };
    for (const Row& row : rows) {
        SendMessageA(window, WM_COMMAND, IDM_DELETE_ALL, 0);
        commandWithDialog(IDC_ADD, "追加", [&](HWND dialog) {
            SendDlgItemMessageA(dialog, IDC_METHOD, CB_SETCURSEL, row.method, 0);
            setText(dialog, IDC_PATH, row.path);
            click(dialog, IDC_OPT_U);
            pressLater(dialog, IDOK);
        });
        EXPECT_EQ(sorted(rowPaths()), row.expected) << "method " << row.method << " with " << row.path;
        for (int index = 0; index < rowCount(); index++) EXPECT_EQ(item(index)->switches.unregister, 1);
    }
}

TEST_F(Work, AddOfAListFileGivesEveryLineTheDialogsSwitches)
{
    commandWithDialog(IDC_ADD, "追加", [&](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_METHOD, CB_SETCURSEL, AddListFile, 0);
        setText(dialog, IDC_PATH, scratch.file("second.txt"));
        click(dialog, IDC_OPT_U);
        pressLater(dialog, IDOK);
    });
    const std::string a = scratch.file("pack\\a.dll"), b = scratch.file("pack\\b.ocx"), c = scratch.file("pack\\sub\\c.dll");
    EXPECT_EQ(sorted(rowPaths()), (std::vector<std::string>{a, b, c}));
    for (int index = 0; index < rowCount(); index++) EXPECT_EQ(item(index)->switches.unregister, 1) << rowPaths()[index];
}

TEST_F(Work, CancelledAddStartsNothing)
{
    commandWithDialog(IDC_ADD, "追加", [](HWND dialog) {
        setText(dialog, IDC_PATH, "a.dll");
        pressLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(Work, DropListsFilesAndFoldersAndAltDescends)
{
    const std::string a = scratch.file("pack\\a.dll"), b = scratch.file("pack\\b.ocx"), c = scratch.file("pack\\sub\\c.dll");
    const std::string loose = scratch.file("first.txt");
    drop({loose, pack}, false, false);
    EXPECT_EQ(rowPaths(), (std::vector<std::string>{loose, a, b}));
    SendMessageA(window, WM_COMMAND, IDM_DELETE_ALL, 0);
    drop({loose, pack}, false, true);
    EXPECT_EQ(rowPaths(), (std::vector<std::string>{loose, a, b, c}));
    EXPECT_TRUE(boxTexts.empty());
}

// With Ctrl every name is a list file: a folder cannot be opened as one, and is reported,
// and the names after it are still read. Alt then adds nothing.
TEST_F(Work, DropWithCtrlReadsEveryNameAsAListFile)
{
    const std::string a = scratch.file("pack\\a.dll"), b = scratch.file("pack\\b.ocx"), c = scratch.file("pack\\sub\\c.dll");
    for (bool alt : {false, true}) {
        SendMessageA(window, WM_COMMAND, IDM_DELETE_ALL, 0);
        boxTexts.clear();
        drop({scratch.file("first.txt"), pack, scratch.file("second.txt")}, true, alt);
        EXPECT_EQ(rowPaths(), (std::vector<std::string>{a, a, b, c})) << "alt " << alt;
        EXPECT_EQ(boxTexts, (std::vector<std::string>{pack + " がオープンできません"}));
        ASSERT_EQ(rowCount(), 4);
        EXPECT_EQ(item(3)->switches.callInstall, 1);
        EXPECT_STREQ(item(3)->switches.installCmdLine, "x");
    }
}

TEST_F(Work, DropWithoutNamesListsNothing)
{
    drop({}, false, false);
    EXPECT_EQ(rowCount(), 0);
    drop({}, true, false);
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(Work, RunPerformsEveryRowAndARunAgainReplacesTheStatus)
{
    CallRecord calls(scratch);
    appendFromWorker({componentPath("comp_ok.dll"), componentPath("comp_server_fails.dll"), scratch.file("missing.dll"),
                      componentPath("comp_ok.dll")});
    item(3)->switches.unregister = 1;
    const std::vector<std::string> statuses = {STATUS_REGISTERED, STATUS_REGISTER_FAILED, STATUS_LOAD_FAILED,
                                               STATUS_UNREGISTERED};
    const std::vector<std::string> expectedCalls = {"comp_ok.dll|DllRegisterServer|ole=1",
                                                    "comp_server_fails.dll|DllRegisterServer|ole=1",
                                                    "comp_ok.dll|DllUnregisterServer|ole=1"};
    for (int round = 0; round < 2; round++) {
        calls.clear();
        SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
        EXPECT_EQ(busyState(), Running);
        ASSERT_TRUE(serveUntilIdle());
        for (int row = 0; row < 4; row++) EXPECT_EQ(cell(row, 2), statuses[row]) << "round " << round << " row " << row;
        EXPECT_EQ(calls.lines(), expectedCalls) << "round " << round;
        // Whatever a row shows, the next run performs it again.
        for (int row = 0; row < 4; row++) item(row)->status = STATUS_INSTALL_FAILED;
    }
}

// Components that crash or hang cost only their own rows, the window serving all along; with
// no time limit, a close during a hung item ends its worker and the window at once.
TEST_F(Work, RunOutlivesCrashingAndHangingComponentsAndACloseEndsAHungOne)
{
    ItemTimeoutConfig config;
    CallRecord calls(scratch);
    appendFromWorker({componentPath("comp_ok.dll"), componentPath("comp_crash_register.dll"),
                      componentPath("comp_hang_register.dll"), componentPath("comp_ok.dll")});
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(serveUntilIdle(60000));
    const char* statuses[] = {STATUS_REGISTERED, STATUS_REGISTER_FAILED, STATUS_REGISTER_FAILED, STATUS_REGISTERED};
    for (int row = 0; row < 4; row++) EXPECT_EQ(cell(row, 2), statuses[row]) << "row " << row;

    config.set(0);
    calls.clear();
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(pumpUntil([&] { return calls.lines().size() == 3; }, 60000)) << "the hanging component was reached";
    DWORD closed = GetTickCount();
    closeAsTheUserDoes();
    EXPECT_LT(GetTickCount() - closed, 5000u);
    // Workers are started from this test program's own file.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    for (const PROCESSENTRY32& process : runningProcesses()) {
        bool worker = process.th32ParentProcessID == GetCurrentProcessId() &&
                      lstrcmpiA(process.szExeFile, PathFindFileNameA(self)) == 0;
        EXPECT_FALSE(worker) << "a worker was left behind";
    }
}

// The fourth column, after the three the list always had, says why a row failed.
TEST_F(Work, RunFillsTheDetailColumnWithWhyEachRowFailed)
{
    ItemTimeoutConfig config;
    std::vector<FailureCause> causes = failureCauses(scratch);
    causes.push_back({componentPath("comp_ok.dll"), 0, 0, STATUS_REGISTERED, ""});
    std::vector<std::string> paths;
    for (const FailureCause& cause : causes) paths.push_back(cause.path);
    appendFromWorker(paths);
    for (size_t row = 0; row < causes.size(); row++) {
        item((int)row)->switches.unregister = causes[row].unregister;
        item((int)row)->switches.callInstall = causes[row].install;
    }
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(serveUntilIdle(120000));
    for (size_t row = 0; row < causes.size(); row++) {
        EXPECT_EQ(cell((int)row, 2), causes[row].status) << causes[row].path;
        EXPECT_TRUE(beginsWith(cell((int)row, 3), causes[row].detailStart)) << causes[row].path << ": " << cell((int)row, 3);
    }
    EXPECT_EQ(cell((int)causes.size() - 1, 3), "");
}

TEST_F(Work, RunOfAnEmptyListReturnsToIdle)
{
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    EXPECT_TRUE(serveUntilIdle());
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(Work, RunScrollsTheViewAlongWithTheWork)
{
    appendFromWorker(std::vector<std::string>(40, scratch.file("missing.dll")));
    ASSERT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 0);
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(serveUntilIdle());
    int perPage = (int)SendMessageA(list(), LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 40 - perPage) << "the last rows are in view";
}

// Each round closes the window in the middle of an add or a run; afterwards no item, worker
// or heap memory of that window may be left.
TEST_F(Work, ClosingWhileAWorkerRunsLeavesNothingBehind)
{
    CallRecord calls(scratch);
    std::string many = scratch.makeFolder("many");
    for (int index = 0; index < 300; index++) writeFileBytes(many + "\\f" + std::to_string(index) + ".dll", "");
    int threadsBefore = threadsOfThisProcess();
    size_t heapAfterFirstRound = 0;
    for (int round = 0; round < 6; round++) {
        if (round > 0) reopen();
        bool running = round % 2 == 1;
        std::vector<ComponentItem*> items;
        if (running) {
            items = appendFromWorker(std::vector<std::string>(100, componentPath("comp_ok.dll")));
            calls.clear();
            SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
            ASSERT_TRUE(pumpUntil([&] { return calls.lines().size() >= 2; }));
        } else {
            PostMessageA(window, WM_DROPFILES, (WPARAM)makeDrop({many}), 0);
            ASSERT_TRUE(pumpUntil([&] { return rowCount() >= 5; }));
            for (int row = 0; row < rowCount(); row++) items.push_back(item(row));
        }
        closeAsTheUserDoes();
        if (running) {
            EXPECT_LT(calls.lines().size(), 100u) << "the run went on after the close";
        }
        for (ComponentItem* left : items) EXPECT_FALSE(isLiveHeapBlock(left)) << "round " << round;
        EXPECT_TRUE(waitFor([&] { return threadsOfThisProcess() <= threadsBefore; })) << "a worker lives on";
        if (round == 0) heapAfterFirstRound = heapBytesInUse();
    }
    // Well under the 300 items of one unfinished add.
    EXPECT_LT(heapBytesInUse(), heapAfterFirstRound + 300 * sizeof(ComponentItem) / 2);
}

// A close while a long list file is read ends the read at the next line: the error of a
// later line never reaches a user who has closed the window, and the worker does not block
// on a box that nobody sees.
TEST_F(Work, ClosingDuringAListFileEndsTheReadWithoutALaterError)
{
    std::string lines;
    for (int index = 0; index < 5000; index++) lines += scratch.file("pack\\a.dll") + "\r\n";
    lines += "/f:" + scratch.file("absent.txt") + "\r\n";
    writeFileBytes(scratch.file("long.txt"), lines);
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(window, WM_DROPFILES, (WPARAM)makeDrop({scratch.file("long.txt")}), 0);
    ASSERT_TRUE(pumpUntil([&] { return rowCount() >= 5; }));
    BYTE none[256] = {};
    SetKeyboardState(none);
    PostMessageA(window, WM_CLOSE, 0, 0);
    bool boxShown = false;
    pumpUntil([&] { return (boxShown = findMessageBox(GetCurrentProcessId(), "Plinthora") != nullptr); }, 15000);
    EXPECT_FALSE(boxShown) << "an error box came up after the close";
    if (boxShown) answerMessageBox(findMessageBox(GetCurrentProcessId(), "Plinthora"), IDOK, 5000);
    closeAsTheUserDoes();
}

namespace {

// "install.ini" and "uninstall.ini" next to the program make the installer view.
class InstallerView : public WindowWork {
protected:
    void SetUp() override
    {
        std::string folder = buildDirectory() + "\\tests\\";
        installList = folder + "install.ini";
        uninstallList = folder + "uninstall.ini";
        writeFileBytes(installList, componentPath("comp_ok.dll") + "\r\n" + componentPath("comp_no_install.dll") + "\r\n");
        writeFileBytes(uninstallList, componentPath("comp_server_fails.dll") + "\r\n");
        WindowWork::SetUp();
    }

    void TearDown() override
    {
        WindowWork::TearDown();
        DeleteFileA(installList.c_str());
        DeleteFileA(uninstallList.c_str());
    }

    void choose(int mode)
    {
        SendMessageA(modeCombo(), CB_SETCURSEL, mode, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_MODE_COMBO, CBN_SELCHANGE), (LPARAM)modeCombo());
        EXPECT_TRUE(serveUntilIdle());
    }

    std::string installList, uninstallList;
};

}  // namespace

TEST_F(InstallerView, LoadsTheInstallListAndReloadsOnEachChoice)
{
    const std::vector<std::string> install = {componentPath("comp_ok.dll"), componentPath("comp_no_install.dll")};
    ASSERT_TRUE(serveUntilIdle());
    EXPECT_EQ(rowPaths(), install);
    choose(1);
    EXPECT_EQ(rowPaths(), std::vector<std::string>{componentPath("comp_server_fails.dll")});
    choose(0);
    EXPECT_EQ(rowPaths(), install);
    EXPECT_EQ(item(0)->switches.unregister, 0);
    EXPECT_TRUE(boxTexts.empty());
}
