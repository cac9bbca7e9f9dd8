// The Add and Edit dialogs, the capture's Save dialog and a run, posed for tools/screenshots.sh by its driver. Not a test.
#pragma once

#include <windows.h>

struct MainWindow;

// With the main window open, Idle and holding at least three rows, poses in this order:
// "add_dialog", "edit_dialog_one_row", "edit_dialog_several_rows", "capture_refused",
// "capture_dialog", "running", "after_run".
// takeShot(stage) returns once the picture is taken; it is called from any thread.
// Leaves the window Idle, with the rows performed.
void poseItemStages(MainWindow* record, HWND window, void (*takeShot)(const char* stage));
