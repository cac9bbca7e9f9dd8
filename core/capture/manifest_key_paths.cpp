#include "core/capture/manifest_key_paths.h"

#include <string.h>
#include <wchar.h>

#include "core/capture/captured_roots.h"
#include "core/overlay/overlay_store.h"

bool sameText(const WCHAR* text, size_t length, const WCHAR* other)
{
    return CompareStringOrdinal(text, (int)length, other, -1, TRUE) == CSTR_EQUAL;
}

bool sameText(const KeySegment& segment, const WCHAR* other)
{
    return sameText(segment.text, segment.length, other);
}

namespace {

bool isHexDigit(WCHAR c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

}  // namespace

bool isGuidText(const WCHAR* text, size_t length)
{
    if (length != GUID_TEXT_CAPACITY - 1 || text[0] != L'{' || text[length - 1] != L'}') return false;
    for (size_t i = 1; i + 1 < length; i++) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !isHexDigit(text[i])) return false;
    }
    return true;
}

int splitKeyPath(const WCHAR* path, KeySegment* segments)
{
    int count = 0;
    for (const WCHAR* start = path; count < KEY_SEGMENT_CAPACITY; count++) {
        const WCHAR* end = wcschr(start, L'\\');
        segments[count] = {start, end != nullptr ? (size_t)(end - start) : (size_t)lstrlenW(start)};
        if (end == nullptr) return count + 1;
        start = end + 1;
    }
    return count;
}

const WCHAR* classesPath(int root, const WCHAR* path)
{
    if (root == OVERLAY_CLASSES_ROOT) return path;
    size_t prefix = lstrlenW(CLASSES_PATH);
    if (root != OVERLAY_CURRENT_USER || (size_t)lstrlenW(path) <= prefix || !sameText(path, prefix, CLASSES_PATH) ||
        path[prefix] != L'\\') {
        return nullptr;
    }
    return path + prefix + 1;
}

void copyWide(WCHAR* out, size_t capacity, const WCHAR* text, size_t length)
{
    if (length >= capacity) length = capacity - 1;
    memcpy(out, text, length * sizeof(WCHAR));
    out[length] = L'\0';
}

bool decimalVersion(const KeySegment& segment, WCHAR* out)
{
    DWORD parts[2] = {0, 0};
    int part = 0;
    for (size_t i = 0; i < segment.length; i++) {
        WCHAR c = segment.text[i];
        if (c == L'.' && part == 0 && i > 0) part = 1;
        else if (!isHexDigit(c) || parts[part] > 0xFFFF) return false;
        else parts[part] = parts[part] * 16 + (c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    }
    if (part == 0 || segment.text[segment.length - 1] == L'.') return false;
    wsprintfW(out, L"%lu.%lu", parts[0], parts[1]);
    return true;
}
