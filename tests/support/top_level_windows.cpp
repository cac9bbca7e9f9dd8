#include "tests/support/top_level_windows.h"

namespace {

struct Search {
    DWORD processId;
    const std::function<bool(HWND)>* matches;
    HWND found;
};

// EnumWindows works on a snapshot: windows that come and go meanwhile cannot cut the walk short.
BOOL CALLBACK visit(HWND window, LPARAM parameter)
{
    Search* search = (Search*)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || !(*search->matches)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND visibleTopLevelWindow(DWORD processId, const std::function<bool(HWND)>& matches)
{
    Search search = {processId, &matches, nullptr};
    EnumWindows(visit, (LPARAM)&search);
    return search.found;
}
