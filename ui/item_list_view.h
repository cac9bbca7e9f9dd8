// The list of components in the main window: one row per ComponentItem, in arrival order.
// Rows own their items. Cells are computed from the item at every paint.
// appendItem may be called from a worker thread (it only sends a message to the control);
// everything else runs on the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/jobs/job.h"

enum BusyState { Idle = 0, BuildingList = 1, Running = 2 };

struct ItemListView {
    HWND window;
    HIMAGELIST imageList;
    LONG busyState;

    // Creates the control, its image list and its three columns as a child of parent.
    bool create(HWND parent);
    ComponentItem* itemAt(int row) const;
    int count() const;
    void deleteSelected();
    void deleteAll();
    void setUnregisterAll(BYTE flag);

    // Notification and menu handlers; each returns 0.
    LRESULT onGetDispInfo(NMLVDISPINFOA* info);
    LRESULT onRightClick(HWND owner, NMITEMACTIVATE* activation, HMENU contextMenu, BYTE installerMode);
    LRESULT onDoubleClick(HWND owner, BYTE installerMode);
    LRESULT onInitMenuPopup(HMENU menu);

    // Worker starters (background operations); each returns at once when not Idle.
    // Owns the job from the call on.
    void startAddJob(HWND owner, JobSpec* job);
    void startDrop(HWND owner, HDROP drop);
    void startRun(HWND owner);
};

// The interactive item sink: sinkContext is the list control's window handle.
void appendItem(ComponentItem* item, void* sinkContext);
