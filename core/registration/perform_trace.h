// The progress of one item being performed: the step it is in and why its load failed. The
// engine, the type libraries and a worker's channel share it.
#pragma once

#include <windows.h>

// The step an item is in while it is performed.
enum PerformStep : LONG { STEP_IDLE = 0, STEP_LOAD = 1, STEP_SERVER = 2, STEP_INSTALL = 3 };

// Kept where a watcher outside the performing thread can read it even when the component ends
// the process.
struct PerformTrace {
    volatile LONG step;
    DWORD loadError;  // the system's error code when the load failed, else 0
    // The loader's own status under loadError, else 0: it tells a file that is no image at all
    // from one built for another machine, which both give ERROR_BAD_EXE_FORMAT.
    LONG loadStatus;
};

// The loader's status for a file that does not even begin as an image.
const LONG LOAD_STATUS_NOT_AN_IMAGE = (LONG)0xC000012F;
