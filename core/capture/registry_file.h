// A registry file in the form the platform's registry editor writes and reads: the line
// "Windows Registry Editor Version 5.00", then blocks of a key line and its value lines, each
// block ending in an empty line; UTF-16LE with its byte-order mark, CR LF line ends. Text is
// collected in a fixed buffer and written when it fills. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/capture/capture_writer.h"

struct RegistryFile {
    HANDLE file;
    DWORD used;  // characters waiting in buffer
    DWORD column;
    bool writeFailed;
    WCHAR buffer[8192];

    // Opening appends; a new or empty file gets the byte-order mark and the header line, and
    // a file that holds something other than a UTF-16 registry file is left as it was. An
    // item's lines ("; path : status", key lines, value lines, each key's block ending in an
    // empty line) are written when it ends.
    CAPTURE_WRITER_METHODS

    bool flush();
    void putComment(const WCHAR* text);
    void putKey(const WCHAR* opening, int root, const WCHAR* path);
    void putValueName(const WCHAR* name);
    void put(const WCHAR* text);
    void putChar(WCHAR c);
    void putQuoted(const WCHAR* text, size_t length);
    void putNumber(DWORD value, int digits);
    void putHex(DWORD type, const BYTE* data, DWORD size);
};
