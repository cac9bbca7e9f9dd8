#include "core/registration/source_text.h"

#include <string.h>

#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"

namespace {

const size_t FIRST_CAPACITY = 16384;
const BYTE UTF8_BYTE_ORDER_MARK[] = {0xEF, 0xBB, 0xBF};

bool writeAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return size == 0 || (WriteFile(file, data, size, &written, nullptr) && written == size);
}

}  // namespace

bool SourceText::open(const char* path)
{
    used = 0;
    outOfMemory = false;
    // Not emptied before the end: a run ended by force leaves the former content as it was.
    file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    return file != INVALID_HANDLE_VALUE;
}

void SourceText::putChar(WCHAR c)
{
    if (used == capacity) {
        size_t grown = capacity == 0 ? FIRST_CAPACITY : capacity * 2;
        WCHAR* larger = (WCHAR*)allocateZeroed(grown * sizeof(WCHAR));
        if (larger == nullptr) {
            outOfMemory = true;
            return;
        }
        if (text != nullptr) memcpy(larger, text, used * sizeof(WCHAR));
        freeBlock(text);
        text = larger;
        capacity = grown;
    }
    text[used++] = c;
}

void SourceText::put(const WCHAR* part)
{
    while (*part != L'\0') putChar(*part++);
}

void SourceText::putDecimal(LONG value)
{
    WCHAR digits[16];
    wsprintfW(digits, L"%ld", value);
    put(digits);
}

void SourceText::putHexByte(BYTE value)
{
    putChar(L"0123456789abcdef"[value >> 4]);
    putChar(L"0123456789abcdef"[value & 15]);
}

bool SourceText::writeWhole(bool byteOrderMark)
{
    bool written = !outOfMemory;
    int size = used == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, text, (int)used, nullptr, 0, nullptr, nullptr);
    char* bytes = (char*)allocateZeroed(size + 1);
    if (bytes == nullptr) written = false;
    else if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, (int)used, bytes, size, nullptr, nullptr);
    if (written) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        written = (!byteOrderMark || writeAll(file, UTF8_BYTE_ORDER_MARK, sizeof UTF8_BYTE_ORDER_MARK)) &&
                  writeAll(file, bytes, (DWORD)size) && SetEndOfFile(file);
    }
    freeBlock(bytes);
    freeBlock(text);
    text = nullptr;
    used = capacity = 0;
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    return written;
}

int wholeStringLength(const BYTE* data, DWORD size)
{
    if (size < sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return -1;
    const WCHAR* text = (const WCHAR*)data;
    int length = (int)(size / sizeof(WCHAR)) - 1;
    for (int i = 0; i < length; i++) {
        if (text[i] == L'\0') return -1;
    }
    return text[length] == L'\0' ? length : -1;
}

bool isPlainMultiString(const BYTE* data, DWORD size)
{
    if (size < 3 * sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return false;
    const WCHAR* text = (const WCHAR*)data;
    DWORD count = size / sizeof(WCHAR);
    if (text[0] == L'\0' || text[count - 1] != L'\0' || text[count - 2] != L'\0') return false;
    for (DWORD i = 1; i + 2 < count; i++) {
        if (text[i] == L'\0' && text[i - 1] == L'\0') return false;
    }
    return true;
}

bool startsWithPath(const WCHAR* text, size_t length, const WCHAR* path, size_t pathLength)
{
    return pathLength > 0 && length >= pathLength &&
           CompareStringOrdinal(text, (int)pathLength, path, (int)pathLength, TRUE) == CSTR_EQUAL;
}

size_t widePathOf(const char* path, WCHAR* out, size_t capacity)
{
    char fullPath[MAX_PATH];
    DWORD fullLength = GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr);
    if (fullLength == 0 || fullLength >= sizeof fullPath) copyText(fullPath, sizeof fullPath, path);
    int length = MultiByteToWideChar(CP_ACP, 0, fullPath, -1, out, (int)capacity);
    if (length <= 1) {
        out[0] = L'\0';
        return 0;
    }
    return (size_t)length - 1;
}

const WCHAR* fileNameOf(const WCHAR* path)
{
    const WCHAR* name = path;
    for (const WCHAR* c = path; *c != L'\0'; c++) {
        if (*c == L'\\' || *c == L'/') name = c + 1;
    }
    return name;
}

void itemComment(const char* path, const char* status, WCHAR* out, int capacity)
{
    char comment[MAX_PATH + 64];
    wsprintfA(comment, "%s : %s", path, status);
    if (MultiByteToWideChar(CP_ACP, 0, comment, -1, out, capacity) == 0) out[0] = L'\0';
}
