#include "core/capture/source_text.h"

#include <string.h>

#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/registration/component_image.h"
#include "core/registration/status_texts.h"

namespace {

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

// The characters of a multi-string's strings with their terminators, without the one after
// them; -1 for data that is no such list or whose first string is empty (an installer source
// reads a list that begins with a separator as one to add to).
int multiStringLength(const BYTE* data, DWORD size)
{
    if (size < 3 * sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return -1;
    const WCHAR* text = (const WCHAR*)data;
    int count = (int)(size / sizeof(WCHAR));
    if (text[0] == L'\0' || text[count - 1] != L'\0' || text[count - 2] != L'\0') return -1;
    return count - 1;
}

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

void SourceText::putXmlChar(WCHAR c)
{
    switch (c) {
    case L'&': put(L"&amp;"); break;
    case L'<': put(L"&lt;"); break;
    case L'>': put(L"&gt;"); break;
    case L'"': put(L"&quot;"); break;
    case L'\t': put(L"&#9;"); break;
    case L'\n': put(L"&#10;"); break;
    case L'\r': put(L"&#13;"); break;
    default: putChar(c);
    }
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

void SourceComponent::take(const char* itemPath, const char* status)
{
    char text[MAX_PATH + 64];
    wsprintfA(text, "%s : %s", itemPath, status);
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, comment, MAX_PATH + 64) == 0) comment[0] = L'\0';
    succeeded = isSuccessStatus(status);
    builtFor32Bit = succeeded && componentMachine(itemPath) == IMAGE_FILE_MACHINE_I386;
    char fullPath[MAX_PATH];
    DWORD fullLength = GetFullPathNameA(itemPath, sizeof fullPath, fullPath, nullptr);
    if (fullLength == 0 || fullLength >= sizeof fullPath) copyText(fullPath, sizeof fullPath, itemPath);
    int length = MultiByteToWideChar(CP_ACP, 0, fullPath, -1, path, MAX_PATH);
    if (length <= 1) path[0] = L'\0';
    pathLength = length <= 1 ? 0 : (size_t)length - 1;
    fileName = path;
    for (const WCHAR* c = path; *c != L'\0'; c++) {
        if (*c == L'\\' || *c == L'/') fileName = c + 1;
    }
}

void TextValue::read(DWORD type, const BYTE* data, DWORD size, bool (*carries)(const WCHAR* text, size_t length))
{
    strings = (const WCHAR*)data;
    length = wholeStringLength(data, size);
    plainString = (type == REG_SZ || type == REG_EXPAND_SZ) && length >= 0 && carries(strings, length);
    multiLength = type == REG_MULTI_SZ ? multiStringLength(data, size) : -1;
    plainMulti = multiLength > 0;
    for (int at = 0; plainMulti && at < multiLength; at += lstrlenW(strings + at) + 1) {
        plainMulti = carries(strings + at, lstrlenW(strings + at));
    }
}

bool SourceComponent::pathAt(const WCHAR* text, size_t length) const
{
    return pathLength > 0 && length >= pathLength &&
           CompareStringOrdinal(text, (int)pathLength, path, (int)pathLength, TRUE) == CSTR_EQUAL;
}
