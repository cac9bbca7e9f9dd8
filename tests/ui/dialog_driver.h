// Works a modal dialog from a second thread while the test thread sits in the dialog's own
// loop: finds it, reads its controls and clicks them through their messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/wait_until.h"

// A visible dialog-class window (#32770) of this process with that caption and, when owner is
// not null, that owner. Message boxes, the item dialog and the common dialogs are all of it.
HWND findDialog(const char* caption, HWND owner = nullptr);
HWND waitForDialog(const char* caption, HWND owner = nullptr, DWORD limitMs = WAIT_LIMIT_MS);
// Any visible dialog-class window of this process owned by owner.
HWND waitForOwnedDialog(HWND owner, DWORD limitMs = WAIT_LIMIT_MS);

std::string windowText(HWND window);
std::string controlText(HWND dialog, int control);
// The text of a message box.
std::string messageBoxText(HWND box);
bool isChecked(HWND dialog, int control);
bool isEnabled(HWND dialog, int control);
bool isVisible(HWND dialog, int control);
// A mouse click on a button, as the platform performs it (auto check boxes toggle).
void click(HWND dialog, int control);
// Presses a button without waiting for what it starts (OK may open a message box).
void pressLater(HWND dialog, int control);
void setText(HWND dialog, int control, const std::string& text);
// The file-name control of an open or save dialog: a combo box, or an edit control.
int fileNameControl(HWND picker);
// Types count characters into an edit control, one keystroke each.
void typeInto(HWND dialog, int control, char character, int count);
// Closes a dialog that a script left open, and waits until it is gone.
void closeIfOpen(HWND dialog);

// Runs script on a second thread against the dialog with caption, which showing opens on
// this thread. Whatever the script does, the dialog is closed afterwards. Returns what
// showing returned.
int runWithDialog(const char* caption, HWND owner, const std::function<int()>& showing,
                  const std::function<void(HWND dialog)>& script);
