#include "core/jobs/shell_paths.h"

namespace {

// In the order of the record's fields.
const char* const FUNCTION_NAMES[] = {
    "PathAddBackslashA",
    "PathAppendA",
    "PathFileExistsA",
    "PathFindFileNameA",
    "PathIsFileSpecA",
    "PathRemoveBackslashA",
    "PathRemoveBlanksA",
    "PathRemoveFileSpecA",
    "PathUnquoteSpacesA",
    "StrChrA",
    "StrCmpNIA",
    "StrPBrkA",
    "StrStrA",
};
static_assert(sizeof(ShellPaths) == sizeof FUNCTION_NAMES, "a name for each function");

ShellPaths functions;
INIT_ONCE functionsFound = INIT_ONCE_STATIC_INIT;

bool takeAll(HMODULE library, ShellPaths* out)
{
    if (library == nullptr) return false;
    FARPROC* slots = (FARPROC*)out;
    for (size_t index = 0; index < sizeof FUNCTION_NAMES / sizeof FUNCTION_NAMES[0]; index++) {
        slots[index] = GetProcAddress(library, FUNCTION_NAMES[index]);
        if (slots[index] == nullptr) return false;
    }
    return true;
}

BOOL CALLBACK findFunctions(INIT_ONCE*, void*, void**)
{
    if (!takeAll(GetModuleHandleA("kernelbase.dll"), &functions)) takeAll(LoadLibraryA("shlwapi.dll"), &functions);
    return TRUE;
}

}  // namespace

const ShellPaths& shellPaths()
{
    InitOnceExecuteOnce(&functionsFound, findFunctions, nullptr, nullptr);
    return functions;
}

bool isDirectory(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
