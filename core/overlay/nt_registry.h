// The system's native registry functions, as the registry overlay calls and replaces them, and
// the records they fill. Only what the overlay needs; the names are this program's own.
#pragma once

#include <windows.h>
#include <winternl.h>

const NTSTATUS NT_OK = 0;
const NTSTATUS NT_BUFFER_OVERFLOW = (NTSTATUS)0x80000005;
const NTSTATUS NT_NO_MORE_ENTRIES = (NTSTATUS)0x8000001A;
const NTSTATUS NT_ACCESS_DENIED = (NTSTATUS)0xC0000022;
const NTSTATUS NT_BUFFER_TOO_SMALL = (NTSTATUS)0xC0000023;
const NTSTATUS NT_NAME_NOT_FOUND = (NTSTATUS)0xC0000034;
const NTSTATUS NT_PATH_NOT_FOUND = (NTSTATUS)0xC000003A;
const NTSTATUS NT_NAME_TOO_LONG = (NTSTATUS)0xC0000106;

// NtQueryKey and NtEnumerateKey information classes.
const ULONG KEY_BASIC_INFORMATION = 0;
const ULONG KEY_FULL_INFORMATION = 2;
const ULONG KEY_NAME_INFORMATION = 3;
const ULONG KEY_CACHED_INFORMATION = 4;
// NtQueryValueKey and NtEnumerateValueKey information classes.
const ULONG VALUE_BASIC_INFORMATION = 0;

struct KeyBasicRecord {
    LARGE_INTEGER lastWriteTime;
    ULONG titleIndex;
    ULONG nameLength;  // bytes
    WCHAR name[1];
};

struct KeyFullRecord {
    LARGE_INTEGER lastWriteTime;
    ULONG titleIndex;
    ULONG classOffset;
    ULONG classLength;
    ULONG subkeys;
    ULONG longestSubkeyName;
    ULONG longestClass;
    ULONG values;
    ULONG longestValueName;
    ULONG longestValueData;
};

struct KeyCachedRecord {
    LARGE_INTEGER lastWriteTime;
    ULONG titleIndex;
    ULONG subkeys;
    ULONG longestSubkeyName;
    ULONG values;
    ULONG longestValueName;
    ULONG longestValueData;
    ULONG nameLength;
};

struct KeyNameRecord {
    ULONG nameLength;  // bytes
    WCHAR name[1];
};

struct ValueBasicRecord {
    ULONG titleIndex;
    ULONG type;
    ULONG nameLength;  // bytes
    WCHAR name[1];
};

typedef NTSTATUS(NTAPI* CreateKeyFunction)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, ULONG, UNICODE_STRING*, ULONG, ULONG*);
typedef NTSTATUS(NTAPI* OpenKeyFunction)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*);
typedef NTSTATUS(NTAPI* OpenKeyExFunction)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, ULONG);
typedef NTSTATUS(NTAPI* SetValueKeyFunction)(HANDLE, UNICODE_STRING*, ULONG, ULONG, void*, ULONG);
typedef NTSTATUS(NTAPI* QueryValueKeyFunction)(HANDLE, UNICODE_STRING*, ULONG, void*, ULONG, ULONG*);
typedef NTSTATUS(NTAPI* DeleteKeyFunction)(HANDLE);
typedef NTSTATUS(NTAPI* DeleteValueKeyFunction)(HANDLE, UNICODE_STRING*);
typedef NTSTATUS(NTAPI* EnumerateKeyFunction)(HANDLE, ULONG, ULONG, void*, ULONG, ULONG*);
typedef NTSTATUS(NTAPI* QueryKeyFunction)(HANDLE, ULONG, void*, ULONG, ULONG*);
typedef NTSTATUS(NTAPI* CloseFunction)(HANDLE);
// The second argument is a flags word on some systems and a pointer to one on others: it is
// only passed on.
typedef NTSTATUS(NTAPI* LoadDllFunction)(const WCHAR*, ULONG_PTR, UNICODE_STRING*, HMODULE*);
typedef ULONG(NTAPI* StatusToErrorFunction)(NTSTATUS);

// The functions as ntdll exports them. openKeyEx is null where the system has no NtOpenKeyEx.
struct NtRegistry {
    CreateKeyFunction createKey;
    OpenKeyFunction openKey;
    OpenKeyExFunction openKeyEx;
    SetValueKeyFunction setValueKey;
    QueryValueKeyFunction queryValueKey;
    DeleteKeyFunction deleteKey;
    DeleteValueKeyFunction deleteValueKey;
    EnumerateKeyFunction enumerateKey;
    EnumerateKeyFunction enumerateValueKey;
    QueryKeyFunction queryKey;
    CloseFunction close;
    LoadDllFunction loadDll;
    StatusToErrorFunction statusToError;

    // The system's error code for a status, for a caller that reports one.
    DWORD errorOf(NTSTATUS status) const;

    // False when ntdll lacks one of them (all but NtOpenKeyEx are needed).
    bool load();
};
