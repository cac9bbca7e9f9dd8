// What the registry-writing test component writes, row by row, and what a test reads back:
// every root a component may write under, every value type, text that needs escaping (also as
// an installer's formatted text), and a key with no values. The component also writes its own
// path, in capitals, as a server's registration does.
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
const WCHAR MULTI_WITH_EMPTY[] = L"one\0\0three\0";
const WCHAR TWO_LINES[] = L"first\r\nsecond";
const WCHAR VARIABLES[] = L"$(var.Version) $$ $5 !(loc.Name) !!(wix.Same) !(not.variable";
const WCHAR FORMATTED[] = L"#[Property] {braces} [~] [#file] {{x}}";
const DWORD NUMBER = 0x0012ABCD;
const ULONGLONG BIG_NUMBER = 0x0123456789ABCDEFull;
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
    {HKEY_LOCAL_MACHINE, L"Software\\PlinthoraCaptureTest", L"Multi with empty", REG_MULTI_SZ,
     registry_writes::MULTI_WITH_EMPTY, sizeof registry_writes::MULTI_WITH_EMPTY},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Number", REG_DWORD, &registry_writes::NUMBER, sizeof(DWORD)},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Variables", REG_SZ, registry_writes::VARIABLES,
     sizeof registry_writes::VARIABLES},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Binary", REG_BINARY, registry_writes::BINARY,
     sizeof registry_writes::BINARY - 1},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Formatted", REG_SZ, registry_writes::FORMATTED,
     sizeof registry_writes::FORMATTED},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest", L"Big", REG_QWORD, &registry_writes::BIG_NUMBER,
     sizeof(ULONGLONG)},
    {HKEY_CURRENT_CONFIG, L"Software\\PlinthoraCaptureTest", L"Profile", REG_SZ, L"current", sizeof L"current"},
    {HKEY_CURRENT_USER, L"Software\\PlinthoraCaptureTest\\Sub", L"Two lines", REG_SZ, registry_writes::TWO_LINES,
     sizeof registry_writes::TWO_LINES},
    {HKEY_USERS, L".DEFAULT\\Software\\PlinthoraCaptureTest", L"Number", REG_DWORD, &registry_writes::NUMBER, sizeof(DWORD)},
};

// Where the component writes its own path: alone, and with text before and after it. It
// deletes its class key first, as a registration that starts afresh does.
const WCHAR WRITER_CLASS_KEY[] = L"PlinthoraCaptureTest";
const struct {
    const WCHAR* key;
    const WCHAR* before;
    const WCHAR* after;
} PATH_WRITES[] = {
    {L"PlinthoraCaptureTest\\InprocServer32", L"", L""},
    {L"PlinthoraCaptureTest\\DefaultIcon", L"", L",1"},
    {L"PlinthoraCaptureTest\\LocalServer32", L"\"", L"\" /automation"},
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
