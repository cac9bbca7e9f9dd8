#include "core/registration/type_library.h"

#include <oleauto.h>

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "core/registration/failure_details.h"
#include "core/registration/status_texts.h"

// Exported by the system's automation library since Windows Vista; its headers here lack them.
extern "C" {
DECLSPEC_IMPORT HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
DECLSPEC_IMPORT HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD majorVersion, WORD minorVersion, LCID locale,
                                                        SYSKIND system);
}

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c;
}

// The dot is never the trail byte of a double-byte character, so the last four bytes are the
// extension whenever the first of them is a dot.
bool endsWithExtension(const char* path, const char* extension)
{
    size_t length = lstrlenA(path);
    if (length < 4) return false;
    const char* end = path + length - 4;
    for (int index = 0; index < 4; index++) {
        if (lowerAscii(end[index]) != extension[index]) return false;
    }
    return true;
}

// The file's full path: a bare name is searched for as the library loader searches for it.
bool fullPathOf(const char* path, char* out)
{
    DWORD length = shellPaths().PathIsFileSpecA(path) ? SearchPathA(nullptr, path, nullptr, MAX_PATH, out, nullptr)
                                                      : GetFullPathNameA(path, MAX_PATH, out, nullptr);
    return length > 0 && length < MAX_PATH;
}

void toWide(const char* text, WCHAR* out)
{
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, out, MAX_PATH) == 0) out[0] = L'\0';
}

HRESULT registerLibrary(ITypeLib* library, const char* fullPath, bool perUser)
{
    // Its help files are looked for in its own folder.
    char folder[MAX_PATH];
    copyText(folder, sizeof folder, fullPath);
    *shellPaths().PathFindFileNameA(folder) = '\0';
    shellPaths().PathRemoveBackslashA(folder);
    WCHAR widePath[MAX_PATH];
    WCHAR wideFolder[MAX_PATH];
    toWide(fullPath, widePath);
    toWide(folder, wideFolder);
    return perUser ? RegisterTypeLibForUser(library, widePath, wideFolder) : RegisterTypeLib(library, widePath, wideFolder);
}

HRESULT unregisterLibrary(ITypeLib* library, bool perUser)
{
    TLIBATTR* attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (FAILED(result)) return result;
    const TLIBATTR& a = *attributes;
    result = perUser ? UnRegisterTypeLibForUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind)
                     : UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    library->ReleaseTLibAttr(attributes);
    return result;
}

}  // namespace

bool isTypeLibraryPath(const char* path)
{
    return endsWithExtension(path, ".tlb") || endsWithExtension(path, ".olb");
}

const char* performTypeLibrary(ComponentItem* item, const char* path, PerformTrace* trace)
{
    trace->step = STEP_LOAD;
    char fullPath[MAX_PATH];
    if (!fullPathOf(path, fullPath)) copyText(fullPath, sizeof fullPath, path);
    WCHAR widePath[MAX_PATH];
    toWide(fullPath, widePath);
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLibEx(widePath, REGKIND_NONE, &library);
    if (FAILED(result)) {
        describeResult(result, item->detail, sizeof item->detail);
        return STATUS_TYPELIB_LOAD_FAILED;
    }
    trace->step = STEP_SERVER;
    bool unregister = item->switches.unregister != 0;
    bool perUser = item->switches.perUser != 0;
    result = unregister ? unregisterLibrary(library, perUser) : registerLibrary(library, fullPath, perUser);
    library->Release();
    if (SUCCEEDED(result)) return unregister ? STATUS_UNREGISTERED : STATUS_REGISTERED;
    describeResult(result, item->detail, sizeof item->detail);
    return typeLibraryStatusOfStep(item, STEP_SERVER);
}

const char* typeLibraryStatusOfStep(const ComponentItem* item, LONG step)
{
    if (step != STEP_SERVER) return STATUS_TYPELIB_LOAD_FAILED;
    return item->switches.unregister ? STATUS_TYPELIB_UNREGISTER_FAILED : STATUS_TYPELIB_REGISTER_FAILED;
}
