// Shows the help file "plinthora.chm" next to the executable through the platform's HTML Help
// control. The control is not linked: it is found through its class registration, loaded on
// the first request and kept for the life of the process; a control that could not be loaded
// is remembered, and later requests then show nothing without trying again. Nothing is ever
// reported to the user.
//
// Only the user-interface thread calls these; the process-wide state is not locked.
#pragma once

#include <windows.h>

// The buffer that findHelpControl fills: one path and its terminator.
const DWORD HELP_CONTROL_PATH_CAPACITY = MAX_PATH;

// Opens the help viewer on the contents and the start page, owned by the desktop, so that it
// neither follows the main window nor keeps it from closing.
void showHelp();

// Calls the control's HtmlHelpA entry, loading the control on first use; 0 when the control
// is not available.
HWND callHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data);

// Reads the control's registered location into buffer (HELP_CONTROL_PATH_CAPACITY bytes).
// False when there is none, or when the value does not fit the buffer as a terminated text.
bool findHelpControl(char* buffer);

// For the tests only; the program never calls it. Forgets the control (freeing a module
// loaded so far), its entry point and the failure mark, and takes the control's location
// from the default value of locationKey under locationRoot and the fallback module from
// fallbackModule; a null root, key or module restores the program's own. Needed because
// Wine neither lets a test change what HKEY_CLASSES_ROOT shows nor makes the system's
// control fail to load.
void resetHelpLauncherForTests(HKEY locationRoot, const char* locationKey, const char* fallbackModule);
