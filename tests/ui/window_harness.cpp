#include "tests/ui/window_harness.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <set>

#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "resources/resource.h"
#include "tests/support/wait_until.h"
#include "tests/ui/dialog_driver.h"
#include "ui/item_list_view.h"

namespace {

const DWORD CLOSE_PATIENCE_MS = 30000;

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

}  // namespace

void MainWindowTest::SetUp()
{
    openMainWindow();
}

void MainWindowTest::TearDown()
{
    if (window != nullptr && IsWindow(window)) {
        // A test that failed half-way may leave the window busy with no worker to end it.
        if (!pumpUntilIdle()) setBusy(Idle);
        closeAsTheUserDoes();
    }
    if (record != nullptr) {
        record->releaseWindowClass();
        currentMainWindow = nullptr;
        freeBlock(record);
        record = nullptr;
    }
}

void MainWindowTest::openMainWindow()
{
    record = newZeroed<MainWindow>();
    currentMainWindow = record;
    loopEnd = LoopEnd();
    window = record->openWindow();
    ASSERT_NE(window, nullptr) << "the main window could not be created";
}

bool MainWindowTest::pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    std::set<HWND> answered;
    return serveWindowUntil(
        record,
        [&] {
            HWND box = findDialog(PROGRAM_NAME, window);
            if (box != nullptr && answered.insert(box).second) {
                boxTexts.push_back(messageBoxText(box));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            return condition() && findDialog(PROGRAM_NAME, window) == nullptr;
        },
        timeoutMs, &loopEnd);
}

bool MainWindowTest::pumpUntilIdle(DWORD timeoutMs)
{
    return pumpUntil([&] { return busyState() == Idle; }, timeoutMs);
}

void MainWindowTest::pumpIdle()
{
    pumpUntil([] { return false; }, 0);
    record->onIdle();
}

int MainWindowTest::closeAsTheUserDoes()
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    pumpUntil([] { return false; }, CLOSE_PATIENCE_MS);
    return loopEnd.seen ? loopEnd.code : -1;
}

void MainWindowTest::reopen()
{
    record->releaseWindowClass();
    currentMainWindow = nullptr;
    freeBlock(record);
    openMainWindow();
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

ComponentItem* MainWindowTest::item(int row) const
{
    return record->itemList->itemAt(row);
}

std::vector<std::string> MainWindowTest::rowPaths() const
{
    std::vector<std::string> paths;
    for (int row = 0; row < rowCount(); row++) paths.push_back(item(row)->path);
    return paths;
}

std::string MainWindowTest::cell(int row, int column) const
{
    char text[300] = "";
    LVITEMA entry = {};
    entry.iSubItem = column;
    entry.pszText = text;
    entry.cchTextMax = sizeof text;
    SendMessageA(list(), LVM_GETITEMTEXTA, row, (LPARAM)&entry);
    return text;
}

int MainWindowTest::rowImage(int row) const
{
    LVITEMA entry = {};
    entry.mask = LVIF_IMAGE;
    entry.iItem = row;
    SendMessageA(list(), LVM_GETITEMA, 0, (LPARAM)&entry);
    return entry.iImage;
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

void MainWindowTest::drop(const std::vector<std::string>& names, bool ctrl, bool alt)
{
    // The drop reads the keys of this thread, which serves the window.
    BYTE keys[256] = {};
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
    HDROP handle = makeDrop(names);
    PostMessageA(window, WM_DROPFILES, (WPARAM)handle, 0);
    EXPECT_TRUE(pumpUntil([&] { return dropReleased(handle) && busyState() == Idle; }))
        << "the drop did not end, or its handle was not released";
    BYTE none[256] = {};
    SetKeyboardState(none);
}

void MainWindowTest::commandWithDialog(int command, const char* caption, const std::function<void(HWND)>& script)
{
    runWithDialog(caption, window, [&] { return (int)SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0); },
                  script);
    EXPECT_TRUE(pumpUntilIdle());
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

size_t heapBytesInUse()
{
    HANDLE heap = GetProcessHeap();
    PROCESS_HEAP_ENTRY entry = {};
    size_t bytes = 0;
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    HeapUnlock(heap);
    return bytes;
}

int threadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) count++;
    CloseHandle(snapshot);
    return count;
}

HDROP makeDrop(const std::vector<std::string>& names)
{
    // As the shell builds it: every name ends with a NUL and an empty name ends the list, so
    // even a drop without names ends before the block does.
    size_t size = sizeof(DROPFILES) + 2;
    for (const std::string& name : names) size += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    DROPFILES* header = (DROPFILES*)GlobalLock(memory);
    header->pFiles = sizeof(DROPFILES);
    char* text = (char*)(header + 1);
    for (const std::string& name : names) {
        CopyMemory(text, name.c_str(), name.size() + 1);
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

bool WatchThread::waitFor(const std::function<bool()>& condition)
{
    return waitUntil(condition, WAIT_LIMIT_MS, [&](DWORD slice) { return WaitForSingleObject(stop_, slice) != WAIT_OBJECT_0; });
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
    HWND menuWindow = nullptr;
    if (!self->watch_.waitFor([&] { return (menuWindow = visibleWindowOfClass("#32768")) != nullptr; })) return 0;
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
    self->watch_.waitFor([&] {
        SendMessageA(self->statusBar_, SB_GETTEXTA, 0, (LPARAM)text);
        return text[0] != '\0';
    });
    self->seen.statusWhileHighlighted = text;
    PostMessageA(menuWindow, self->keyIsChar_ ? WM_CHAR : WM_KEYDOWN, self->key_, 0);
    if (!self->watch_.waitFor([&] { return !IsWindowVisible(menuWindow); }))
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
    HWND dialog = nullptr;
    if (!self->watch_.waitFor([&] { return (dialog = visibleWindowOfClass("#32770")) != nullptr; })) return 0;
    self->caption_ = windowText(dialog);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}
