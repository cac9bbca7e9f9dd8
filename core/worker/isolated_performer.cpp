#include "core/worker/isolated_performer.h"

#include "core/jobs/heap.h"
#include "core/jobs/path_resolver.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "core/registration/component_image.h"
#include "core/registration/failure_details.h"
#include "core/registration/registration_engine.h"
#include "core/registration/status_texts.h"
#include "core/registration/type_library.h"

namespace {

#ifdef _WIN64
const char* const OTHER_ARCHITECTURE_HELPER = "plinthora32.exe";
const WORD OTHER_MACHINE = IMAGE_FILE_MACHINE_I386;
#else
const char* const OTHER_ARCHITECTURE_HELPER = nullptr;
const WORD OTHER_MACHINE = IMAGE_FILE_MACHINE_AMD64;
#endif

// Longer limits than this would overflow the milliseconds.
const UINT LONGEST_ITEM_TIMEOUT_SECONDS = 0xFFFFFFFE / 1000;

DWORD itemTimeoutFromConfig()
{
    char config[MAX_PATH];
    UINT seconds = DEFAULT_ITEM_TIMEOUT_SECONDS;
    if (besideProgram("config.ini", config, sizeof config)) {
        seconds = GetPrivateProfileIntA("Run", "ItemTimeout", DEFAULT_ITEM_TIMEOUT_SECONDS, config);
    }
    if (seconds == 0) return INFINITE;
    if ((int)seconds < 0) seconds = DEFAULT_ITEM_TIMEOUT_SECONDS;
    if (seconds > LONGEST_ITEM_TIMEOUT_SECONDS) seconds = LONGEST_ITEM_TIMEOUT_SECONDS;
    return seconds * 1000;
}

// The machine the item's file is built for, when that is the other architecture's: the
// reason a load failed with ERROR_BAD_EXE_FORMAT. 0 otherwise.
WORD otherMachineOf(const ComponentItem* item, const PerformTrace& trace)
{
    if (trace.loadError != ERROR_BAD_EXE_FORMAT) return 0;
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    return componentMachine(path) == OTHER_MACHINE ? OTHER_MACHINE : 0;
}

const char* statusOfInterruptedStep(const ComponentItem* item, LONG step)
{
    if (isTypeLibraryPath(item->path)) return typeLibraryStatusOfStep(item, step);
    if (step == STEP_SERVER) return item->switches.unregister ? STATUS_UNREGISTER_FAILED : STATUS_REGISTER_FAILED;
    if (step == STEP_INSTALL) return STATUS_INSTALL_FAILED;
    return STATUS_LOAD_FAILED;
}

}  // namespace

// Answers an item whose load can only fail, without a worker: a path that names no file fails
// as the loader fails a missing module, and an empty file with the error of mapping it as an
// image, which the load meets the same way. Mapped as a resource only: none of the file's code
// runs in this process. Files with content go to the worker, whose load says what they are:
// mapping every one here as well would cost a component that loads as much as its handing over.
// A type library is never a module to load: the worker reads it, and says why it cannot.
// What the listing showed is not looked up again: in a tree of placeholder files that is most
// of the run's work.
bool IsolatedPerformer::failsWithoutLoading(ComponentItem* item)
{
    if (item->listing == LISTED_WITH_CONTENT) return false;
    if (item->listing == LISTED_EMPTY && emptyFileError != 0 && !isTypeLibraryPath(item->path)) {
        item->status = STATUS_LOAD_FAILED;
        copyText(item->detail, sizeof item->detail, emptyFileDetail);
        return true;
    }
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    if (isTypeLibraryPath(path)) return false;
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr);
    if (path[0] == '\0' || shellPaths().PathIsFileSpecA(path) || length == 0 || length >= sizeof fullPath) return false;
    DWORD error;
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(fullPath, GetFileExInfoStandard, &file)) {
        error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
        error = ERROR_MOD_NOT_FOUND;
    } else {
        if (file.nFileSizeLow != 0 || file.nFileSizeHigh != 0) return false;
        HMODULE image = LoadLibraryExA(fullPath, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (image != nullptr) {
            FreeLibrary(image);
            return false;
        }
        error = GetLastError();
        if (error != ERROR_BAD_EXE_FORMAT && error != ERROR_FILE_INVALID) return false;
        if (item->listing == LISTED_EMPTY) emptyFileError = error;
    }
    failLoad(item, error);
    if (emptyFileError == error) copyText(emptyFileDetail, sizeof emptyFileDetail, item->detail);
    return true;
}

void IsolatedPerformer::begin(HANDLE stop, RegistryCapture* registryCapture)
{
    ownWorker = WorkerClient{};
    otherWorker = WorkerClient{};
    stopEvent = stop;
    capture = registryCapture;
    emptyFileError = 0;
    ownWorker.captureKey = otherWorker.captureKey = capture != nullptr ? capture->scratchKey : nullptr;
    itemTimeoutMs = itemTimeoutFromConfig();
    DWORD length = GetModuleFileNameA(nullptr, ownProgram, sizeof ownProgram);
    if (length == 0 || length >= sizeof ownProgram) ownProgram[0] = '\0';
    otherProgram[0] = '\0';
    if (OTHER_ARCHITECTURE_HELPER != nullptr && besideProgram(OTHER_ARCHITECTURE_HELPER, otherProgram, sizeof otherProgram) &&
        GetFileAttributesA(otherProgram) == INVALID_FILE_ATTRIBUTES) {
        otherProgram[0] = '\0';
    }
}

