// The window's workers for real: adding through the Add dialog, drops with and without Ctrl
// and Alt, and runs with the test components. Closing the window while they work is the
// close-while-working suite's (robustness), the installer view's loads its own suite's.
#include <shlwapi.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/failure_causes.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_paths.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/background_operations.h"
#include "ui/item_dialog.h"
#include "ui/item_list_view.h"

namespace {

std::vector<std::string> sorted(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

// What the list draws: at each of its paints, every row inside the area being painted, with
// the status its item has at that moment. The list's callback always answers with the item's
// current status, so only a paint shows that the row was redrawn.
class DrawnStatuses {
public:
    explicit DrawnStatuses(HWND list) : list_(list)
    {
        SetPropA(list_, PROPERTY, this);
        listProcedure_ = (WNDPROC)SetWindowLongPtrA(list_, GWLP_WNDPROC, (LONG_PTR)watchPaint);
    }
    ~DrawnStatuses()
    {
        SetWindowLongPtrA(list_, GWLP_WNDPROC, (LONG_PTR)listProcedure_);
        RemovePropA(list_, PROPERTY);
    }
    bool drawn(int row, const std::string& status) const { return drawn_.count({row, status}) != 0; }

private:
    static constexpr const char* PROPERTY = "DrawnStatuses";

    static LRESULT CALLBACK watchPaint(HWND list, UINT message, WPARAM wordParam, LPARAM longParam)
    {
        DrawnStatuses* self = (DrawnStatuses*)GetPropA(list, PROPERTY);
        RECT area;
        if (message == WM_PAINT && GetUpdateRect(list, &area, FALSE)) {
            int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
            for (int row = 0; row < count; row++) {
                RECT bounds = {}, common;
                bounds.left = LVIR_BOUNDS;
                LVITEMA entry = {};
                entry.mask = LVIF_PARAM;
                entry.iItem = row;
                if (!SendMessageA(list, LVM_GETITEMRECT, row, (LPARAM)&bounds) || !IntersectRect(&common, &area, &bounds) ||
                    !SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&entry))
                    continue;
                self->drawn_.insert({row, ((ComponentItem*)entry.lParam)->status});
            }
        }
        return CallWindowProcA(self->listProcedure_, list, message, wordParam, longParam);
    }

    HWND list_;
    WNDPROC listProcedure_;
    std::set<std::pair<int, std::string>> drawn_;
};

// A folder "pack" with two files and a subfolder holding a third, and two list files.
class Work : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
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
        DrawnStatuses drawing(list());
        SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
        EXPECT_EQ(busyState(), Running);
        ASSERT_TRUE(pumpUntilIdle());
        for (int row = 0; row < 4; row++) {
            EXPECT_EQ(cell(row, 2), statuses[row]) << "round " << round << " row " << row;
            EXPECT_TRUE(drawing.drawn(row, statuses[row])) << "round " << round << ": row " << row << " was not redrawn with its result";
        }
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
    ASSERT_TRUE(pumpUntilIdle(60000));
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

// Capture from the context menu: refused while a row would unregister; otherwise the Save
// dialog offers capture.reg, each row is performed in its worker as Run performs it, the
// crashing one costing only its own row, and the file the chosen name asks for holds what the
// other wrote.
TEST_F(Work, CaptureCommandPerformsEveryRowIntoTheChosenFile)
{
    std::string crash = scratch.file("crash.dll"), server = scratch.file("server.dll");
    CopyFileA(componentPath("comp_registry_writer_crash.dll").c_str(), crash.c_str(), FALSE);
    CopyFileA(componentPath("comp_sample_server.dll").c_str(), server.c_str(), FALSE);
    appendFromWorker({crash, server});
    // Whichever row it is, the first too; a Save dialog shown instead is cancelled.
    for (int row : {0, 1}) {
        item(row)->switches.unregister = 1;
        std::string refusal;
        commandWithDialog(IDM_CAPTURE, nullptr, [&](HWND dialog) {
            refusal = messageBoxText(dialog);
            pressLater(dialog, IDCANCEL);
        });
        EXPECT_EQ(refusal, "/u の付いた項目は書き出せません") << "row " << row;
        EXPECT_EQ(cell(row, 2), STATUS_PENDING);
        item(row)->switches.unregister = 0;
    }
    std::string offered;
    commandWithDialog(IDM_CAPTURE, nullptr, [&](HWND picker) {
        offered = controlText(picker, fileNameControl(picker));
        setText(picker, fileNameControl(picker), scratch.file("window.wxs"));
        pressLater(picker, IDOK);
    });
    ASSERT_TRUE(pumpUntilIdle(60000));
    EXPECT_EQ(offered, "capture.reg");
    EXPECT_EQ(cell(0, 2), STATUS_REGISTER_FAILED);
    EXPECT_NE(cell(0, 3), "");
    EXPECT_EQ(cell(1, 2), STATUS_REGISTERED);
    std::string file = readFileBytes(scratch.file("window.wxs"));
    const std::string parts[] = {"<!-- " + crash + " : ",
                                 "Key=\"CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}\\InprocServer32\">\r\n"
                                 "          <RegistryValue Type=\"string\" Value=\"[#PlinthoraFile2_server.dll]\" />"};
    for (const std::string& part : parts) {
        EXPECT_NE(std::string::npos, file.find(part)) << part;
    }
    EXPECT_EQ(std::string::npos, file.find("PlinthoraCaptureTest")) << "the crashed component's writes are left out";

    // The next time the dialog starts in the folder chosen last.
    char folder[MAX_PATH] = "";
    commandWithDialog(IDM_CAPTURE, nullptr, [&](HWND picker) {
        offered = controlText(picker, fileNameControl(picker));
        SendMessageA(picker, CDM_GETFOLDERPATH, sizeof folder, (LPARAM)folder);
        pressLater(picker, IDCANCEL);
    });
    EXPECT_EQ(offered, "capture.reg");
    EXPECT_EQ(std::string(folder), scratch.path());
}

// A capture file that cannot be opened, or does not take what is written to it, is named
// first in its box and then why, as every file box names its file.
TEST_F(Work, ACaptureFileThatCannotBeWrittenIsNamedFirstInItsBox)
{
    appendFromWorker({componentPath("comp_ok.dll")});
    writeFileBytes(scratch.file("notes.reg"), "REGEDIT4\r\n");
    const struct {
        std::string path;
        const char* why;
    } rows[] = {
        {scratch.file("missing\\capture.reg"), " がオープンできません"},
        {scratch.file("notes.reg"), " は UTF-16 の登録ファイルではないため追記できません"},
        // A device that opens and takes no byte.
        {"Z:\\dev\\full", " に書き込めませんでした"},
    };
    for (const auto& row : rows) {
        boxTexts.clear();
        startCaptureRun(window, record->itemList, row.path.c_str());
        ASSERT_TRUE(pumpUntilIdle(60000));
        EXPECT_EQ(boxTexts, std::vector<std::string>{row.path + row.why});
    }
}

// The check answers the selected rows alone, each in its status and detail, and leaves the
// rows' switches and the registry as they were.
TEST_F(Work, CheckCommandAnswersTheSelectedRowsWithoutChangingThem)
{
    std::string server = scratch.file("server.dll");
    CopyFileA(componentPath("comp_sample_server.dll").c_str(), server.c_str(), FALSE);
    appendFromWorker({server, server, server});
    item(0)->switches.unregister = 1;
    item(2)->switches.perUser = 1;
    selectRows({0, 2});
    SendMessageA(window, WM_COMMAND, IDM_CHECK, 0);
    EXPECT_EQ(busyState(), Running);
    ASSERT_TRUE(pumpUntilIdle(60000));
    for (int row : {0, 2}) {
        EXPECT_EQ(cell(row, 2), STATUS_CHECK_NOT_REGISTERED) << "row " << row;
        EXPECT_TRUE(beginsWith(cell(row, 3), "HKCR\\CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD} : ")) << cell(row, 3);
    }
    EXPECT_EQ(cell(1, 2), STATUS_PENDING);
    EXPECT_EQ(cell(0, 1), "/u ");
    EXPECT_EQ(cell(2, 1), "/c ");
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}", 0, KEY_READ, &key));
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
    ASSERT_TRUE(pumpUntilIdle(120000));
    for (size_t row = 0; row < causes.size(); row++) {
        EXPECT_EQ(cell((int)row, 2), causes[row].status) << causes[row].path;
        EXPECT_TRUE(beginsWith(cell((int)row, 3), causes[row].detailStart)) << causes[row].path << ": " << cell((int)row, 3);
    }
    EXPECT_EQ(cell((int)causes.size() - 1, 3), "");
}

TEST_F(Work, RunOfAnEmptyListReturnsToIdle)
{
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    EXPECT_TRUE(pumpUntilIdle());
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(Work, RunScrollsTheViewAlongWithTheWork)
{
    appendFromWorker(std::vector<std::string>(40, scratch.file("missing.dll")));
    ASSERT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 0);
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(pumpUntilIdle());
    int perPage = (int)SendMessageA(list(), LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 40 - perPage) << "the last rows are in view";
}
