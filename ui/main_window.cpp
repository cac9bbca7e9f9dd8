// The main window: class and creation, the message loop with its idle step, the window
// procedure (which only dispatches), layout, the command table, the installer view's mode
// change, the busy protocol and teardown. The window reaches its record only through
// currentMainWindow; the toolbar, status bar and list objects live from WM_CREATE to
// WM_DESTROY. User-interface thread only.
#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "core/jobs/heap.h"
#include "core/production/job_stop.h"
#include "core/production/list_file_runner.h"
#include "help/help_launcher.h"
#include "resources/resource.h"
#include "ui/background_operations.h"
#include "ui/capture_command.h"
#include "ui/item_commands.h"
#include "ui/item_list_view.h"
#include "ui/main_toolbar.h"
#include "ui/status_bar.h"

MainWindow* currentMainWindow = nullptr;

namespace {

// The class, the title and the icon's resource name are all the program's name.
const char WINDOW_CLASS[] = PROGRAM_NAME;
const int WINDOW_WIDTH = 500;
const int WINDOW_HEIGHT = 300;

const char BUILDING_LIST_TEXT[] = "リスト作成中...";
const char RUNNING_TEXT[] = "実行中...";

// Mode combo indexes of the installer view.
const int MODE_UNINSTALL = 1;

const char* busyText(LONG state)
{
    if (state == BuildingList) return BUILDING_LIST_TEXT;
    if (state == Running) return RUNNING_TEXT;
    return "";
}

int windowHeight(HWND window)
{
    RECT bounds = {0, 0, 0, 0};
    GetWindowRect(window, &bounds);
    return bounds.bottom - bounds.top;
}

void setAcceptsFiles(HWND window, bool accepts)
{
    LONG style = GetWindowLongA(window, GWL_EXSTYLE);
    style = accepts ? (style | WS_EX_ACCEPTFILES) : (style & ~WS_EX_ACCEPTFILES);
    SetWindowLongA(window, GWL_EXSTYLE, style);
}

// Loads "install.ini" (or, when uninstalling, "uninstall.ini" where present) into the list.
void startDefaultListLoad(MainWindow& main, HWND window, BYTE unregister)
{
    JobSpec* job = newJobSpec();
    if (job == nullptr) return;
    job->switches.unregister = unregister;
    job->fromListFile = 1;
    startAddJob(window, main.itemList, job);
}

void freeObjects(MainWindow& main)
{
    freeBlock(main.itemList);
    freeBlock(main.statusBar);
    freeBlock(main.toolbar);
    main.itemList = nullptr;
    main.statusBar = nullptr;
    main.toolbar = nullptr;
}

LRESULT onCreate(MainWindow& main, HWND window)
{
    main.contextMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
    main.installerMode = installListExists() ? 1 : 0;
    main.uninstallListPresent = uninstallListExists() ? 1 : 0;
    main.toolbar = newZeroed<MainToolbar>();
    main.statusBar = newZeroed<StatusBar>();
    main.itemList = newZeroed<ItemListView>();
    bool created = main.toolbar != nullptr && main.statusBar != nullptr && main.itemList != nullptr;
    if (created) {
        main.toolbar->installerMode = main.installerMode;
        main.busyState = Idle;
        created = main.toolbar->create(window) && main.statusBar->create(window) && main.itemList->create(window);
    }
    if (!created) {
        // Creation fails as a whole; the platform destroys the half-made window.
        freeObjects(main);
        DestroyMenu(main.contextMenu);
        main.contextMenu = nullptr;
        return -1;
    }
    if (main.installerMode) startDefaultListLoad(main, window, 0);
    else setAcceptsFiles(window, true);
    return 0;
}

LRESULT onDestroy(MainWindow& main)
{
    DestroyMenu(main.contextMenu);
    main.contextMenu = nullptr;
    main.itemList->deleteAll();
    // From here on the window is a plain window again: the controls' last notifications,
    // sent while the platform destroys them, find no objects.
    freeObjects(main);
    PostQuitMessage(0);
    return 0;
}

LRESULT onClose(MainWindow& main, HWND window)
{
    if (main.busyState == Idle) return DefWindowProcA(window, WM_CLOSE, 0, 0);
    // A worker still uses the list and its items: the window goes out of sight now and is
    // destroyed when the worker has stopped, between two items, and posted Idle.
    ShowWindow(window, SW_HIDE);
    requestJobStop();
    main.closePending = 1;
    return 0;
}

// The window paints nothing of its own: its children cover the client area. The flat
// toolbar is transparent and asks for the backdrop behind itself; that gets the button face,
// or it would show whatever the screen held before.
LRESULT onEraseBackground(HWND window, HDC context)
{
    if (WindowFromDC(context) != window) {
        RECT area;
        GetClipBox(context, &area);
        FillRect(context, &area, GetSysColorBrush(COLOR_BTNFACE));
    }
    return 1;
}

// Help is shown whether or not a worker runs.
LRESULT onHelp()
{
    showHelp();
    return 0;
}

LRESULT onSize(MainWindow& main, WPARAM wordParam, LPARAM longParam)
{
    int width = LOWORD(longParam);
    int height = HIWORD(longParam);
    // The toolbar and the status bar place themselves at the top and the bottom.
    SendMessageA(main.toolbar->window, WM_SIZE, wordParam, longParam);
    int toolbarHeight = windowHeight(main.toolbar->window);
    SendMessageA(main.statusBar->window, WM_SIZE, wordParam, longParam);
    int statusBarHeight = windowHeight(main.statusBar->window);
    main.statusBar->layoutParts(width);
    MoveWindow(main.itemList->window, 0, toolbarHeight, width, height - toolbarHeight - statusBarHeight, TRUE);
    return 0;
}

LRESULT onNotify(MainWindow& main, HWND window, WPARAM wordParam, NMHDR* header)
{
    switch (header->code) {
    case TTN_GETDISPINFOA: return main.toolbar->onGetTooltip((NMTTDISPINFOA*)header);
    case LVN_GETDISPINFOA: return main.itemList->onGetDispInfo((NMLVDISPINFOA*)header);
    case NM_RCLICK:
        return main.itemList->onRightClick(window, (NMITEMACTIVATE*)header, main.contextMenu, main.installerMode);
    case NM_DBLCLK:
        // The toolbar and the status bar report double clicks too; only the list's edit.
        if (header->idFrom != IDC_ITEM_LIST || main.installerMode || main.busyState != Idle) return 0;
        return onEdit(window, main.itemList);
    }
    return DefWindowProcA(window, WM_NOTIFY, wordParam, (LPARAM)header);
}

void runCommand(MainWindow& main, HWND window)
{
    startRun(window, main.itemList);
}

void saveLogCommand(MainWindow& main, HWND window)
{
    onSaveLog(window, main.itemList);
}

void addCommand(MainWindow& main, HWND window)
{
    onAdd(window, main.itemList);
}

void editCommand(MainWindow& main, HWND window)
{
    onEdit(window, main.itemList);
}

// Not offered in the installer view, whoever sends it.
void captureCommand(MainWindow& main, HWND window)
{
    if (!main.installerMode) onCapture(window, main.itemList);
}

// Not offered in the installer view either.
void checkCommand(MainWindow& main, HWND window)
{
    if (!main.installerMode) startCheckRun(window, main.itemList);
}

void addUnregisterToAllCommand(MainWindow& main, HWND)
{
    main.itemList->setUnregisterAll(1);
}

void removeUnregisterFromAllCommand(MainWindow& main, HWND)
{
    main.itemList->setUnregisterAll(0);
}

void deleteCommand(MainWindow& main, HWND)
{
    main.itemList->deleteSelected();
}

void deleteAllCommand(MainWindow& main, HWND)
{
    main.itemList->deleteAll();
}

// The installer view's install/uninstall choice.
void modeChangeCommand(MainWindow& main, HWND window)
{
    if (!main.installerMode) return;
    int mode = main.toolbar->selectedMode();
    if (mode == MODE_UNINSTALL && !main.uninstallListPresent) {
        // No list of its own for uninstalling: the install list's rows are unregistered.
        main.itemList->setUnregisterAll(1);
        return;
    }
    main.itemList->deleteAll();
    startDefaultListLoad(main, window, mode == MODE_UNINSTALL ? 1 : 0);
}

struct CommandEntry {
    WORD id;
    void (*handler)(MainWindow& main, HWND window);
};

const CommandEntry COMMANDS[] = {
    {IDC_RUN, runCommand},
    {IDC_SAVE_LOG, saveLogCommand},
    {IDC_ADD, addCommand},
    {IDC_ALL_ADD_U, addUnregisterToAllCommand},
    {IDC_ALL_REMOVE_U, removeUnregisterFromAllCommand},
    {IDC_MODE_COMBO, modeChangeCommand},
    {IDM_DELETE, deleteCommand},
    {IDM_DELETE_ALL, deleteAllCommand},
    {IDM_EDIT, editCommand},
    {IDM_CAPTURE, captureCommand},
    {IDM_CHECK, checkCommand},
};

LRESULT onCommand(MainWindow& main, HWND window, WPARAM wordParam, LPARAM longParam)
{
    WORD id = LOWORD(wordParam);
    // While a worker runs every command is dropped; of the combo box only a new selection counts.
    bool dropped = main.busyState != Idle || (id == IDC_MODE_COMBO && HIWORD(wordParam) != CBN_SELCHANGE);
    if (!dropped) {
        for (const CommandEntry& command : COMMANDS) {
            if (command.id != id) continue;
            command.handler(main, window);
            return 0;
        }
    }
    return DefWindowProcA(window, WM_COMMAND, wordParam, longParam);
}

LRESULT onDropFiles(MainWindow& main, HWND window, HDROP drop)
{
    // The installer view never takes dropped files, whoever sends them.
    if (main.busyState != Idle || main.installerMode) DragFinish(drop);
    else startDrop(window, main.itemList, drop);
    return 0;
}

// The context menu's commands are greyed while a worker runs.
LRESULT onInitMenuPopup(MainWindow& main, HMENU menu)
{
    UINT state = main.busyState == Idle ? MF_ENABLED : MF_GRAYED;
    const UINT commands[] = {IDM_DELETE, IDM_DELETE_ALL, IDM_EDIT, IDM_CAPTURE, IDM_CHECK};
    for (UINT command : commands) EnableMenuItem(menu, command, MF_BYCOMMAND | state);
    return 0;
}

LRESULT onSetBusy(MainWindow& main, HWND window, LONG state)
{
    main.busyState = state;
    main.toolbar->enableCommands(state == Idle);
    if (state != Idle) setAcceptsFiles(window, false);
    else if (!main.installerMode) setAcceptsFiles(window, true);
    if (state == Idle && main.closePending) DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam)
{
    MainWindow* main = currentMainWindow;
    // Before WM_CREATE has made the objects and after WM_DESTROY has freed them, the
    // window is a plain window.
    if (main == nullptr || (message != WM_CREATE && main->itemList == nullptr))
        return DefWindowProcA(window, message, wordParam, longParam);
    switch (message) {
    case WM_CREATE: return onCreate(*main, window);
    case WM_DESTROY: return onDestroy(*main);
    case WM_CLOSE: return onClose(*main, window);
    case WM_SIZE: return onSize(*main, wordParam, longParam);
    case WM_ERASEBKGND: return onEraseBackground(window, (HDC)wordParam);
    case WM_HELP: return onHelp();
    case WM_NOTIFY: return onNotify(*main, window, wordParam, (NMHDR*)longParam);
    case WM_COMMAND: return onCommand(*main, window, wordParam, longParam);
    case WM_INITMENUPOPUP: return onInitMenuPopup(*main, (HMENU)wordParam);
    case WM_MENUSELECT: return main->statusBar->onMenuSelect(wordParam);
    case WM_DROPFILES: return onDropFiles(*main, window, (HDROP)wordParam);
    case MSG_SET_BUSY: return onSetBusy(*main, window, (LONG)wordParam);
    }
    return DefWindowProcA(window, message, wordParam, longParam);
}

}  // namespace

int MainWindow::run()
{
    if (openWindow() == nullptr) return 0;
    int exitCode = runMessageLoop();
    releaseWindowClass();
    return exitCode;
}

HWND MainWindow::openWindow()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    if (!InitCommonControlsEx(&controls)) return nullptr;

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, PROGRAM_NAME);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = WINDOW_CLASS;
    if (!RegisterClassA(&windowClass)) return nullptr;

    HWND window = CreateWindowExA(WS_EX_APPWINDOW, WINDOW_CLASS, PROGRAM_NAME, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        releaseWindowClass();
        return nullptr;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

int MainWindow::runMessageLoop()
{
    for (;;) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return (int)message.wParam;
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        onIdle();
        WaitMessage();
    }
}

void MainWindow::releaseWindowClass()
{
    UnregisterClassA(WINDOW_CLASS, GetModuleHandleA(nullptr));
}

void MainWindow::onIdle()
{
    if (itemList == nullptr) return;
    statusBar->showItemCount(itemList->count());
    statusBar->showMessage(busyText(busyState));
}
