#include "core/capture/registry_file.h"

#include "core/capture/captured_roots.h"

namespace {

const WCHAR HEADER[] = L"Windows Registry Editor Version 5.00\r\n\r\n";
const BYTE BYTE_ORDER_MARK[] = {0xFF, 0xFE};
// Hex lines are wrapped, as the registry editor wraps them, before they pass this column.
const DWORD HEX_WRAP_COLUMN = 76;
// A comment names a component and its status: a path and a short text.
const int COMMENT_CAPACITY = 512;

// A string value the editor can carry between quotes: whole UTF-16 characters, one
// terminator at the end, no control characters (a line break would end the line).
bool isQuotableString(const BYTE* data, DWORD size)
{
    if (size < sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return false;
    const WCHAR* text = (const WCHAR*)data;
    DWORD length = size / sizeof(WCHAR) - 1;
    if (text[length] != L'\0') return false;
    for (DWORD i = 0; i < length; i++) {
        if (text[i] < L' ') return false;
    }
    return true;
}

}  // namespace

bool RegistryFile::open(const char* path)
{
    used = 0;
    column = 0;
    writeFailed = false;
    file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(file, nullptr);
    BYTE start[2] = {};
    DWORD read = 0;
    if (size > 0 && (!ReadFile(file, start, sizeof start, &read, nullptr) || read < 2 || start[0] != 0xFF || start[1] != 0xFE)) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        SetLastError(ERROR_BAD_FORMAT);
        return false;
    }
    if (size == 0) {
        DWORD written;
        WriteFile(file, BYTE_ORDER_MARK, sizeof BYTE_ORDER_MARK, &written, nullptr);
    }
    if (size <= sizeof BYTE_ORDER_MARK) {
        put(HEADER);
        return true;
    }
    // A file whose last line has no line end gets one, so that the next comment starts a line.
    WCHAR last = L'\0';
    SetFilePointer(file, -(LONG)sizeof last, nullptr, FILE_END);
    if (!ReadFile(file, &last, sizeof last, &read, nullptr) || read != sizeof last) last = L'\0';
    SetFilePointer(file, 0, nullptr, FILE_END);
    if (last != L'\n') put(L"\r\n");
    return true;
}

void RegistryFile::putChar(WCHAR c)
{
    if (used == sizeof buffer / sizeof buffer[0]) flush();
    buffer[used++] = c;
    column = c == L'\n' ? 0 : column + 1;
}

void RegistryFile::put(const WCHAR* text)
{
    while (*text != L'\0') putChar(*text++);
}

void RegistryFile::putQuoted(const WCHAR* text, size_t length)
{
    putChar(L'"');
    for (size_t i = 0; i < length; i++) {
        if (text[i] == L'\\' || text[i] == L'"') putChar(L'\\');
        putChar(text[i]);
    }
    putChar(L'"');
}

void RegistryFile::putNumber(DWORD value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) putChar(L"0123456789abcdef"[(value >> shift) & 15]);
}

void RegistryFile::putHex(DWORD type, const BYTE* data, DWORD size)
{
    if (type == REG_BINARY) {
        put(L"hex:");
    } else {
        put(L"hex(");
        int digits = 1;
        while (digits < 8 && (type >> (4 * digits)) != 0) digits++;
        putNumber(type, digits);
        put(L"):");
    }
    for (DWORD i = 0; i < size; i++) {
        putNumber(data[i], 2);
        if (i + 1 == size) break;
        putChar(L',');
        if (column > HEX_WRAP_COLUMN) put(L"\\\r\n  ");
    }
}

void RegistryFile::putComment(const WCHAR* text)
{
    put(L"; ");
    put(text);
    put(L"\r\n\r\n");
}

void RegistryFile::beginItem(const char* path, const char* status)
{
    char comment[MAX_PATH + 64];
    wsprintfA(comment, "%s : %s", path, status);
    WCHAR wide[COMMENT_CAPACITY];
    if (MultiByteToWideChar(CP_ACP, 0, comment, -1, wide, COMMENT_CAPACITY) == 0) wide[0] = L'\0';
    wide[COMMENT_CAPACITY - 1] = L'\0';
    putComment(wide);
}

void RegistryFile::note(const WCHAR* text)
{
    putComment(text);
}

void RegistryFile::beginKey(int root, const WCHAR* path)
{
    putKey(L"[", root, path);
}

void RegistryFile::removedKey(int root, const WCHAR* path)
{
    putKey(L"[-", root, path);
    endKey();
}

void RegistryFile::putKey(const WCHAR* opening, int root, const WCHAR* path)
{
    put(opening);
    put(CAPTURED_ROOTS[root].wideName);
    if (path[0] != L'\0') {
        putChar(L'\\');
        put(path);
    }
    put(L"]\r\n");
}

void RegistryFile::putValueName(const WCHAR* name)
{
    if (name[0] == L'\0') putChar(L'@');
    else putQuoted(name, lstrlenW(name));
    putChar(L'=');
}

void RegistryFile::removedValue(const WCHAR* name)
{
    putValueName(name);
    put(L"-\r\n");
}

void RegistryFile::value(const WCHAR* name, DWORD type, const BYTE* data, DWORD size)
{
    putValueName(name);
    if (type == REG_SZ && isQuotableString(data, size)) {
        putQuoted((const WCHAR*)data, size / sizeof(WCHAR) - 1);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        put(L"dword:");
        putNumber(*(const DWORD*)data, 8);
    } else {
        putHex(type, data, size);
    }
    put(L"\r\n");
}

void RegistryFile::endKey()
{
    put(L"\r\n");
}

bool RegistryFile::flush()
{
    DWORD bytes = used * sizeof(WCHAR);
    DWORD written = 0;
    if (bytes > 0 && (!WriteFile(file, buffer, bytes, &written, nullptr) || written != bytes)) writeFailed = true;
    used = 0;
    return !writeFailed;
}

void RegistryFile::endItem()
{
    flush();
}

bool RegistryFile::close()
{
    flush();
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    return !writeFailed;
}
