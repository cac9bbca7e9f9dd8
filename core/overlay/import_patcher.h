// Redirects calls of one function to another in every module of this process by rewriting the
// modules' import address tables; calls made from inside the function's own module, and calls
// through addresses taken with GetProcAddress, are not redirected. Any thread.
#pragma once

#include <windows.h>

struct ImportRedirect {
    void* from;
    void* to;
};

// Every import slot of every loaded module that holds a redirect's `from` gets its `to`; false,
// with the system's error, when a module could not be listed or a slot not rewritten (the
// slots rewritten before it keep their `to`).
bool redirectImports(const ImportRedirect* redirects, int count);

// How a slot's page is made writable: the system's VirtualProtect, which tests replace to
// make a rewrite fail.
typedef BOOL(WINAPI* ProtectFunction)(void* address, SIZE_T size, DWORD protection, DWORD* former);
extern ProtectFunction protectImportSlot;
