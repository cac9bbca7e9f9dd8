// Reading the key paths of a captured registration as a manifest needs them: a path in its
// parts, the path below the classes root, GUIDs and type library versions as the registry
// names them.
#pragma once

#include <windows.h>

// The parts of a key path a manifest tells apart: CLSID\{…}\InprocServer32 at most, and
// TypeLib\{…}\1.0\0\win32; anything deeper is none of them.
const int KEY_SEGMENT_CAPACITY = 6;
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" and its terminator.
const int GUID_TEXT_CAPACITY = 39;

struct KeySegment {
    const WCHAR* text;
    size_t length;
};

// Equal but for case, as the registry compares names.
bool sameText(const WCHAR* text, size_t length, const WCHAR* other);
bool sameText(const KeySegment& segment, const WCHAR* other);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" of hexadecimal digits.
bool isGuidText(const WCHAR* text, size_t length);
// The first KEY_SEGMENT_CAPACITY parts of the path; returns how many were filled.
int splitKeyPath(const WCHAR* path, KeySegment* segments);
// The path below the classes root: of HKEY_CLASSES_ROOT, or of the user's classes with /c;
// null for a path elsewhere.
const WCHAR* classesPath(int root, const WCHAR* path);
// At most capacity - 1 characters of text, terminated.
void copyWide(WCHAR* out, size_t capacity, const WCHAR* text, size_t length);
// "1.a" as the registry names a type library's version (hexadecimal) to "1.10"; false for a
// name that is no version.
bool decimalVersion(const KeySegment& segment, WCHAR* out);
