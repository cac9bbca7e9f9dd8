// core/worker owns each item in a process of its own: this performer, which a run uses; the
// run's side of a worker (worker_client.h); the worker's side (worker_server.h); and the
// channel between them (worker_channel.h).
//
// Performs a run's items in worker processes, so that no component can end, hang or crash the
// run: a worker of the program's own architecture, and for a component built for the other
// architecture the helper of that architecture beside the executable, when there is one. The
// rights check, boxes, log and window stay with the caller. Used by the run's thread.
#pragma once

#include <windows.h>

#include "core/jobs/component_item.h"
#include "core/worker/worker_client.h"
#include "core/capture/registry_capture.h"

// config.ini [Run] ItemTimeout: seconds an item may take; 0 for no limit.
const UINT DEFAULT_ITEM_TIMEOUT_SECONDS = 300;

struct IsolatedPerformer {
    WorkerClient ownWorker;
    WorkerClient otherWorker;
    char ownProgram[MAX_PATH];
    char otherProgram[MAX_PATH];  // empty: no helper for the other architecture
    DWORD itemTimeoutMs;
    HANDLE stopEvent;
    RegistryCapture* capture;
    // What the system answered for the first empty file a listing showed, when it failed to
    // map it: every later one of the run is answered the same, without asking again.
    DWORD emptyFileError;  // 0 until then
    char emptyFileDetail[DETAIL_TEXT_CAPACITY];

    // stopEvent, when not null, ends the item in progress and its worker once set. capture,
    // when not null, takes every item's registry writes instead of the registry.
    void begin(HANDLE stopEvent, RegistryCapture* capture = nullptr);
    // Sets the item's status as perform() would; a worker that dies or runs out of time gives
    // the status of the step it was in.
    void perform(ComponentItem* item);
    // The same for items performed in order with nothing shown between them: they are handed
    // to the worker in groups.
    void performGroup(ComponentItem* const* items, LONG count);
    // Ends the workers.
    void end();

    bool failsWithoutLoading(ComponentItem* item);
    void performCaptured(ComponentItem* item);
    // A captured item that succeeded, when the capture is a manifest: its part of the manifest
    // checked by use in a worker of its architecture, and the item settled in the manifest
    // with the status that check gave.
    void checkThroughManifest(ComponentItem* item, SideBySideManifest* manifest);
    void createThroughPart(ComponentItem* item, SideBySideManifest* manifest);
    void performInWorkers(ComponentItem* const* items, LONG count);
    // Hands the items to the own worker, and an item it cannot load for its architecture to
    // the other's; returns how many have their status.
    LONG performInOwnWorker(ComponentItem* const* items, LONG count);
    void settleInterrupted(ComponentItem* item, const WorkerClient* worker, WorkerOutcome outcome);
};
