// Opens the real main window in the states worth looking at and, for each, tells
// tools/screenshots.sh when the screen is ready: it writes "<stage>.ready" (the screen area
// to capture: x y width height) into the folder named by its argument and waits for the
// script's "<stage>.done". Not a test; it only poses the window.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <stdio.h>
#include <string>

#include "core/jobs/heap.h"
#include "core/worker/worker_server.h"
#include "core/jobs/text_copy.h"
#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "tests/support/wait_until.h"
#include "tools/screenshots/screenshot_item_stages.h"
#include "tests/ui/window_serving.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

const DWORD PATIENCE_MS = 60000;

std::string handshakeFolder;
MainWindow* record = nullptr;
HWND window = nullptr;

struct SampleItem {
    const char* path;
    BYTE unregister;
    BYTE callInstall;
    const char* commandLine;
    const char* status;
};

// The three kinds of row: bare names left to the loader's search, existing files, missing files.
const SampleItem SAMPLE_ITEMS[] = {
    {"<sysdir>\\ole32.dll", 0, 0, "", STATUS_REGISTERED},
    {"<sysdir>\\oleaut32.dll", 0, 0, "", STATUS_REGISTERED},
    {"scrrun.dll", 0, 0, "", STATUS_REGISTERED},
    {"<sysdir>\\msxml3.dll", 1, 0, "", STATUS_UNREGISTERED},
    {"C:\\Program Files\\社内ツール\\帳票出力.ocx", 0, 0, "", STATUS_LOAD_FAILED},
    {"<sysdir>\\shdocvw.dll", 0, 1, "", STATUS_REGISTERED},
    {"mshtml.dll", 1, 1, "user", STATUS_UNREGISTERED},
    {"<windir>\\system32\\quartz.dll", 0, 0, "", STATUS_REGISTERED},
    {"D:\\部品\\グラフ表示.ocx", 0, 1, "/全員", STATUS_LOAD_FAILED},
    {"<sysdir>\\actxprxy.dll", 0, 0, "", STATUS_PENDING},
    {"vbscript.dll", 0, 0, "", STATUS_PENDING},
    {"C:\\旧システム\\ソート部品.dll", 1, 0, "", STATUS_PENDING},
};

BOOL CALLBACK addVisibleWindow(HWND candidate, LPARAM area)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(candidate, &processId);
    if (processId != GetCurrentProcessId() || !IsWindowVisible(candidate)) return TRUE;
    RECT bounds;
    GetWindowRect(candidate, &bounds);
    if (candidate != window) UnionRect((RECT*)area, (RECT*)area, &bounds);
    return TRUE;
}

// The main window and every popup of this process that shows (menu, tooltip, drop-down list).
RECT captureArea()
{
    // The client area: with no window manager on the X server there is no frame to show.
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, (POINT*)&area, 2);
    EnumWindows(addVisibleWindow, (LPARAM)&area);
    area.left = std::max(area.left, 0L);
    area.top = std::max(area.top, 0L);
    return area;
}

// Any thread: announces the stage and waits for the script to have taken its picture.
void takeShot(const char* stage)
{
    RECT area = captureArea();
    std::string ready = handshakeFolder + "\\" + stage + ".ready";
    FILE* file = fopen((ready + ".tmp").c_str(), "w");
    fprintf(file, "%ld %ld %ld %ld\n", area.left, area.top, area.right - area.left, area.bottom - area.top);
    fclose(file);
    MoveFileA((ready + ".tmp").c_str(), ready.c_str());
    std::string done = handshakeFolder + "\\" + stage + ".done";
    waitUntil([&] { return fileExists(done); }, PATIENCE_MS);
}

template <typename Condition>
void pumpUntil(Condition condition)
{
    serveWindowUntil(record, condition, PATIENCE_MS);
}

// Keeps the window painting while the script takes the picture.
void shootWhilePumping(const char* stage)
{
    // Everything queued so far is painted first.
    pumpUntil([] { return !GetQueueStatus(QS_ALLINPUT); });
    takeShotWhileServing(record, stage, takeShot);
}

