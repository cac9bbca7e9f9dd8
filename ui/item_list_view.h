// The list of components in the main window: one row per ComponentItem, in arrival order.
// Rows own their items. Cells are computed from the item at every paint.
// itemAt, count and appendItem may be called from a worker thread (they only send messages
// to the control); everything else runs on the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/jobs/component_item.h"

struct ItemListView {
    HWND window;
    HIMAGELIST imageList;

    // Creates the control, its image list and its three columns as a child of parent.
    bool create(HWND parent);
    ComponentItem* itemAt(int row) const;
    int count() const;
    // The first selected row after the given one (-1: from the top); -1 when there is none.
    int nextSelectedRow(int after) const;
    void deleteSelected();
    void deleteAll();
    void setUnregisterAll(BYTE flag);

    // Notification handlers; each returns 0.
    LRESULT onGetDispInfo(NMLVDISPINFOA* info);
    LRESULT onRightClick(HWND owner, NMITEMACTIVATE* activation, HMENU contextMenu, BYTE installerMode);
};

// The interactive item sink: sinkContext is the list control's window handle.
void appendItem(ComponentItem* item, void* sinkContext);
