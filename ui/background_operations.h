// The three long operations of the window, each on a worker thread of its own: adding a job's
// items, reading dropped files, and performing every listed item. At most one worker runs.
// Workers reach the window only by messages and end by posting MSG_SET_BUSY with Idle.
#pragma once

#include <windows.h>

// Closing the window while a worker runs: the window asks the worker to stop between items
// and destroys itself once the worker has posted Idle.
void requestWorkerStop();
bool workerStopRequested();
