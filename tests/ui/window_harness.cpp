#include "tests/ui/window_harness.h"

#include <shlobj.h>

#include <algorithm>

#include "core/jobs/text_copy.h"
#include "resources/resource.h"
#include "tests/ui/window_serving.h"
#include "ui/item_list_view.h"
#include "ui/main_toolbar.h"

namespace {

const DWORD WATCH_PATIENCE_MS = 10000;
const DWORD POLL_SLICE_MS = 10;

struct AppendJob {
    HWND list;
    std::vector<ComponentItem*> items;
};

DWORD WINAPI appendAll(void* parameter)
{
    AppendJob* job = (AppendJob*)parameter;
    for (ComponentItem* item : job->items) appendItem(item, job->list);
    return 0;
}

// Polls every few milliseconds until condition holds or the stop event is set.
bool waitFor(HANDLE stop, DWORD timeoutMs, const std::function<bool()>& condition)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        if (WaitForSingleObject(stop, 5) == WAIT_OBJECT_0) return false;
    }
    return true;
}

}  // namespace

void MainWindowTest::SetUp()
{
    openMainWindow();
}

void MainWindowTest::TearDown()
{
    if (window != nullptr && IsWindow(window)) {
        // A test that failed half-way may leave the window busy with no worker to end it.
        if (!pumpUntil([&] { return busyState() == Idle; })) setBusy(Idle);
        closeAndRunToEnd();
    }
    if (record != nullptr) {
        record->releaseWindowClass();
        currentMainWindow = nullptr;
        HeapFree(GetProcessHeap(), 0, record);
        record = nullptr;
    }
}

void MainWindowTest::openMainWindow()
{
    record = (MainWindow*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MainWindow));
    currentMainWindow = record;
    window = record->openWindow();
    ASSERT_NE(window, nullptr) << "the main window could not be created";
}

bool MainWindowTest::pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (!quitSeen && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitSeen = true;
                quitCode = (int)message.wParam;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (quitSeen || elapsed >= timeoutMs) return false;
        record->onIdle();
        // Short slices: some conditions (a thread's end) change without any message.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(timeoutMs - elapsed, POLL_SLICE_MS), QS_ALLINPUT);
    }
}

void MainWindowTest::pumpIdle()
{
    pumpUntil([] { return false; }, 0);
    record->onIdle();
}

int MainWindowTest::closeAndRunToEnd()
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    return quitSeen ? quitCode : record->runMessageLoop();
}

HWND MainWindowTest::list() const
{
    return GetDlgItem(window, IDC_ITEM_LIST);
}

HWND MainWindowTest::toolbar() const
{
    return GetDlgItem(window, IDC_TOOLBAR);
}

HWND MainWindowTest::statusBar() const
{
    return GetDlgItem(window, IDC_STATUS_BAR);
}

HWND MainWindowTest::modeCombo() const
{
    return GetDlgItem(toolbar(), IDC_MODE_COMBO);
}

LONG MainWindowTest::busyState() const
{
    return record->busyState;
}

int MainWindowTest::rowCount() const
{
    return (int)SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0);
}

std::string MainWindowTest::cell(int row, int column) const
{
    char text[300] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list(), LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
}

int MainWindowTest::rowImage(int row) const
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list(), LVM_GETITEMA, 0, (LPARAM)&item);
    return item.iImage;
}

std::string MainWindowTest::statusText(int part) const
{
    char text[300] = "";
    if (LOWORD(SendMessageA(statusBar(), SB_GETTEXTLENGTHA, part, 0)) < sizeof text)
        SendMessageA(statusBar(), SB_GETTEXTA, part, (LPARAM)text);
    return text;
}

void MainWindowTest::setBusy(LONG state)
{
    SendMessageA(window, MSG_SET_BUSY, state, 0);
}

void MainWindowTest::selectRows(const std::vector<int>& rows)
{
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(list(), LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
    for (int row : rows) {
        LVITEMA selected = {};
        selected.stateMask = LVIS_SELECTED;
        selected.state = LVIS_SELECTED;
        SendMessageA(list(), LVM_SETITEMSTATE, row, (LPARAM)&selected);
    }
}

std::vector<ComponentItem*> MainWindowTest::appendFromWorker(const std::vector<std::string>& paths)
{
    AppendJob job{list(), {}};
    for (const std::string& path : paths) job.items.push_back(newItem(path));
    HANDLE thread = CreateThread(nullptr, 0, appendAll, &job, 0, nullptr);
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }))
        << "the appending thread did not finish";
    CloseHandle(thread);
    return job.items;
}

