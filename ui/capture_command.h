// The list's capture command: a file chosen in the Save dialog, then every listed item
// performed as Run performs it, with what it writes to the registry captured into that file
// in the format its name asks for. User-interface thread only, while the window is Idle.
#pragma once

#include <windows.h>

struct ItemListView;

LRESULT onCapture(HWND owner, const ItemListView* list);
