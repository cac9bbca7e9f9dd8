// The modal Add/Edit dialog: it shows one ComponentItem used as an edit buffer (path,
// switches /u /n /i /c, DllInstall command line) and, when adding, the method by which the
// path is to be taken. User-interface thread only.
#pragma once

#include <windows.h>

#include "core/jobs/component_item.h"

// The entries of the method combo, in order; the selection index is the value.
enum AddMethod { AddFile = 0, AddFolder = 1, AddFolderTree = 2, AddListFile = 3 };

struct ItemDialogContext {
    ComponentItem* item;
    // The AddMethod chosen, written at OK (-1 in the Edit form, which has no method).
    LONG method;
    // 0 the Add form, 1 the Edit form.
    LONG editing;
    // The rows being edited; 0 in the Add form.
    LONG selectedCount;
};

// The context of the open dialog, which its procedure reads at every message it handles.
// The command that opens the dialog owns the context and frees it after the dialog closed.
extern ItemDialogContext* activeItemDialogContext;

// Points activeItemDialogContext at context and shows the dialog modally over owner.
// 1 when it ended with OK (the buffer and the method are then written), 0 on Cancel and
// when the dialog cannot be shown at all.
int showItemDialog(ItemDialogContext* context, HWND owner);
