// What the registry-writing test component writes, row by row, and what a test reads back:
// every root a component may write under, every value type, text that needs escaping, and a
// key with no values.
#pragma once

#include <windows.h>

struct RegistryWrite {
    HKEY root;
    const WCHAR* key;
    const WCHAR* name;  // null: the key alone
    DWORD type;
    const void* data;
    DWORD size;
};

namespace registry_writes {

const WCHAR QUOTED[] = L"a \"quoted\" C:\\path\\ and 日本語";
const WCHAR EXPANDABLE[] = L"%SystemRoot%\\system32\\部品.dll";
const WCHAR MULTI[] = L"one\0二つ目\0\\three\"\0";
const WCHAR TWO_LINES[] = L"first\r\nsecond";
const DWORD NUMBER = 0x0012ABCD;
// Long enough to be wrapped over several lines.
const char BINARY[] = "\x00\x01\xfe\xff Plinthora binary data, Plinthora binary data, Plinthora binary data";

}  // namespace registry_writes

const RegistryWrite REGISTRY_WRITES[] = {
    {HKEY_CLASSES_ROOT, L"PlinthoraCaptureTest", L"", REG_SZ, registry_writes::QUOTED, sizeof registry_writes::QUOTED},
    {HKEY_CLASSES_ROOT, L"PlinthoraCaptureTest\\空のキー", nullptr, 0, nullptr, 0},
    {HKEY_LOCAL_MACHINE, L"Software\\PlinthoraCaptureTest", L"Expandable", REG_EXPAND_SZ, registry_writes::EXPANDABLE,
     sizeof registry_writes::EXPANDABLE},
    {HKEY_LOCAL_MACHINE, L"Software\\PlinthoraCaptureTest", L"Multi \"名前\" a\\b", REG_MULTI_SZ, registry_writes::MULTI,
     sizeof registry_writes::MULTI},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Number", REG_DWORD, &registry_writes::NUMBER, sizeof(DWORD)},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Binary", REG_BINARY, registry_writes::BINARY,
     sizeof registry_writes::BINARY - 1},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest\\Sub", L"Two lines", REG_SZ, registry_writes::TWO_LINES,
     sizeof registry_writes::TWO_LINES},
    {HKEY_USERS, L".DEFAULT\\Software\\PlinthoraCaptureTest", L"Number", REG_DWORD, &registry_writes::NUMBER, sizeof(DWORD)},
    {HKEY_CURRENT_CONFIG, L"Software\\PlinthoraCaptureTest", L"", REG_SZ, registry_writes::QUOTED,
     sizeof registry_writes::QUOTED},
};

// The keys to remove afterwards, under each root.
const struct {
    HKEY root;
    const WCHAR* key;
} REGISTRY_WRITE_TOPS[] = {
    {HKEY_CLASSES_ROOT, L"PlinthoraCaptureTest"},
    {HKEY_LOCAL_MACHINE, L"Software\\PlinthoraCaptureTest"},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest"},
    {HKEY_USERS, L".DEFAULT\\Software\\PlinthoraCaptureTest"},
    {HKEY_CURRENT_CONFIG, L"Software\\PlinthoraCaptureTest"},
};
