#include "core/registration/registration_engine.h"

#include <ole2.h>

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "core/registration/component_image.h"
#include "core/registration/failure_details.h"
#include "core/registration/status_texts.h"
#include "core/registration/type_library.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* ServerEntry)();
typedef HRESULT(STDAPICALLTYPE* InstallEntry)(BOOL install, LPCWSTR commandLine);

// Undoes the command line's escapes byte by byte: a backslash before a double quote
// gives the quote alone; any other backslash pair stays as it is.
void unescapeCommandLine(const char* text, char* out)
{
    while (*text != '\0') {
        if (*text != '\\') {
            *out++ = *text++;
            continue;
        }
        if (text[1] == '\0') {
            *out++ = *text++;
            break;
        }
        if (text[1] != '"') *out++ = '\\';
        *out++ = text[1];
        text += 2;
    }
    *out = '\0';
}

// Each step sets the item's detail when it fails: the system's error for an entry that is
// missing, the returned HRESULT for one that fails.
const char* installStep(ComponentItem* item, HMODULE module, PerformTrace* trace)
{
    trace->step = STEP_INSTALL;
    char quoted[COMMAND_LINE_CAPACITY];
    char plain[COMMAND_LINE_CAPACITY];
    copyText(quoted, sizeof quoted, item->switches.installCmdLine);
    shellPaths().PathUnquoteSpacesA(quoted);
    unescapeCommandLine(quoted, plain);

    WCHAR* wide = nullptr;
    if (plain[0] != '\0') {
        int length = MultiByteToWideChar(CP_ACP, 0, plain, -1, nullptr, 0);
        wide = (WCHAR*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)length * sizeof(WCHAR));
        if (wide == nullptr) {
            describeSystemError(ERROR_NOT_ENOUGH_MEMORY, item->detail, sizeof item->detail);
            return STATUS_INSTALL_FAILED;
        }
        MultiByteToWideChar(CP_ACP, 0, plain, -1, wide, length);
    }

    const char* status = item->switches.unregister ? STATUS_UNREGISTERED : STATUS_REGISTERED;
    InstallEntry install = (InstallEntry)(void*)GetProcAddress(module, "DllInstall");
    if (install == nullptr) {
        status = STATUS_NO_INSTALL_ENTRY;
        describeSystemError(GetLastError(), item->detail, sizeof item->detail);
    } else {
        HRESULT result = install(item->switches.unregister ? FALSE : TRUE, wide);
        if (FAILED(result)) {
            status = STATUS_INSTALL_FAILED;
            describeResult(result, item->detail, sizeof item->detail);
        }
    }
    if (wide != nullptr) HeapFree(GetProcessHeap(), 0, wide);
    return status;
}

const char* serverStep(ComponentItem* item, HMODULE module, PerformTrace* trace)
{
    trace->step = STEP_SERVER;
    bool unregister = item->switches.unregister != 0;
    ServerEntry server = (ServerEntry)(void*)GetProcAddress(module, unregister ? "DllUnregisterServer" : "DllRegisterServer");
    if (server == nullptr) {
        describeSystemError(GetLastError(), item->detail, sizeof item->detail);
        return unregister ? STATUS_NO_UNREGISTER_ENTRY : STATUS_NO_REGISTER_ENTRY;
    }
    HRESULT result = server();
    if (FAILED(result)) {
        describeResult(result, item->detail, sizeof item->detail);
        return unregister ? STATUS_UNREGISTER_FAILED : STATUS_REGISTER_FAILED;
    }
    if (item->switches.callInstall) return installStep(item, module, trace);
    return unregister ? STATUS_UNREGISTERED : STATUS_REGISTERED;
}

// A component named by a path is loaded with its own folder searched first for the DLLs it
// imports, as controls shipped with their helper DLLs expect; a bare name is found by the
// loader's usual search.
HMODULE loadComponent(const char* path)
{
    if (shellPaths().PathIsFileSpecA(path)) return LoadLibraryA(path);
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr);
    if (length == 0 || length >= sizeof fullPath) return LoadLibraryA(path);
    return LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Why a load failed: for a file that exists but needs a DLL the loader cannot find, that
// DLL's name; otherwise the system's error.
void describeLoadFailure(const char* path, DWORD error, char* detail, size_t capacity)
{
    char missing[MAX_PATH];
    if (error == ERROR_MOD_NOT_FOUND && shellPaths().PathFileExistsA(path) && firstMissingImport(path, missing, sizeof missing)) {
        describeMissingImport(missing, detail, capacity);
    } else {
        describeSystemError(error, detail, capacity);
    }
}

// The status of the last system call that failed on this thread, as the system keeps it for
// its error code; 0 where the system does not tell it.
LONG lastLoaderStatus()
{
    typedef LONG(NTAPI * LastStatusGetter)();
    LastStatusGetter lastStatus = (LastStatusGetter)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetLastNtStatus");
    return lastStatus != nullptr ? lastStatus() : 0;
}

void performComponent(ComponentItem* item, const char* path, PerformTrace* trace)
{
    // Only the load runs without the system's critical-error boxes; the component's own
    // code runs in the mode the process had.
    trace->step = STEP_LOAD;
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | GetErrorMode());
    HMODULE module = loadComponent(path);
    if (module == nullptr) {
        trace->loadError = GetLastError();
        trace->loadStatus = lastLoaderStatus();
    }
    SetErrorMode(previousMode);

    if (module == nullptr) {
        item->status = STATUS_LOAD_FAILED;
        describeLoadFailure(path, trace->loadError, item->detail, sizeof item->detail);
    } else {
        item->status = item->switches.noRegisterServer ? installStep(item, module, trace) : serverStep(item, module, trace);
        FreeLibrary(module);
    }
}

}  // namespace

void failLoad(ComponentItem* item, DWORD error)
{
    item->status = isTypeLibraryPath(item->path) ? STATUS_TYPELIB_LOAD_FAILED : STATUS_LOAD_FAILED;
    describeSystemError(error, item->detail, sizeof item->detail);
}

void performInThisProcess(ComponentItem* item, PerformTrace* trace)
{
    item->detail[0] = '\0';
    OleInitialize(nullptr);
    const char* path = item->path;
    trace->loadError = 0;
    trace->loadStatus = 0;
    if (isTypeLibraryPath(path)) {
        item->status = performTypeLibrary(item, path, trace);
    } else {
        performComponent(item, path, trace);
    }
    trace->step = STEP_IDLE;
    OleUninitialize();
}
