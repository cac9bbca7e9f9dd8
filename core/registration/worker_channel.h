// The record a run shares with its worker process: one item's request going in, the step in
// progress while the component runs, and the result coming back. A 64-bit run may be served
// by a 32-bit worker, so the layout is the same in both builds: fixed-size fields, no
// pointers, and handles as 32-bit values (a handle's value always fits them).
#pragma once

#include <windows.h>
#include "core/jobs/component_item.h"
#include "core/registration/registration_engine.h"

// Holds the channel's handle value in the worker's environment. Worker mode is chosen by
// nothing else: no argument text, job line or list file can reach it.
extern const char WORKER_CHANNEL_VARIABLE[];

const DWORD WORKER_CHANNEL_MAGIC = 0x57544C50;  // "PLTW"

enum WorkerOrder : LONG { ORDER_PERFORM = 1, ORDER_QUIT = 2 };

struct WorkerChannel {
    DWORD magic;
    DWORD size;
    // Valid in the worker, which inherits them.
    DWORD requestReady;  // auto-reset event: an order waits
    DWORD resultReady;   // auto-reset event: the worker is ready, then each result is written
    DWORD runProcess;    // the run's own process: the worker ends with it
    LONG order;
    // The request: the path to load, already resolved, and the directory it is relative to.
    char currentDirectory[MAX_PATH];
    char path[MAX_PATH];
    ItemSwitches switches;
    // Under HKEY_CURRENT_USER, the scratch keys the item's registry writes are captured in;
    // empty when it registers for real.
    char captureKey[MAX_PATH];
    // Progress and result: a worker that dies leaves the step it died in.
    PerformTrace trace;
    LONG statusIndex;
    char detail[DETAIL_TEXT_CAPACITY];
    DWORD exceptionCode;
};
