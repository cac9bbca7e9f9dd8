// A registry file in the form the platform's registry editor writes and reads: the line
// "Windows Registry Editor Version 5.00", then blocks of a key line and its value lines, each
// block ending in an empty line; UTF-16LE with its byte-order mark, CR LF line ends. Text is
// collected in a fixed buffer and written when it fills. Used by one thread at a time.
#pragma once

#include <windows.h>

struct RegistryFile {
    HANDLE file;
    DWORD used;  // characters waiting in buffer
    DWORD column;
    bool writeFailed;
    WCHAR buffer[8192];

    // Opens the file for appending; a new or empty file gets the byte-order mark and the
    // header line. False, with the file closed, when it cannot be opened or already holds
    // something that is no UTF-16 registry file (it is left as it was).
    bool open(const char* path);
    // "; text": a line the registry editor skips.
    void writeComment(const char* text);
    // "[root\path]"
    void writeKey(const WCHAR* root, const WCHAR* path);
    // "[-root\path]": the key and everything below it are deleted.
    void writeKeyRemoval(const WCHAR* root, const WCHAR* path);
    // One value line: strings in quotes, DWORDs as dword:, anything else in hex form.
    void writeValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size);
    // "name"=-: the value is deleted.
    void writeValueRemoval(const WCHAR* name);
    void endBlock();
    // Writes what is waiting; false when the file did not take it all.
    bool flush();
    void close();

    void putKey(const WCHAR* opening, const WCHAR* root, const WCHAR* path);
    void putValueName(const WCHAR* name);
    void put(const WCHAR* text);
    void putChar(WCHAR c);
    void putQuoted(const WCHAR* text, size_t length);
    void putNumber(DWORD value, int digits);
    void putHex(DWORD type, const BYTE* data, DWORD size);
};