// Waits for the context menu, highlights its first entry (its help shows in the status
// bar), has the picture taken, and closes the menu.
DWORD WINAPI shootContextMenu(void*)
{
    HWND menu = nullptr;
    if (!waitUntil([&] { return (menu = visibleWindowOfClass("#32768")) != nullptr; }, PATIENCE_MS)) return 0;
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    HWND statusBar = GetDlgItem(window, IDC_STATUS_BAR);
    waitUntil([&] { return LOWORD(SendMessageA(statusBar, SB_GETTEXTLENGTHA, 0, 0)) > 0; }, PATIENCE_MS);
    takeShot("context_menu");
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

bool openMainWindow()
{
    record = newZeroed<MainWindow>();
    currentMainWindow = record;
    window = record->openWindow();
    if (window == nullptr) return false;
    SetWindowPos(window, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return true;
}

void closeMainWindow()
{
    DestroyWindow(window);
    record->runMessageLoop();
    record->releaseWindowClass();
    freeBlock(record);
}

void fillSampleItems()
{
    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    for (const SampleItem& sample : SAMPLE_ITEMS) {
        ComponentItem* item = newComponentItem();
        copyText(item->path, sizeof item->path, sample.path);
        item->switches.unregister = sample.unregister;
        item->switches.callInstall = sample.callInstall;
        copyText(item->switches.installCmdLine, sizeof item->switches.installCmdLine, sample.commandLine);
        item->status = sample.status;
        appendItem(item, list);
    }
    LVITEMA selected = {};
    selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 3, (LPARAM)&selected);
}

void shootNormalView()
{
    fillSampleItems();
    shootWhilePumping("normal_view");

    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 4, (LPARAM)&row);
    // A right click selects the row under the pointer.
    LVITEMA selection = {};
    selection.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&selection);
    selection.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, 4, (LPARAM)&selection);
    HANDLE menuThread = CreateThread(nullptr, 0, shootContextMenu, nullptr, 0, nullptr);
    NMITEMACTIVATE click = {};
    click.hdr = {list, IDC_ITEM_LIST, (UINT)NM_RCLICK};
    click.ptAction = {60, (row.top + row.bottom) / 2};
    SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&click);
    WaitForSingleObject(menuThread, INFINITE);
    CloseHandle(menuThread);

    // The pointer rests on the Delete button until its tooltip shows; tips show only for
    // the active window.
    SetForegroundWindow(window);
    HWND toolbar = GetDlgItem(window, IDC_TOOLBAR);
    RECT button;
    SendMessageA(toolbar, TB_GETRECT, IDM_DELETE, (LPARAM)&button);
    MapWindowPoints(toolbar, nullptr, (POINT*)&button, 2);
    SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    pumpUntil([] { return visibleWindowOfClass(TOOLTIPS_CLASSA) != nullptr; });
    shootWhilePumping("tooltip");
    SetCursorPos(0, 0);

    SendMessageA(window, MSG_SET_BUSY, Running, 0);
    SetWindowPos(window, nullptr, 0, 0, 720, 420, SWP_NOMOVE | SWP_NOZORDER);
    shootWhilePumping("running_resized");
    SendMessageA(window, MSG_SET_BUSY, Idle, 0);

    poseItemStages(record, window, takeShot);
}

void shootInstallerView()
{
    std::string installList = executableDirectory() + "\\install.ini";
    FILE* file = fopen(installList.c_str(), "wb");
    fputs("<sysdir>\\ole32.dll\r\n<sysdir>\\oleaut32.dll\r\nscrrun.dll /i\r\nC:\\社内ツール\\帳票出力.ocx\r\n", file);
    fclose(file);
    if (openMainWindow()) {
        pumpUntil([] { return record->busyState == Idle; });
        shootWhilePumping("installer_view");
        HWND combo = GetDlgItem(GetDlgItem(window, IDC_TOOLBAR), IDC_MODE_COMBO);
        SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
        shootWhilePumping("installer_mode_choice");
        SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
        closeMainWindow();
    }
    DeleteFileA(installList.c_str());
}

}  // namespace

int main(int argumentCount, char** arguments)
{
    // The window's runs start their workers from this program's own file.
    if (serveAsWorker()) return 0;
    if (argumentCount < 2) {
        fprintf(stderr, "usage: screenshot_driver HANDSHAKE_FOLDER\n");
        return 2;
    }
    handshakeFolder = arguments[1];
    DeleteFileA((executableDirectory() + "\\install.ini").c_str());
    if (!openMainWindow()) return 1;
    shootNormalView();
    closeMainWindow();
    shootInstallerView();
    return 0;
}
