// The run's side of a worker process: starts a Plinthora executable in worker mode and hands
// it one item, or a group of items, at a time. The worker is started by the first request and
// ended by stop(), or by the run's end; one that dies or does not answer in time costs only the
// item it was in, and the next request starts a fresh one. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/jobs/component_item.h"
#include "core/worker/worker_channel.h"

enum WorkerOutcome {
    WORKER_DONE,       // the worker set the status of the items it performed
    WORKER_DIED,       // it ended during an item (a crash, or the component ended it)
    WORKER_TIMED_OUT,  // an item ran past the time limit and the worker was ended
    WORKER_STOPPED,    // the run was stopped during an item and the worker was ended
    WORKER_UNAVAILABLE // no worker could be started
};

struct WorkerClient {
    HANDLE process;
    HANDLE mapping;
    HANDLE requestReady;
    HANDLE resultReady;
    WorkerChannel* channel;
    // How many of the request's items have their status: with WORKER_DONE at least one (the
    // worker may hand a group back early; the caller sends the rest again), otherwise the
    // item at this index is the one the worker was in.
    LONG performedCount;
    // What the last item performed, or the one the worker was in, went through: the step it
    // reached, a failed load's error code, and for a worker that died, the exception that
    // ended it (0 for none) and its exit code.
    PerformTrace lastTrace;
    DWORD lastException;
    DWORD lastExitCode;
    // The scratch keys the items' registry writes go to; null when they register for real.
    const char* captureKey;
    // When not null, the request's item is checked through this manifest instead of performed.
    const ManifestCheck* manifestCheck;

    // Performs items in order; count: 1 to WORKER_GROUP_CAPACITY, all with paths relative to
    // the current directory. program: the executable to start as the worker. timeoutMs: each
    // item's limit, INFINITE for none. stopEvent: ends the item and the worker when set; may
    // be null.
    WorkerOutcome performItems(ComponentItem* const* items, LONG count, const char* program, DWORD timeoutMs, HANDLE stopEvent);
    void stop();

    // Starts the worker and waits until it is ready.
    bool start(const char* program, HANDLE stopEvent);
    // Waits for the request's result, the worker's end or the stop; WAIT_TIMEOUT once the item
    // in progress has run past timeoutMs.
    DWORD awaitResult(DWORD timeoutMs, HANDLE stopEvent);
    void end(DWORD exitCode);
    void release();
};