void IsolatedPerformer::perform(ComponentItem* item)
{
    performGroup(&item, 1);
}

void IsolatedPerformer::performGroup(ComponentItem* const* items, LONG count)
{
    ComponentItem* loading[WORKER_GROUP_CAPACITY];
    LONG loadingCount = 0;
    for (LONG index = 0; index < count; index++) {
        if (capture != nullptr) performCaptured(items[index]);
        else if (!failsWithoutLoading(items[index])) loading[loadingCount++] = items[index];
        if (loadingCount == WORKER_GROUP_CAPACITY) {
            performInWorkers(loading, loadingCount);
            loadingCount = 0;
        }
    }
    if (loadingCount > 0) performInWorkers(loading, loadingCount);
}

// Each captured item has the scratch keys to itself, so captured items go one at a time.
void IsolatedPerformer::performCaptured(ComponentItem* item)
{
    if (!capture->prepareItem()) failLoad(item, GetLastError());
    else if (!failsWithoutLoading(item)) performInWorkers(&item, 1);
    capture->recordItem(item);
    SideBySideManifest* manifest = capture->output.sideBySideManifest();
    if (manifest != nullptr) checkThroughManifest(item, manifest);
}

void IsolatedPerformer::checkThroughManifest(ComponentItem* item, SideBySideManifest* manifest)
{
    if (isSuccessStatus(item->status) && manifest->refusal[0] != '\0') {
        item->status = STATUS_MANIFEST_CREATE_FAILED;
        copyText(item->detail, sizeof item->detail, manifest->refusal);
    } else if (isSuccessStatus(item->status)) {
        createThroughPart(item, manifest);
    }
    manifest->settle(item->status, item->detail);
}

void IsolatedPerformer::createThroughPart(ComponentItem* item, SideBySideManifest* manifest)
{
    ManifestCheck* check = newZeroed<ManifestCheck>();
    if (check == nullptr || !capture->prepareItem() || !manifest->writeCheck(check)) {
        item->status = STATUS_MANIFEST_CREATE_FAILED;
        describeSystemError(check == nullptr ? ERROR_NOT_ENOUGH_MEMORY : GetLastError(), item->detail, sizeof item->detail);
        freeBlock(check);
        return;
    }
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    bool other = componentMachine(path) == OTHER_MACHINE && otherProgram[0] != '\0';
    WorkerClient* worker = other ? &otherWorker : &ownWorker;
    worker->manifestCheck = check;
    WorkerOutcome outcome = worker->performItems(&item, 1, other ? otherProgram : ownProgram, itemTimeoutMs, stopEvent);
    worker->manifestCheck = nullptr;
    if (outcome != WORKER_DONE) {
        settleInterrupted(item, worker, outcome);
        item->status = STATUS_MANIFEST_CREATE_FAILED;
    }
    DeleteFileA(check->manifestPath);
    freeBlock(check);
}

void IsolatedPerformer::performInWorkers(ComponentItem* const* items, LONG count)
{
    for (LONG settled = 0; settled < count;) settled += performInOwnWorker(items + settled, count - settled);
}

LONG IsolatedPerformer::performInOwnWorker(ComponentItem* const* items, LONG count)
{
    WorkerOutcome outcome = ownWorker.performItems(items, count, ownProgram, itemTimeoutMs, stopEvent);
    if (outcome != WORKER_DONE) {
        settleInterrupted(items[ownWorker.performedCount], &ownWorker, outcome);
        return ownWorker.performedCount + 1;
    }
    LONG settled = ownWorker.performedCount;
    ComponentItem* last = items[settled - 1];
    WORD otherMachine = last->status == STATUS_LOAD_FAILED ? otherMachineOf(last, ownWorker.lastTrace) : 0;
    if (otherMachine != 0 && otherProgram[0] != '\0') {
        outcome = otherWorker.performItems(&last, 1, otherProgram, itemTimeoutMs, stopEvent);
        if (outcome != WORKER_DONE) settleInterrupted(last, &otherWorker, outcome);
    } else if (otherMachine != 0) {
        describeMachine(otherMachine, last->detail, sizeof last->detail);
    }
    return settled;
}

void IsolatedPerformer::settleInterrupted(ComponentItem* item, const WorkerClient* worker, WorkerOutcome outcome)
{
    item->detail[0] = '\0';
    if (outcome == WORKER_DIED && worker->lastException != 0) {
        describeException(worker->lastException, item->detail, sizeof item->detail);
    } else if (outcome == WORKER_DIED) {
        describeExit(worker->lastExitCode, item->detail, sizeof item->detail);
    } else if (outcome == WORKER_TIMED_OUT) {
        describeTimeout(itemTimeoutMs / 1000, item->detail, sizeof item->detail);
    } else if (outcome == WORKER_UNAVAILABLE) {
        describeSystemError(worker->lastTrace.loadError, item->detail, sizeof item->detail);
    }
    item->status = statusOfInterruptedStep(item, worker->lastTrace.step);
}

void IsolatedPerformer::end()
{
    ownWorker.stop();
    otherWorker.stop();
}
