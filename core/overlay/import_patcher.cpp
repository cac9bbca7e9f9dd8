#include "core/overlay/import_patcher.h"

#include <windows.h>
#include <psapi.h>

#include "core/jobs/heap.h"

namespace {

const int MODULE_CAPACITY = 1024;

// One rewrite at a time: two would each restore the protection the other lifted, and the
// second write would then fault. Never held while waiting for the loader's own lock, which a
// thread loading a DLL holds when it comes here again.
SRWLOCK rewriting = SRWLOCK_INIT;

bool redirectSlot(ULONG_PTR* slot, const ImportRedirect* redirects, int count)
{
    for (int index = 0; index < count; index++) {
        if (redirects[index].from == nullptr || *slot != (ULONG_PTR)redirects[index].from) continue;
        DWORD protection;
        if (!protectImportSlot(slot, sizeof *slot, PAGE_READWRITE, &protection)) return false;
        *slot = (ULONG_PTR)redirects[index].to;
        protectImportSlot(slot, sizeof *slot, protection, &protection);
        return true;
    }
    return true;
}

bool redirectModule(HMODULE module, const ImportRedirect* redirects, int count)
{
    BYTE* base = (BYTE*)module;
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return true;
    const IMAGE_NT_HEADERS* headers = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    if (headers->Signature != IMAGE_NT_SIGNATURE) return true;
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0 || imports.Size == 0) return true;
    for (const IMAGE_IMPORT_DESCRIPTOR* library = (const IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
         library->Name != 0; library++) {
        for (ULONG_PTR* slot = (ULONG_PTR*)(base + library->FirstThunk); *slot != 0; slot++) {
            if (!redirectSlot(slot, redirects, count)) return false;
        }
    }
    return true;
}

}  // namespace

ProtectFunction protectImportSlot = VirtualProtect;

bool redirectImports(const ImportRedirect* redirects, int count)
{
    HMODULE stackModules[MODULE_CAPACITY];
    HMODULE* modules = stackModules;
    DWORD room = sizeof stackModules;
    DWORD needed = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, room, &needed)) return false;
    // A process with more modules than the list on the stack holds asks again with room for all.
    if (needed > room) {
        room = needed;
        modules = (HMODULE*)allocateZeroed(room);
        if (modules == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        if (!K32EnumProcessModules(GetCurrentProcess(), modules, room, &needed)) {
            DWORD error = GetLastError();
            freeBlock(modules);
            SetLastError(error);
            return false;
        }
    }
    // A module loaded since the list was made is rewritten by the loader's own redirect.
    DWORD loaded = (needed < room ? needed : room) / sizeof modules[0];
    bool redirected = true;
    AcquireSRWLockExclusive(&rewriting);
    for (DWORD index = 0; index < loaded && redirected; index++) redirected = redirectModule(modules[index], redirects, count);
    DWORD error = GetLastError();
    ReleaseSRWLockExclusive(&rewriting);
    if (modules != stackModules) freeBlock(modules);
    SetLastError(error);
    return redirected;
}
