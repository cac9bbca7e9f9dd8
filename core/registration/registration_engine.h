// Performs one item: loads its module, calls the exports its switches select, sets status,
// and for a failure the detail that says why. Runs wholly on the calling thread, with an OLE
// session of its own for each item.
#pragma once

#include "core/jobs/component_item.h"

// The step an item is in while it is performed.
enum PerformStep : LONG { STEP_IDLE = 0, STEP_LOAD = 1, STEP_SERVER = 2, STEP_INSTALL = 3 };

// What performing an item went through, kept where a watcher outside the performing thread
// can read it even when the component ends the process.
struct PerformTrace {
    volatile LONG step;
    DWORD loadError;  // the system's error code when the load failed, else 0
    // The loader's own status under loadError, else 0: it tells a file that is no image at all
    // from one built for another machine, which both give ERROR_BAD_EXE_FORMAT.
    LONG loadStatus;
};

// The loader's status for a file that does not even begin as an image.
const LONG LOAD_STATUS_NOT_AN_IMAGE = (LONG)0xC000012F;

// The item's path is performed as given: the run resolved it, and a path resolved twice may
// name another file (a folder macro's value can hold text that reads as a macro again).
// A file named as a type library is registered as one (type_library.h), any other as a
// component.
void perform(ComponentItem* item, PerformTrace* trace);

// Gives the item the status of a failed load, with the system's error as its detail: for an
// item answered, or refused, without being loaded.
void failLoad(ComponentItem* item, DWORD error);
