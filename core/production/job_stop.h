// Lets the window end a job early once it is closing: a list file stops at its next line, a
// folder listing at its next entry, a component in progress is ended with its worker, and no
// further list-file error is shown to a user who has closed the window. Batch runs never ask
// for it. Any thread.
#pragma once

#include <windows.h>

// Set while a stop is asked; for waits that must end at once. Null only without resources.
HANDLE jobStopEvent();
void requestJobStop();
void clearJobStop();
bool jobStopRequested();
