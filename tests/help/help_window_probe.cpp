// Opens the help file exactly as F1 does (showHelp, so plinthora.chm must lie next to this
// program) and reports what the help viewer shows, in UTF-8:
//
//   title <window title>
//   rect <left> <top> <right> <bottom>
//   toc <entry>            one line per entry of the contents, two blanks more per level
//
// Usage: help_window_probe REPORT_FILE [HOLD_MILLISECONDS]
// The report is written once the viewer shows its contents; the viewer then stays open for
// the hold time (long enough for a screenshot) and is closed. Exit code 0 when a viewer with
// contents opened, 1 when none did, 2 on bad arguments.
#include <windows.h>
#include <commctrl.h>
#include <htmlhelp.h>

#include <stdlib.h>
#include <string>

#include "help/help_launcher.h"

namespace {

const DWORD VIEWER_WAIT_MS = 15000;

std::string utf8(const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string result((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], bytes, nullptr, nullptr);
    result.resize((size_t)bytes - 1);
    return result;
}

bool hasClass(HWND window, const wchar_t* className)
{
    wchar_t name[64];
    return GetClassNameW(window, name, 64) > 0 && lstrcmpW(name, className) == 0;
}

BOOL CALLBACK findViewer(HWND window, LPARAM found)
{
    if (!hasClass(window, L"HH Parent") || !IsWindowVisible(window)) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

BOOL CALLBACK findTree(HWND window, LPARAM found)
{
    if (!hasClass(window, WC_TREEVIEWW)) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}

HWND viewerWindow()
{
    HWND viewer = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findViewer, (LPARAM)&viewer);
    return viewer;
}

HWND contentsTree(HWND viewer)
{
    HWND tree = nullptr;
    if (viewer != nullptr) EnumChildWindows(viewer, findTree, (LPARAM)&tree);
    return tree;
}

HTREEITEM treeItem(HWND tree, UINT relation, HTREEITEM item)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, relation, (LPARAM)item);
}

// The viewer belongs to this thread, so it only draws and fills while messages are handled.
void pumpMessagesFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool waitForContents(HWND* viewer, HWND* tree)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < VIEWER_WAIT_MS) {
        *viewer = viewerWindow();
        *tree = contentsTree(*viewer);
        if (*tree != nullptr && treeItem(*tree, TVGN_ROOT, nullptr) != nullptr) return true;
        pumpMessagesFor(50);
    }
    return false;
}

void describeTree(HWND tree, HTREEITEM item, int depth, std::string* report)
{
    for (; item != nullptr; item = treeItem(tree, TVGN_NEXT, item)) {
        wchar_t text[256] = L"";
        TVITEMW query = {};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = 256;
        SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&query);
        *report += "toc " + std::string((size_t)depth * 2, ' ') + utf8(text) + "\n";
        describeTree(tree, treeItem(tree, TVGN_CHILD, item), depth + 1, report);
    }
}

// Written aside and then renamed, so that whoever waits for the report never reads half of it.
bool writeReport(const char* path, const std::string& report)
{
    std::string partial = std::string(path) + ".part";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, report.data(), (DWORD)report.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == report.size() && MoveFileExA(partial.c_str(), path, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) return 2;
    DWORD hold = argc == 3 ? (DWORD)strtoul(argv[2], nullptr, 10) : 0;

    showHelp();
    HWND viewer = nullptr;
    HWND tree = nullptr;
    if (!waitForContents(&viewer, &tree)) return 1;
    pumpMessagesFor(500);

    wchar_t title[256] = L"";
    GetWindowTextW(viewer, title, 256);
    RECT bounds;
    GetWindowRect(viewer, &bounds);
    char rect[96];
    wsprintfA(rect, "rect %ld %ld %ld %ld\n", bounds.left, bounds.top, bounds.right, bounds.bottom);
    std::string report = "title " + utf8(title) + "\n" + rect;
    describeTree(tree, treeItem(tree, TVGN_ROOT, nullptr), 0, &report);
    if (!writeReport(argv[1], report)) return 1;

    pumpMessagesFor(hold);
    callHtmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
    return 0;
}
