// Finding a visible top-level window of a process by what it is: a box with a caption, a
// dialog with an owner, a main window of a class.
#pragma once

#include <windows.h>

#include <functional>

// The first visible top-level window of the process for which matches holds, or null.
HWND visibleTopLevelWindow(DWORD processId, const std::function<bool(HWND)>& matches);
