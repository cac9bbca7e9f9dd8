// Text of an installer source that is written whole at the end of a capture run: collected in
// UTF-16 on the process heap, then written to the file as UTF-8, replacing what it held. And
// what the installer-source writers share in reading captured values. Used by one thread.
#pragma once

#include <windows.h>

struct SourceText {
    HANDLE file;
    WCHAR* text;
    size_t used;
    size_t capacity;
    bool outOfMemory;

    // Opens (or creates) the file without changing it yet; false, with the system's error,
    // when it cannot be written.
    bool open(const char* path);
    void put(const WCHAR* part);
    void putChar(WCHAR c);
    void putDecimal(LONG value);
    void putHexByte(BYTE value);
    // Replaces the file's content with the text in UTF-8, after a byte-order mark when asked,
    // and closes it; false when the file did not take it all or memory ran out.
    bool writeWhole(bool byteOrderMark);
};

// The length in characters of a string value of one whole string ended by its one
// terminator, or -1 when the data is not that.
int wholeStringLength(const BYTE* data, DWORD size);
// True when the data is strings each ended by a terminator, none empty, and one more
// terminator after them: the form every tool can write back byte for byte.
bool isPlainMultiString(const BYTE* data, DWORD size);
// True when text[0..length) begins with the path, compared without case.
bool startsWithPath(const WCHAR* text, size_t length, const WCHAR* path, size_t pathLength);
// The item's full path, wide, for finding it inside values; its length, 0 when it has none.
size_t widePathOf(const char* path, WCHAR* out, size_t capacity);
// The part of a path after its last separator.
const WCHAR* fileNameOf(const WCHAR* path);
// "<path> : <status>", wide: the comment that names an item.
void itemComment(const char* path, const char* status, WCHAR* out, int capacity);
