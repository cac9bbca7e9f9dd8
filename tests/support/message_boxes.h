// Finds the message boxes that another process shows, reads them and answers them, as a
// user would. Used by the end-to-end tests and by the launcher of tools/run.sh; any thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
    std::string text;          // the message, in the ANSI code page
    UINT icon = 0;             // MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONQUESTION, MB_ICONERROR; 0: none recognised
    std::vector<int> buttons;  // the visible buttons (IDOK, IDYES, IDNO…), in id order
};

// A visible dialog of the process with this caption, or null.
HWND findMessageBox(DWORD processId, const char* caption);

// True when the process has a visible top-level window that is not a dialog with this caption.
bool hasOtherVisibleWindow(DWORD processId, const char* caption);

// Reads text, buttons and icon, waiting up to patienceMs for the box to be drawn. The icon is
// recognised from the pixels on the screen, against the system's own icons drawn here.
SeenBox readMessageBox(HWND box, DWORD patienceMs);

// Presses the button and waits up to patienceMs for the box to close; false if it stays.
bool answerMessageBox(HWND box, int button, DWORD patienceMs);

// The answer a user in a hurry gives: OK when there is one, else No, else the first button.
int defaultAnswer(const SeenBox& box);

// "information", "warning", "question", "error" or "none".
const char* iconName(UINT icon);
