// The record a run shares with its worker process: a request of one or more items going in,
// the item and step in progress while a component runs, and the results coming back. A 64-bit
// run may be served by a 32-bit worker, so the layout is the same in both builds: fixed-size
// fields, no pointers, and handles as 32-bit values (a handle's value always fits them).
#pragma once

#include <windows.h>
#include "core/capture/side_by_side_manifest.h"
#include "core/jobs/component_item.h"
#include "core/registration/perform_trace.h"

// Holds the channel's handle value in the worker's environment. Worker mode is chosen by
// nothing else: no argument text, job line or list file can reach it.
extern const char WORKER_CHANNEL_VARIABLE[];

const DWORD WORKER_CHANNEL_MAGIC = 0x57544C50;  // "PLTW"

enum WorkerOrder : LONG { ORDER_PERFORM = 1, ORDER_QUIT = 2 };

// How many items one request may carry. A run that shows nothing between its items hands
// them over in groups, so that it and its worker take turns once a group, not once an item.
const LONG WORKER_GROUP_CAPACITY = 64;
// The worker hands the rest of a group back once it has spent this long on it: the run writes
// the results as they come, and a worker whose run has ended stops soon.
const DWORD WORKER_GROUP_SLICE_MS = 50;

// One item of a request, and its result.
struct WorkerItemSlot {
    char path[MAX_PATH];  // already resolved
    ItemSwitches switches;
    // When the worker began the item, by GetTickCount: the item's time limit runs from it.
    DWORD startTick;
    // Progress and result: a worker that dies leaves the step it died in.
    PerformTrace trace;
    LONG statusIndex;
    char detail[DETAIL_TEXT_CAPACITY];
};

struct WorkerChannel {
    DWORD magic;
    DWORD size;
    // Valid in the worker, which inherits them.
    DWORD requestReady;  // auto-reset event: an order waits
    DWORD resultReady;   // auto-reset event: the worker is ready, then each request is done
    DWORD runProcess;    // the run's own process: the worker ends with it
    LONG order;
    // The request: the directory its paths are relative to, and its items.
    char currentDirectory[MAX_PATH];
    // Under HKEY_CURRENT_USER, the scratch keys the items' registry writes are captured in;
    // empty when they register for real.
    char captureKey[MAX_PATH];
    LONG itemCount;
    // The item in progress, set after its start tick.
    volatile LONG currentItem;
    // With the result: how many items were performed. The worker stops early after an item
    // whose load met a file it cannot load (ERROR_BAD_EXE_FORMAT) that may be an image, which
    // may go to a worker of the other architecture before the items after it, and once its
    // time slice is over. A file that is no image at all fails for every architecture alike.
    LONG performedCount;
    DWORD exceptionCode;
    WorkerItemSlot items[WORKER_GROUP_CAPACITY];
    // When it names a manifest, the request's one item is not performed: its classes are
    // created through that manifest instead, with the captured registry laid over.
    ManifestCheck manifestCheck;
};
