// The run's side of a worker process: starts a Plinthora executable in worker mode and hands
// it one item at a time. The worker is started by the first item and ended by stop(), or by
// the run's end; one that dies or does not answer in time costs only its item, and the next
// item starts a fresh one. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/jobs/component_item.h"
#include "core/registration/worker_channel.h"

enum WorkerOutcome {
    WORKER_DONE,       // the worker set the item's status
    WORKER_DIED,       // it ended during the item (a crash, or the component ended it)
    WORKER_TIMED_OUT,  // the item ran past the time limit and the worker was ended
    WORKER_STOPPED,    // the run was stopped during the item and the worker was ended
    WORKER_UNAVAILABLE // no worker could be started
};

struct ComponentWorker {
    HANDLE process;
    HANDLE mapping;
    HANDLE requestReady;
    HANDLE resultReady;
    WorkerChannel* channel;
    // What the last item went through: the step it reached, a failed load's error code, and
    // for a worker that died, the exception that ended it (0 for none) and its exit code.
    PerformTrace lastTrace;
    DWORD lastException;
    DWORD lastExitCode;
    // The scratch keys the items' registry writes go to; null when they register for real.
    const char* captureKey;

    // program: the executable to start as the worker. timeoutMs: INFINITE for no limit.
    // stopEvent: ends the item and the worker when set; may be null.
    WorkerOutcome perform(ComponentItem* item, const char* program, DWORD timeoutMs, HANDLE stopEvent);
    void stop();

    // Starts the worker and waits until it is ready.
    bool start(const char* program, HANDLE stopEvent);
    void end(DWORD exitCode);
    void release();
};
