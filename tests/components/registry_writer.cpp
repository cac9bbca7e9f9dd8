// A component whose DllRegisterServer writes every row of REGISTRY_WRITES; built a second time
// with CRASH_AFTER_WRITING, it then crashes before it returns.
#include <windows.h>

#include "tests/components/call_record.h"
#include "tests/components/registry_writes.h"

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, WRITER_CLASS_KEY);
    for (const RegistryWrite& write : REGISTRY_WRITES) {
        HKEY key = nullptr;
        LONG error = RegCreateKeyExW(write.root, write.key, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (error == ERROR_SUCCESS && write.name != nullptr) {
            error = RegSetValueExW(key, write.name, 0, write.type, (const BYTE*)write.data, write.size);
        }
        if (key != nullptr) RegCloseKey(key);
        if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    }
    WCHAR path[MAX_PATH];
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)&DllRegisterServer, &self);
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    for (DWORD i = 0; i < length; i++) {
        if (path[i] >= L'a' && path[i] <= L'z') path[i] -= L'a' - L'A';
    }
    for (const auto& write : PATH_WRITES) {
        WCHAR text[MAX_PATH + 32];
        int textLength = wsprintfW(text, L"%s%s%s", write.before, path, write.after);
        LONG error = RegSetKeyValueW(HKEY_CLASSES_ROOT, write.key, nullptr, REG_SZ, text, (textLength + 1) * sizeof(WCHAR));
        if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    }
#ifdef CRASH_AFTER_WRITING
    *(volatile int*)nullptr = 0;
#endif
    return S_OK;
}
