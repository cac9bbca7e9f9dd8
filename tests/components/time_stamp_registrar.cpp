// A component whose registration writes the moment it ran, in whole seconds, beside its class
// and server path, as components that remember their installation do. Its first registration
// in a process is slow and takes its stamp just after a second began, and a second one in the
// same process is quick: two registrations in a row write the same stamp unless the caller
// waits for the clock to leave the second in which the first one ended.
#include <windows.h>
#include <stdio.h>

#include "tests/components/time_stamp_registrar.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The process's environment outlives the module, which may be unloaded between registrations.
const char* const REGISTERED_ONCE = "TIME_STAMP_REGISTRAR_RAN";

void awaitStartOfNextSecond()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    Sleep(1000 - now.wMilliseconds + 50);
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    char path[MAX_PATH];
    GetModuleFileNameA((HMODULE)&__ImageBase, path, sizeof path);
    if (GetEnvironmentVariableA(REGISTERED_ONCE, nullptr, 0) == 0) {
        SetEnvironmentVariableA(REGISTERED_ONCE, "1");
        awaitStartOfNextSecond();
    }
    SYSTEMTIME now;
    GetSystemTime(&now);
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    HKEY classKey;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, TIME_STAMP_CLASS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr) != ERROR_SUCCESS) {
        return E_FAIL;
    }
    LONG error = RegSetValueExA(classKey, TIME_STAMP_VALUE, 0, REG_SZ, (const BYTE*)stamp, lstrlenA(stamp) + 1);
    RegCloseKey(classKey);
    if (error == ERROR_SUCCESS) error = RegSetValueA(HKEY_CLASSES_ROOT, TIME_STAMP_SERVER_KEY, REG_SZ, path, 0);
    return error == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    RegDeleteTreeA(HKEY_CLASSES_ROOT, TIME_STAMP_CLASS_KEY);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, TIME_STAMP_CLASS_KEY);
    return S_OK;
}
