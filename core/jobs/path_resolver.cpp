#include "core/jobs/path_resolver.h"

#include <windows.h>
#include <string.h>

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

namespace {

// A stored text holds at most 260 characters; the work copy keeps it whole.
const size_t WORK_CAPACITY = 264;

struct DirectoryMacro {
    const char* name;
    UINT (WINAPI* directory)(LPSTR buffer, UINT size);
};

const DirectoryMacro DIRECTORY_MACROS[] = {
    {"<sysdir>", GetSystemDirectoryA},
    {"<windir>", GetWindowsDirectoryA},
};

// PathAppendA's buffers are MAX_PATH long; a join that would not fit fails and is reported
// as an empty path rather than cut into a different name.
bool appendTo(char* base, const char* more)
{
    if (lstrlenA(more) >= MAX_PATH || !shellPaths().PathAppendA(base, more)) {
        base[0] = '\0';
        return false;
    }
    return true;
}

bool fail(char* out)
{
    out[0] = '\0';
    return false;
}

}  // namespace

bool resolve(const char* text, char* out)
{
    char work[WORK_CAPACITY];
    copyText(work, sizeof work, text);
    shellPaths().PathUnquoteSpacesA(work);

    // Every macro begins with '<', which is never the trail byte of a double-byte character:
    // most paths hold none, and need not be searched for each macro.
    if (strchr(work, '<') != nullptr) {
        for (const DirectoryMacro& macro : DIRECTORY_MACROS) {
            const char* found = shellPaths().StrStrA(work, macro.name);
            if (found == nullptr) continue;
            UINT length = macro.directory(out, MAX_PATH);
            if (length == 0 || length >= MAX_PATH) return fail(out);
            return appendTo(out, found + lstrlenA(macro.name));
        }
        const char* appDir = shellPaths().StrStrA(work, "<appdir>");
        if (appDir != nullptr) return appDirPath(appDir + lstrlenA("<appdir>"), out, MAX_PATH);
    }

    if (shellPaths().PathIsFileSpecA(work)) {
        if (lstrlenA(work) >= MAX_PATH) return fail(out);
        copyText(out, MAX_PATH, work);
        return true;
    }

    DWORD length = GetCurrentDirectoryA(MAX_PATH, out);
    if (length == 0 || length >= MAX_PATH) return fail(out);
    return appendTo(out, work);
}

bool besideProgram(const char* fileName, char* out, size_t capacity)
{
    if (capacity < MAX_PATH) return fail(out);
    DWORD length = GetModuleFileNameA(nullptr, out, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return fail(out);
    // The folder part ends with the last separator; a trail byte 0x5C is none.
    char* folderEnd = out;
    for (const char* p = out; *p != '\0'; p = nextChar(p))
        if (*p == '\\') folderEnd = out + (p - out) + 1;
    size_t kept = (size_t)(folderEnd - out);
    if (kept + lstrlenA(fileName) >= MAX_PATH) return fail(out);
    copyText(folderEnd, MAX_PATH - kept, fileName);
    return true;
}

bool appDirPath(const char* name, char* out, size_t capacity)
{
    if (capacity < MAX_PATH) return fail(out);
    DWORD length = GetModuleFileNameA(nullptr, out, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return fail(out);
    shellPaths().PathRemoveFileSpecA(out);
    return appendTo(out, name);
}
