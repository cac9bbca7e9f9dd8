// The shell's path and string functions that runs use. Windows 8 and later (and Wine) have them
// in the system's base library, which every process has loaded; there they are taken from it.
// Elsewhere they come from shlwapi, which loads user32 and gdi32 with it: a cost as large as
// a whole batch run that has nothing else to show. Any thread may call these.
#pragma once

#include <windows.h>

struct ShellPaths {
    LPSTR(WINAPI* PathAddBackslashA)(LPSTR path);
    BOOL(WINAPI* PathAppendA)(LPSTR path, LPCSTR more);
    BOOL(WINAPI* PathFileExistsA)(LPCSTR path);
    LPSTR(WINAPI* PathFindFileNameA)(LPCSTR path);
    BOOL(WINAPI* PathIsFileSpecA)(LPCSTR path);
    LPSTR(WINAPI* PathRemoveBackslashA)(LPSTR path);
    void(WINAPI* PathRemoveBlanksA)(LPSTR path);
    BOOL(WINAPI* PathRemoveFileSpecA)(LPSTR path);
    void(WINAPI* PathUnquoteSpacesA)(LPSTR path);
    LPSTR(WINAPI* StrChrA)(LPCSTR text, WORD character);
    int(WINAPI* StrCmpNIA)(LPCSTR first, LPCSTR second, int length);
    LPSTR(WINAPI* StrPBrkA)(LPCSTR text, LPCSTR characters);
    LPSTR(WINAPI* StrStrA)(LPCSTR text, LPCSTR search);
};

// Every function is set, all from the one library.
const ShellPaths& shellPaths();

// True for an existing directory (what PathIsDirectoryA says of a local path).
bool isDirectory(const char* path);