ComponentItem* newItem(const std::string& path)
{
    ComponentItem* item = newComponentItem();
    copyText(item->path, sizeof item->path, path.c_str());
    return item;
}

// HeapValidate of one block, not HeapWalk: a heap with a low-fragmentation front end (Wine 10's)
// does not list its small blocks one by one.
bool isLiveHeapBlock(const void* block)
{
    return HeapValidate(GetProcessHeap(), 0, block) != FALSE;
}

HDROP makeDrop(const std::vector<std::string>& names)
{
    // Two terminators, so that even an empty list ends before the block does.
    size_t size = sizeof(DROPFILES) + 2;
    for (const std::string& name : names) size += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    DROPFILES* header = (DROPFILES*)GlobalLock(memory);
    header->pFiles = sizeof(DROPFILES);
    char* text = (char*)(header + 1);
    for (const std::string& name : names) {
        lstrcpyA(text, name.c_str());
        text += name.size() + 1;
    }
    GlobalUnlock(memory);
    return (HDROP)memory;
}

bool dropReleased(HDROP drop)
{
    return GlobalSize((HGLOBAL)drop) == 0;
}

WatchThread::WatchThread(LPTHREAD_START_ROUTINE routine, void* watcher)
{
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, routine, watcher, 0, nullptr);
}

WatchThread::~WatchThread()
{
    finish();
    CloseHandle(stop_);
}

void WatchThread::finish()
{
    if (thread_ == nullptr) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

MenuWatcher::MenuWatcher(HWND statusBar, WPARAM key, bool keyIsChar)
    : statusBar_(statusBar), key_(key), keyIsChar_(keyIsChar), watch_(watch, this)
{
}

bool MenuWatcher::finish()
{
    watch_.finish();
    return found_;
}

DWORD WINAPI MenuWatcher::watch(void* parameter)
{
    MenuWatcher* self = (MenuWatcher*)parameter;
    HANDLE stop = self->watch_.stopEvent();
    HWND menuWindow = nullptr;
    if (!waitFor(stop, WATCH_PATIENCE_MS, [&] { return (menuWindow = visibleWindowOfClass("#32768")) != nullptr; }))
        return 0;
    self->found_ = true;
    HMENU menu = (HMENU)SendMessageA(menuWindow, MN_GETHMENU, 0, 0);
    for (int index = 0; index < GetMenuItemCount(menu); ++index) {
        self->seen.ids.push_back(GetMenuItemID(menu, index));
        // A separator's state says nothing about enabling.
        UINT state = GetMenuState(menu, index, MF_BYPOSITION);
        self->seen.grayed.push_back(!(state & MF_SEPARATOR) && (state & MF_GRAYED) != 0);
    }
    PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    char text[300] = "";
    waitFor(stop, WATCH_PATIENCE_MS, [&] {
        SendMessageA(self->statusBar_, SB_GETTEXTA, 0, (LPARAM)text);
        return text[0] != '\0';
    });
    self->seen.statusWhileHighlighted = text;
    PostMessageA(menuWindow, self->keyIsChar_ ? WM_CHAR : WM_KEYDOWN, self->key_, 0);
    if (!waitFor(stop, WATCH_PATIENCE_MS, [&] { return !IsWindowVisible(menuWindow); }))
        PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

std::string DialogCanceller::finish()
{
    watch_.finish();
    return caption_;
}

DWORD WINAPI DialogCanceller::watch(void* parameter)
{
    DialogCanceller* self = (DialogCanceller*)parameter;
    HANDLE stop = self->watch_.stopEvent();
    HWND dialog = nullptr;
    if (!waitFor(stop, WATCH_PATIENCE_MS, [&] { return (dialog = visibleWindowOfClass("#32770")) != nullptr; }))
        return 0;
    char caption[100] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    self->caption_ = caption;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}
