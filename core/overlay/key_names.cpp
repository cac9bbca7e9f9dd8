#include "core/overlay/key_names.h"

#include <string.h>

#include "core/overlay/overlay_store.h"

NTSTATUS readKeyName(const NtRegistry& nt, HANDLE key, WCHAR* name, size_t capacity, size_t* length)
{
    union {
        KeyNameRecord record;
        BYTE bytes[sizeof(ULONG) + OVERLAY_PATH_CAPACITY * sizeof(WCHAR)];
    } answer;
    ULONG needed;
    NTSTATUS status = nt.queryKey(key, KEY_NAME_INFORMATION, &answer, sizeof answer - sizeof(WCHAR), &needed);
    if (status != NT_OK) return status;
    *length = answer.record.nameLength / sizeof(WCHAR);
    if (*length >= capacity) return NT_BUFFER_OVERFLOW;
    memcpy(name, answer.record.name, *length * sizeof(WCHAR));
    name[*length] = L'\0';
    return NT_OK;
}

bool currentUserKeyName(WCHAR* name, size_t capacity)
{
    NtRegistry nt;
    HKEY user;
    if (!nt.load()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    LONG error = RegOpenCurrentUser(KEY_READ, &user);
    if (error != ERROR_SUCCESS) {
        SetLastError((DWORD)error);
        return false;
    }
    size_t length;
    NTSTATUS status = readKeyName(nt, user, name, capacity, &length);
    RegCloseKey(user);
    if (status != NT_OK) SetLastError(status == NT_BUFFER_OVERFLOW ? ERROR_FILENAME_EXCED_RANGE : nt.errorOf(status));
    return status == NT_OK;
}

