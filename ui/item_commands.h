// The Add, Edit and Save-log commands of the main window. User-interface thread only,
// and only while the list is Idle.
#pragma once

#include <windows.h>

struct ItemListView;

LRESULT onAdd(HWND owner, ItemListView* list);
LRESULT onEdit(HWND owner, ItemListView* list);
LRESULT onSaveLog(HWND owner, ItemListView* list);
