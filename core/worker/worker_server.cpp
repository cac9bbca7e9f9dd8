#include "core/worker/worker_server.h"

#include <stdlib.h>

#include "core/jobs/text_copy.h"
#include "core/registration/per_user_classes.h"
#include "core/registration/registration_engine.h"
#include "core/capture/registry_capture.h"
#include "core/worker/class_creation.h"
#include "core/check/registration_check.h"
#include "core/registration/status_texts.h"
#include "core/worker/worker_channel.h"

const char WORKER_CHANNEL_VARIABLE[] = "PLINTHORA_WORKER_CHANNEL";

namespace {

WorkerChannel* servedChannel = nullptr;

// A component that crashes ends the worker at once, with the exception's code as the exit
// code: no fault box of the system's, no debugger, and the run learns the code.
LONG WINAPI endOnUnhandledException(EXCEPTION_POINTERS* exception)
{
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (servedChannel != nullptr) servedChannel->exceptionCode = code;
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Ends the worker once its run has ended, however it ended and whatever the worker is doing:
// a thread inside a component that never returns cannot look for itself. A thread rather than
// a job object that kills its processes: on Windows 7 a run started inside a job of another
// program's (a deployment engine's, a scheduler's) cannot put its workers in a job of its own.
DWORD WINAPI endWithRun(void* runProcess)
{
    WaitForSingleObject((HANDLE)runProcess, INFINITE);
    TerminateProcess(GetCurrentProcess(), ERROR_PROCESS_ABORTED);
    return 0;
}

// The channel named in the environment, mapped; null when this is no worker start. The
// variable is removed, so that programs a component starts do not take it for theirs.
WorkerChannel* attachChannel()
{
    char value[32];
    DWORD length = GetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, value, sizeof value);
    if (length == 0 || length >= sizeof value) return nullptr;
    SetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, nullptr);
    HANDLE mapping = (HANDLE)(ULONG_PTR)strtoul(value, nullptr, 16);
    WorkerChannel* channel = (WorkerChannel*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WorkerChannel));
    if (channel == nullptr) return nullptr;
    if (channel->magic != WORKER_CHANNEL_MAGIC || channel->size != sizeof(WorkerChannel)) {
        UnmapViewOfFile(channel);
        return nullptr;
    }
    return channel;
}

void performSlot(const WorkerChannel* channel, WorkerItemSlot* slot)
{
    ComponentItem* item = newComponentItem();
    if (item == nullptr) {
        slot->statusIndex = statusIndex(STATUS_LOAD_FAILED);
        slot->trace.loadError = ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    copyText(item->path, sizeof item->path, slot->path);
    item->switches = slot->switches;
    bool capturing = channel->captureKey[0] != '\0';
    // A capture run captures every item, /q or not. A checked item captures into scratch keys
    // of its own, and reads the user's classes itself when it has /c.
    bool checking = !capturing && item->switches.check;
    // A captured item's classes go to the scratch keys whether or not it has /c; the capture
    // names them by the item's switches.
    bool perUser = !capturing && !checking && item->switches.perUser;
    // An item whose writes cannot be captured, or kept to the user's classes, is not performed
    // at all: they would reach the registry's other keys.
    if ((capturing && !overlayScratchKeys(channel->captureKey)) || (perUser && !overlayUserClasses())) {
        failLoad(item, GetLastError());
    } else if (checking) {
        checkInThisProcess(item, &slot->trace);
    } else {
        if (channel->manifestCheck.manifestPath[0] != '\0') createClassesThroughManifest(channel->manifestCheck, item);
        else performInThisProcess(item, &slot->trace);
        if (capturing) removeScratchOverlay();
        if (perUser) removeUserClassesOverlay();
    }
    slot->statusIndex = statusIndex(item->status);
    copyText(slot->detail, sizeof slot->detail, item->detail);
    freeComponentItem(item);
}

void performRequest(WorkerChannel* channel)
{
    // Setting it opens the directory: most runs keep one for all their items.
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length == 0 || length >= sizeof current || lstrcmpA(current, channel->currentDirectory) != 0) {
        SetCurrentDirectoryA(channel->currentDirectory);
    }
    LONG count = channel->itemCount < WORKER_GROUP_CAPACITY ? channel->itemCount : WORKER_GROUP_CAPACITY;
    LONG performed = 0;
    DWORD groupStart = GetTickCount();
    while (performed < count) {
        WorkerItemSlot* slot = &channel->items[performed];
        slot->startTick = GetTickCount();
        InterlockedExchange(&channel->currentItem, performed);
        performSlot(channel, slot);
        performed++;
        if (slot->trace.loadError == ERROR_BAD_EXE_FORMAT && slot->trace.loadStatus != LOAD_STATUS_NOT_AN_IMAGE) break;
        if (GetTickCount() - groupStart >= WORKER_GROUP_SLICE_MS) break;
    }
    channel->performedCount = performed;
}

}  // namespace

bool serveAsWorker()
{
    WorkerChannel* channel = attachChannel();
    if (channel == nullptr) return false;
    servedChannel = channel;
    SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnUnhandledException);

    HANDLE waits[2] = {(HANDLE)(ULONG_PTR)channel->requestReady, (HANDLE)(ULONG_PTR)channel->runProcess};
    HANDLE resultReady = (HANDLE)(ULONG_PTR)channel->resultReady;
    HANDLE watcher = CreateThread(nullptr, 4096, endWithRun, waits[1], STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (watcher == nullptr) return true;
    CloseHandle(watcher);
    SetEvent(resultReady);
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && channel->order == ORDER_PERFORM) {
        performRequest(channel);
        SetEvent(resultReady);
    }
    return true;
}
