#include "tests/ui/window_work.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <set>

#include "tests/ui/dialog_driver.h"
#include "ui/item_list_view.h"

ComponentItem* WindowWork::item(int row) const
{
    return record->itemList->itemAt(row);
}

std::vector<std::string> WindowWork::rowPaths() const
{
    std::vector<std::string> paths;
    for (int row = 0; row < rowCount(); row++) paths.push_back(item(row)->path);
    return paths;
}

bool WindowWork::serveUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    std::set<HWND> answered;
    return pumpUntil(
        [&] {
            HWND box = findDialog("Plinthora", window);
            if (box != nullptr && answered.insert(box).second) {
                boxTexts.push_back(messageBoxText(box));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            return condition() && findDialog("Plinthora", window) == nullptr;
        },
        timeoutMs);
}

bool WindowWork::serveUntilIdle(DWORD timeoutMs)
{
    return serveUntil([&] { return busyState() == Idle; }, timeoutMs);
}

namespace {

// As the shell builds it: every name ends with a NUL, and an empty name ends the list, so a
// drop without names is two NULs after the header. Readers step over the first NUL before
// they look for the end.
HDROP shellDrop(const std::vector<std::string>& names)
{
    if (!names.empty()) return makeDrop(names);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + 2);
    DROPFILES* header = (DROPFILES*)GlobalLock(memory);
    header->pFiles = sizeof(DROPFILES);
    GlobalUnlock(memory);
    return (HDROP)memory;
}

}  // namespace

void WindowWork::drop(const std::vector<std::string>& names, bool ctrl, bool alt)
{
    // The drop reads the keys of this thread, which serves the window.
    BYTE keys[256] = {};
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
    HDROP handle = shellDrop(names);
    PostMessageA(window, WM_DROPFILES, (WPARAM)handle, 0);
    EXPECT_TRUE(serveUntil([&] { return dropReleased(handle) && busyState() == Idle; }))
        << "the drop did not end, or its handle was not released";
    BYTE none[256] = {};
    SetKeyboardState(none);
}

void WindowWork::commandWithDialog(int command, const char* caption, const std::function<void(HWND)>& script)
{
    runWithDialog(caption, window, [&] { return (int)SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0); },
                  script);
    EXPECT_TRUE(serveUntilIdle());
}

void WindowWork::closeAsTheUserDoes()
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    pumpUntil([] { return false; }, 30000);
    EXPECT_TRUE(quitSeen) << "the loop did not end after the close";
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(IsWindow(window));
}

void WindowWork::reopen()
{
    record->releaseWindowClass();
    currentMainWindow = nullptr;
    HeapFree(GetProcessHeap(), 0, record);
    record = nullptr;
    quitSeen = false;
    quitCode = -1;
    openMainWindow();
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
