// The status bar across the bottom of the main window: a borderless message part (busy
// text or menu help), the item count, and the size-grip corner. Texts are written only
// when they change, since the idle step refreshes them every time the queue drains.
// User-interface thread only.
#pragma once

#include <windows.h>

struct StatusBar {
    HWND window;

    bool create(HWND parent);
    // Sets the three parts for a main window whose client area is width pixels wide.
    void layoutParts(int width);
    void showItemCount(int count);
    void showMessage(const char* text);
    // Shows the menu-help text of the highlighted menu entry; returns 0.
    LRESULT onMenuSelect(WPARAM wordParam);

private:
    void setTextIfChanged(int part, UINT drawFlags, const char* text);
};
