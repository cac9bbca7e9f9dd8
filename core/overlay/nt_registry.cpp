#include "core/overlay/nt_registry.h"

bool NtRegistry::load()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return false;
    createKey = (CreateKeyFunction)(void*)GetProcAddress(ntdll, "NtCreateKey");
    openKey = (OpenKeyFunction)(void*)GetProcAddress(ntdll, "NtOpenKey");
    openKeyEx = (OpenKeyExFunction)(void*)GetProcAddress(ntdll, "NtOpenKeyEx");
    setValueKey = (SetValueKeyFunction)(void*)GetProcAddress(ntdll, "NtSetValueKey");
    queryValueKey = (QueryValueKeyFunction)(void*)GetProcAddress(ntdll, "NtQueryValueKey");
    deleteKey = (DeleteKeyFunction)(void*)GetProcAddress(ntdll, "NtDeleteKey");
    deleteValueKey = (DeleteValueKeyFunction)(void*)GetProcAddress(ntdll, "NtDeleteValueKey");
    enumerateKey = (EnumerateKeyFunction)(void*)GetProcAddress(ntdll, "NtEnumerateKey");
    enumerateValueKey = (EnumerateKeyFunction)(void*)GetProcAddress(ntdll, "NtEnumerateValueKey");
    queryKey = (QueryKeyFunction)(void*)GetProcAddress(ntdll, "NtQueryKey");
    close = (CloseFunction)(void*)GetProcAddress(ntdll, "NtClose");
    loadDll = (LoadDllFunction)(void*)GetProcAddress(ntdll, "LdrLoadDll");
    statusToError = (StatusToErrorFunction)(void*)GetProcAddress(ntdll, "RtlNtStatusToDosError");
    return createKey != nullptr && openKey != nullptr && setValueKey != nullptr && queryValueKey != nullptr &&
           deleteKey != nullptr && deleteValueKey != nullptr && enumerateKey != nullptr &&
           enumerateValueKey != nullptr && queryKey != nullptr && close != nullptr && loadDll != nullptr &&
           statusToError != nullptr;
}

DWORD NtRegistry::errorOf(NTSTATUS status) const
{
    return statusToError(status);
}
