#include "core/worker/worker_client.h"

#include <stdlib.h>
#include <string.h>

#include "core/jobs/text_copy.h"
#include "core/registration/status_texts.h"

namespace {

// How long a worker told to quit may take before it is ended.
const DWORD QUIT_PATIENCE_MS = 2000;
// How long a new worker may take to be ready; the item time limit starts only then, so that
// a slow start of the process is never taken for a component that hangs.
const DWORD START_PATIENCE_MS = 60000;

HANDLE inheritableEvent()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateEventA(&inheritable, FALSE, FALSE, nullptr);
}

// Starts program with the channel's mapping named in its environment; the handles it needs
// are inherited. The variable is set only for the moment of the start.
HANDLE startWorkerProcess(const char* program, HANDLE mapping)
{
    char value[16];
    _ultoa((DWORD)(ULONG_PTR)mapping, value, 16);
    char commandLine[MAX_PATH + 3] = "\"";
    lstrcatA(commandLine, program);
    lstrcatA(commandLine, "\"");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    SetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, value);
    BOOL ok = CreateProcessA(program, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
    DWORD error = GetLastError();
    SetEnvironmentVariableA(WORKER_CHANNEL_VARIABLE, nullptr);
    if (!ok) {
        SetLastError(error);
        return nullptr;
    }
    CloseHandle(started.hThread);
    return started.hProcess;
}

}  // namespace

bool WorkerClient::start(const char* program, HANDLE stopEvent)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, sizeof(WorkerChannel), nullptr);
    if (mapping != nullptr) channel = (WorkerChannel*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WorkerChannel));
    requestReady = inheritableEvent();
    resultReady = inheritableEvent();
    HANDLE runProcess = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &runProcess, SYNCHRONIZE, TRUE, 0);
    if (channel != nullptr && requestReady != nullptr && resultReady != nullptr && runProcess != nullptr) {
        channel->magic = WORKER_CHANNEL_MAGIC;
        channel->size = sizeof(WorkerChannel);
        channel->requestReady = (DWORD)(ULONG_PTR)requestReady;
        channel->resultReady = (DWORD)(ULONG_PTR)resultReady;
        channel->runProcess = (DWORD)(ULONG_PTR)runProcess;
        process = startWorkerProcess(program, mapping);
    }
    DWORD error = GetLastError();
    if (runProcess != nullptr) CloseHandle(runProcess);
    // Workers started later, of either kind, must not inherit this one's handles.
    HANDLE inherited[] = {mapping, requestReady, resultReady};
    for (HANDLE handle : inherited) {
        if (handle != nullptr) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
    if (process != nullptr) {
        HANDLE waits[3] = {resultReady, process, stopEvent};
        if (WaitForMultipleObjects(stopEvent != nullptr ? 3 : 2, waits, FALSE, START_PATIENCE_MS) == WAIT_OBJECT_0) return true;
        end(1);
        error = ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    release();
    SetLastError(error);
    return false;
}

WorkerOutcome WorkerClient::performItems(ComponentItem* const* items, LONG count, const char* program, DWORD timeoutMs, HANDLE stopEvent)
{
    performedCount = 0;
    lastTrace.step = STEP_LOAD;
    lastTrace.loadError = 0;
    lastException = 0;
    lastExitCode = 0;
    if (process == nullptr && !start(program, stopEvent)) {
        lastTrace.loadError = GetLastError();
        return WORKER_UNAVAILABLE;
    }
    GetCurrentDirectoryA(sizeof channel->currentDirectory, channel->currentDirectory);
    copyText(channel->captureKey, sizeof channel->captureKey, captureKey != nullptr ? captureKey : "");
    if (manifestCheck != nullptr) channel->manifestCheck = *manifestCheck;
    else channel->manifestCheck.manifestPath[0] = '\0';
    for (LONG index = 0; index < count; index++) {
        WorkerItemSlot* slot = &channel->items[index];
        resolvedPath(items[index], slot->path, sizeof slot->path);
        slot->switches = items[index]->switches;
        slot->trace.step = STEP_LOAD;
        slot->trace.loadError = 0;
        slot->statusIndex = -1;
        slot->detail[0] = '\0';
    }
    channel->itemCount = count;
    channel->items[0].startTick = GetTickCount();
    channel->currentItem = 0;
    channel->performedCount = 0;
    channel->exceptionCode = 0;
    channel->order = ORDER_PERFORM;
    SetEvent(requestReady);

    DWORD woken = awaitResult(timeoutMs, stopEvent);
    // A result has at least one item; a worker that was interrupted performed those before
    // the one it was in.
    LONG performed = woken == WAIT_OBJECT_0 ? channel->performedCount : channel->currentItem;
    LONG least = woken == WAIT_OBJECT_0 ? 1 : 0;
    performedCount = performed < least ? least : performed > count ? count : performed;
    for (LONG index = 0; index < performedCount; index++) {
        const char* status = statusAtIndex(channel->items[index].statusIndex);
        copyText(items[index]->detail, sizeof items[index]->detail, channel->items[index].detail);
        items[index]->status = status != nullptr ? status : STATUS_LOAD_FAILED;
    }
    LONG traced = woken == WAIT_OBJECT_0 ? performedCount - 1 : performedCount;
    if (traced >= 0 && traced < count) {
        lastTrace.step = channel->items[traced].trace.step;
        lastTrace.loadError = channel->items[traced].trace.loadError;
    }
    if (woken == WAIT_OBJECT_0) return WORKER_DONE;
    if (woken == WAIT_OBJECT_0 + 1) {
        GetExitCodeProcess(process, &lastExitCode);
        lastException = channel->exceptionCode;
        release();
        return WORKER_DIED;
    }
    end(1);
    return woken == WAIT_TIMEOUT ? WORKER_TIMED_OUT : WORKER_STOPPED;
}

DWORD WorkerClient::awaitResult(DWORD timeoutMs, HANDLE stopEvent)
{
    HANDLE waits[3] = {resultReady, process, stopEvent};
    for (;;) {
        DWORD waitMs = INFINITE;
        if (timeoutMs != INFINITE) {
            // The worker sets an item's start before making it current: the start read is
            // the current item's, or the one's that was current a moment ago.
            LONG current = channel->currentItem;
            if (current < 0 || current >= WORKER_GROUP_CAPACITY) current = 0;
            DWORD elapsed = GetTickCount() - channel->items[current].startTick;
            if (elapsed >= timeoutMs) return WAIT_TIMEOUT;
            waitMs = timeoutMs - elapsed;
        }
        DWORD woken = WaitForMultipleObjects(stopEvent != nullptr ? 3 : 2, waits, FALSE, waitMs);
        if (woken != WAIT_TIMEOUT) return woken;
    }
}

void WorkerClient::stop()
{
    if (process == nullptr) return;
    channel->order = ORDER_QUIT;
    SetEvent(requestReady);
    if (WaitForSingleObject(process, QUIT_PATIENCE_MS) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    release();
}

void WorkerClient::end(DWORD exitCode)
{
    TerminateProcess(process, exitCode);
    WaitForSingleObject(process, QUIT_PATIENCE_MS);
    release();
}

void WorkerClient::release()
{
    if (process != nullptr) CloseHandle(process);
    if (channel != nullptr) UnmapViewOfFile(channel);
    HANDLE owned[] = {mapping, requestReady, resultReady};
    for (HANDLE handle : owned) {
        if (handle != nullptr) CloseHandle(handle);
    }
    process = mapping = requestReady = resultReady = nullptr;
    channel = nullptr;
}
