// The toolbar across the top of the main window, in the normal layout (every list command)
// or the installer layout (Run, the install/uninstall combo box, Save log).
// User-interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct MainToolbar {
    BYTE installerMode;
    HWND window;
    HWND modeCombo;  // null in the normal layout

    // Creates the toolbar, in the installer layout with its combo box, as a child of parent.
    bool create(HWND parent);
    // Enables or disables every command of the layout, and the combo box.
    void enableCommands(BOOL enable);
    // The combo box's selected index: 0 install, 1 uninstall.
    int selectedMode() const;
    // Answers a tooltip's request for the text of the button under the mouse; returns 0.
    LRESULT onGetTooltip(NMTTDISPINFOA* info) const;

private:
    bool createModeCombo();
};
