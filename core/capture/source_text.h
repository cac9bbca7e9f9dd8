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
    // c as XML text, in an attribute's value as well: markup and line ends as references.
    void putXmlChar(WCHAR c);
    // Replaces the file's content with the text in UTF-8, after a byte-order mark when asked,
    // and closes it; false when the file did not take it all or memory ran out.
    bool writeWhole(bool byteOrderMark);
};

// What of a captured value a source can write back byte for byte as text, by the source's own
// test of the text it carries: a string value of one whole string ended by its one terminator,
// or a multi-string of strings each ended by a terminator, the first not empty, and one more
// after them.
struct TextValue {
    const WCHAR* strings;
    int length;       // of the plain string
    int multiLength;  // of the multi-string's strings with their terminators
    bool plainString;
    bool plainMulti;

    void read(DWORD type, const BYTE* data, DWORD size, bool (*carries)(const WCHAR* text, size_t length));
};

// The item an installer source is at: the comment that names it, whether it succeeded, the
// machine it is built for, and its full path, which the source writes as the installed file's
// wherever a value holds it.
struct SourceComponent {
    WCHAR comment[MAX_PATH + 64];  // "<path> : <status>"
    bool succeeded;
    bool builtFor32Bit;
    WCHAR path[MAX_PATH];  // empty when it has none
    size_t pathLength;
    const WCHAR* fileName;  // inside path

    void take(const char* itemPath, const char* status);
    // True when text[0..length) begins with the component's path, compared without case.
    bool pathAt(const WCHAR* text, size_t length) const;
};
