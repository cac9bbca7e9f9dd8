#include "isolated_performer.h"

#include "core/jobs/path_resolver.h"
#include "core/registration/status_texts.h"

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
    if (appDirPath("config.ini", config, sizeof config)) {
        seconds = GetPrivateProfileIntA("Run", "ItemTimeout", DEFAULT_ITEM_TIMEOUT_SECONDS, config);
    }
    if (seconds == 0) return INFINITE;
    if ((int)seconds < 0) seconds = DEFAULT_ITEM_TIMEOUT_SECONDS;
    if (seconds > LONGEST_ITEM_TIMEOUT_SECONDS) seconds = LONGEST_ITEM_TIMEOUT_SECONDS;
    return seconds * 1000;
}

// The machine field of the file's PE header; 0 when it has none.
WORD machineOf(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    WORD machine = 0;
    if (ReadFile(file, &dos, sizeof dos, &read, nullptr) && read == sizeof dos && dos.e_magic == IMAGE_DOS_SIGNATURE &&
        SetFilePointer(file, dos.e_lfanew, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
        struct {
            DWORD signature;
            IMAGE_FILE_HEADER file;
        } header = {};
        if (ReadFile(file, &header, sizeof header, &read, nullptr) && read == sizeof header &&
            header.signature == IMAGE_NT_SIGNATURE) {
            machine = header.file.Machine;
        }
    }
    CloseHandle(file);
    return machine;
}

bool builtForOtherArchitecture(const ComponentItem* item)
{
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    return machineOf(path) == OTHER_MACHINE;
}

const char* statusOfInterruptedStep(const ComponentItem* item, LONG step)
{
    if (step == STEP_SERVER) return item->switches.unregister ? STATUS_UNREGISTER_FAILED : STATUS_REGISTER_FAILED;
    if (step == STEP_INSTALL) return STATUS_INSTALL_FAILED;
    return STATUS_LOAD_FAILED;
}

}  // namespace

void IsolatedPerformer::begin(HANDLE stop)
{
    ownWorker = ComponentWorker{};
    otherWorker = ComponentWorker{};
    stopEvent = stop;
    itemTimeoutMs = itemTimeoutFromConfig();
    DWORD length = GetModuleFileNameA(nullptr, ownProgram, sizeof ownProgram);
    if (length == 0 || length >= sizeof ownProgram) ownProgram[0] = '\0';
    otherProgram[0] = '\0';
    if (OTHER_ARCHITECTURE_HELPER != nullptr && appDirPath(OTHER_ARCHITECTURE_HELPER, otherProgram, sizeof otherProgram) &&
        GetFileAttributesA(otherProgram) == INVALID_FILE_ATTRIBUTES) {
        otherProgram[0] = '\0';
    }
}

void IsolatedPerformer::perform(ComponentItem* item)
{
    ComponentWorker* worker = &ownWorker;
    WorkerOutcome outcome = ownWorker.perform(item, ownProgram, itemTimeoutMs, stopEvent);
    if (outcome == WORKER_DONE && item->status == STATUS_LOAD_FAILED &&
        ownWorker.lastTrace.loadError == ERROR_BAD_EXE_FORMAT && otherProgram[0] != '\0' &&
        builtForOtherArchitecture(item)) {
        worker = &otherWorker;
        outcome = otherWorker.perform(item, otherProgram, itemTimeoutMs, stopEvent);
    }
    if (outcome != WORKER_DONE) item->status = statusOfInterruptedStep(item, worker->lastTrace.step);
}

void IsolatedPerformer::end()
{
    ownWorker.stop();
    otherWorker.stop();
}
