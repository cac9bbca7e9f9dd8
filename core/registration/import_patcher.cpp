#include "core/registration/import_patcher.h"

#include <windows.h>
#include <psapi.h>

namespace {

const int MODULE_CAPACITY = 1024;

// One rewrite at a time: two would each restore the protection the other lifted, and the
// second write would then fault. Never held while waiting for the loader's own lock, which a
// thread loading a DLL holds when it comes here again.
SRWLOCK rewriting = SRWLOCK_INIT;

void redirectSlot(ULONG_PTR* slot, const ImportRedirect* redirects, int count)
{
    for (int index = 0; index < count; index++) {
        if (redirects[index].from == nullptr || *slot != (ULONG_PTR)redirects[index].from) continue;
        DWORD protection;
        if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return;
        *slot = (ULONG_PTR)redirects[index].to;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
        return;
    }
}

void redirectModule(HMODULE module, const ImportRedirect* redirects, int count)
{
    BYTE* base = (BYTE*)module;
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    const IMAGE_NT_HEADERS* headers = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    if (headers->Signature != IMAGE_NT_SIGNATURE) return;
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0 || imports.Size == 0) return;
    for (const IMAGE_IMPORT_DESCRIPTOR* library = (const IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
         library->Name != 0; library++) {
        for (ULONG_PTR* slot = (ULONG_PTR*)(base + library->FirstThunk); *slot != 0; slot++) {
            redirectSlot(slot, redirects, count);
        }
    }
}

}  // namespace

void redirectImports(const ImportRedirect* redirects, int count)
{
    HMODULE modules[MODULE_CAPACITY];
    DWORD needed = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &needed)) return;
    DWORD loaded = needed / sizeof modules[0];
    if (loaded > MODULE_CAPACITY) loaded = MODULE_CAPACITY;
    AcquireSRWLockExclusive(&rewriting);
    for (DWORD index = 0; index < loaded; index++) redirectModule(modules[index], redirects, count);
    ReleaseSRWLockExclusive(&rewriting);
}
