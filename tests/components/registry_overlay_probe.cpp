// A component that reads while it registers: it writes a value derived from one it reads from
// the machine, registers its class in a new component category through the system's category
// manager, marks its class a control with keys that hold no values, deletes a value and a key
// it finds, makes a key and deletes it again, and checks that it reads back what it wrote and
// no longer finds, counts or lists what it deleted; a listing taken after a change it made
// shows that change, and lists and counts each subkey once.
#include <windows.h>
#include <comcat.h>

#include "tests/components/call_record.h"
#include "tests/components/registry_overlay_probe.h"

using namespace overlay_probe;

namespace {

HMODULE self;

HRESULT writeDerivedValue()
{
    char value[MAX_PATH + sizeof SUFFIX] = {};
    DWORD size = MAX_PATH;
    LONG error = RegGetValueA(HKEY_LOCAL_MACHINE, READ_KEY, READ_VALUE, RRF_RT_REG_SZ, nullptr, value, &size);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    lstrcatA(value, SUFFIX);
    error = RegSetKeyValueA(HKEY_LOCAL_MACHINE, WRITTEN_KEY, WRITTEN_VALUE, REG_SZ, value, lstrlenA(value) + 1);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    char readBack[sizeof value] = {};
    size = sizeof readBack;
    error = RegGetValueA(HKEY_LOCAL_MACHINE, WRITTEN_KEY, WRITTEN_VALUE, RRF_RT_REG_SZ, nullptr, readBack, &size);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    return lstrcmpA(value, readBack) == 0 ? S_OK : E_UNEXPECTED;
}

HRESULT registerCategory()
{
    ICatRegister* categories = nullptr;
    HRESULT result = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                      (void**)&categories);
    if (FAILED(result)) return result;
    CATEGORYINFO info = {CATEGORY_ID, 0x409, {}};
    lstrcpyW(info.szDescription, CATEGORY_TEXT);
    result = categories->RegisterCategories(1, &info);
    CATID implemented = CATEGORY_ID;
    if (SUCCEEDED(result)) result = categories->RegisterClassImplCategories(CLASS_ID, 1, &implemented);
    categories->Release();
    return result;
}

HRESULT deletePlanted()
{
    HKEY key;
    LONG error = RegOpenKeyExA(HKEY_CURRENT_USER, PLANTED_KEY, 0, KEY_READ | KEY_WRITE, &key);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    error = RegDeleteValueA(key, PLANTED_VALUE);
    if (error == ERROR_SUCCESS) error = RegDeleteKeyA(HKEY_CURRENT_USER, PLANTED_SUBKEY);
    // What is left: the value planted beside them, alone.
    DWORD subkeys = 0, values = 0;
    char name[32] = {};
    DWORD nameLength = sizeof name;
    bool gone = error == ERROR_SUCCESS &&
                RegQueryValueExA(key, PLANTED_VALUE, nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND &&
                RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                 nullptr, nullptr) == ERROR_SUCCESS &&
                subkeys == 0 && values == 1 &&
                RegEnumValueA(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                lstrcmpA(name, KEPT_VALUE) == 0;
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    return gone ? S_OK : E_UNEXPECTED;
}

// The subkeys as a listing shows them, each once, as many as RegQueryInfoKey counts.
bool listsEachSubkeyOnce(HKEY key, DWORD* count)
{
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS) {
        return false;
    }
    char names[8][64];
    DWORD listed = 0;
    for (; listed < 8; listed++) {
        DWORD length = sizeof names[listed];
        if (RegEnumKeyExA(key, listed, names[listed], &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        for (DWORD earlier = 0; earlier < listed; earlier++) {
            if (lstrcmpiA(names[earlier], names[listed]) == 0) return false;
        }
    }
    return listed == *count;
}

// A cleanup loop: the value at index 0 goes until there is none; a listing that missed a
// deletion would give a value again or end too early.
bool deletesEveryValueAtIndexZero(HKEY key)
{
    for (int round = 0; round < 8; round++) {
        char name[64];
        DWORD length = sizeof name;
        LONG error = RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS) break;
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS) return false;
    }
    DWORD values = 1;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                            nullptr) == ERROR_SUCCESS &&
           values == 0;
}

HRESULT reviseListedKey()
{
    LONG error = RegSetKeyValueA(HKEY_CLASSES_ROOT, SHARED_KEY, WRITTEN_VALUE, REG_SZ, "written", 8);
    HKEY listed, added, shared;
    if (error == ERROR_SUCCESS) error = RegOpenKeyExA(HKEY_CLASSES_ROOT, LISTED_KEY, 0, KEY_READ, &listed);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    DWORD before = 0, after = 0, disposition = 0;
    bool revised = listsEachSubkeyOnce(listed, &before);
    error = RegCreateKeyExA(HKEY_CLASSES_ROOT, ADDED_KEY, 0, nullptr, 0, KEY_READ, nullptr, &added, &disposition);
    if (error == ERROR_SUCCESS) RegCloseKey(added);
    revised = revised && listsEachSubkeyOnce(listed, &after) &&
              after == before + (disposition == REG_CREATED_NEW_KEY ? 1 : 0);
    RegCloseKey(listed);
    if (error == ERROR_SUCCESS) error = RegOpenKeyExA(HKEY_CLASSES_ROOT, SHARED_KEY, 0, KEY_READ | KEY_WRITE, &shared);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    revised = revised && deletesEveryValueAtIndexZero(shared);
    RegCloseKey(shared);
    // A key that still has subkeys stays, as the system keeps it.
    revised = revised && RegDeleteKeyA(HKEY_CLASSES_ROOT, LISTED_KEY) == ERROR_ACCESS_DENIED;
    return revised ? S_OK : E_UNEXPECTED;
}

HRESULT writeClassKey()
{
    char server[MAX_PATH];
    char key[sizeof CLASS_KEY + 32];
    GetModuleFileNameA(self, server, sizeof server);
    wsprintfA(key, "%s\\InprocServer32", CLASS_KEY);
    LONG error = RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, server, lstrlenA(server));
    for (const char* flag : CLASS_FLAGS) {
        HKEY flagKey;
        wsprintfA(key, "%s\\%s", CLASS_KEY, flag);
        if (error == ERROR_SUCCESS) error = RegCreateKeyA(HKEY_CLASSES_ROOT, key, &flagKey);
        if (error == ERROR_SUCCESS) RegCloseKey(flagKey);
    }
    HKEY passing;
    if (error == ERROR_SUCCESS) error = RegCreateKeyA(HKEY_CLASSES_ROOT, PASSING_KEY, &passing);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    RegCloseKey(passing);
    error = RegDeleteTreeA(HKEY_CLASSES_ROOT, "PlinthoraOverlayProbe");
    return HRESULT_FROM_WIN32(error);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");
    HRESULT result = writeDerivedValue();
    if (SUCCEEDED(result)) result = registerCategory();
    if (SUCCEEDED(result)) result = deletePlanted();
    if (SUCCEEDED(result)) result = reviseListedKey();
    if (SUCCEEDED(result)) result = writeClassKey();
    return result;
}
