#include "core/capture/registry_capture.h"

#include <stdlib.h>

#include <initializer_list>

#include "core/jobs/heap.h"
#include "core/capture/captured_roots.h"
#include "core/overlay/registry_overlay.h"

namespace {

const int ROOT_COUNT = OVERLAY_ROOT_COUNT;

// Beside the roots' keys, each in a tree of its own: the keys and the values a component
// deleted from the registry, under the same root names.
const char DELETED_KEYS[] = "Deleted keys";
const char DELETED_VALUES[] = "Deleted values";

// What a walk writes of each key it visits.
enum WalkKind { WALK_WRITTEN, WALK_DELETED_KEYS, WALK_DELETED_VALUES };

// The scratch keys' parents, removed once no run uses them.
const char* const SCRATCH_PARENTS[] = {"Software\\Plinthora\\Capture", "Software\\Plinthora"};

// Key names are at most 255 characters; a path deeper than this is not written.
const size_t KEY_PATH_CAPACITY = 16384;
const DWORD KEY_NAME_CAPACITY = 256;

struct KeyWalk {
    CaptureOutput* output;
    WalkKind kind;
    int root;
    size_t rootPathLength;  // of the path the root's keys lie below: the user's classes for /c
    bool memoryRanOut;
    WCHAR path[KEY_PATH_CAPACITY];
};

void scratchRootKey(const char* scratchKey, const CapturedRoot& root, char* out, WalkKind kind = WALK_WRITTEN)
{
    if (kind == WALK_WRITTEN) wsprintfA(out, "%s\\%s", scratchKey, root.name);
    else wsprintfA(out, "%s\\%s\\%s", scratchKey, kind == WALK_DELETED_KEYS ? DELETED_KEYS : DELETED_VALUES, root.name);
}

bool removeScratch(const char* scratchKey)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchKey);
    return RegDeleteKeyA(HKEY_CURRENT_USER, scratchKey) == ERROR_SUCCESS;
}

// True when the scratch key name is a process id that no running process has: its run was
// ended before it could remove its keys. A name that is no process id is left alone.
bool runHasEnded(const char* name)
{
    char* end = nullptr;
    unsigned long processId = strtoul(name, &end, 10);
    if (name[0] < '0' || name[0] > '9' || *end != '\0') return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)processId);
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
    bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Removes the scratch keys of runs that were ended before they could remove them; those of
// runs still going stay theirs.
void removeAbandonedScratch()
{
    HKEY parent;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SCRATCH_PARENTS[0], 0, KEY_READ, &parent) != ERROR_SUCCESS) return;
    for (DWORD index = 0;;) {
        char name[KEY_NAME_CAPACITY];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        char path[MAX_PATH + KEY_NAME_CAPACITY];
        wsprintfA(path, "%s\\%s", SCRATCH_PARENTS[0], name);
        // A removed key moves the ones after it up to this index.
        if (!runHasEnded(name) || !removeScratch(path)) index++;
    }
    RegCloseKey(parent);
}

void writeValues(KeyWalk* walk, HKEY key, DWORD longestName, DWORD longestData)
{
    WCHAR* name = (WCHAR*)allocateZeroed(((size_t)longestName + 1) * sizeof(WCHAR));
    BYTE* data = (BYTE*)allocateZeroed((size_t)longestData + 1);
    if (name == nullptr || data == nullptr) walk->memoryRanOut = true;
    for (DWORD index = 0; name != nullptr && data != nullptr; index++) {
        DWORD nameLength = longestName + 1;
        DWORD type;
        DWORD size = longestData;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        if (walk->kind == WALK_DELETED_VALUES) walk->output->removedValue(name);
        else walk->output->value(name, type, data, size);
    }
    freeBlock(name);
    freeBlock(data);
}

// Writes the key at walk->path (length characters) and everything below it. A key whose only
// content is its subkeys is not written: importing them makes it. A deleted key is marked by a
// value, and a deleted value is a value of the same name.
void writeTree(KeyWalk* walk, HKEY key, size_t length)
{
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &longestName, &longestData,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (walk->kind == WALK_DELETED_KEYS && values > 0) {
        walk->output->removedKey(walk->root, walk->path);
    } else if (values > 0 || (walk->kind == WALK_WRITTEN && subkeys == 0 && length > walk->rootPathLength)) {
        walk->output->beginKey(walk->root, walk->path);
        writeValues(walk, key, longestName, longestData);
        walk->output->endKey();
    }
    for (DWORD index = 0;; index++) {
        WCHAR name[KEY_NAME_CAPACITY];
        DWORD nameLength = KEY_NAME_CAPACITY;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (length + 1 + nameLength >= KEY_PATH_CAPACITY) continue;
        size_t childLength = length;
        if (childLength > 0) walk->path[childLength++] = L'\\';
        lstrcpyW(walk->path + childLength, name);
        HKEY child;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            writeTree(walk, child, childLength + nameLength);
            RegCloseKey(child);
        }
        walk->path[length] = L'\0';
    }
}

}  // namespace

bool RegistryCapture::begin(const char* path)
{
    beginScratch();
    return output.open(path);
}

void RegistryCapture::beginScratch()
{
    wsprintfA(scratchKey, "%s\\%lu", SCRATCH_PARENTS[0], GetCurrentProcessId());
    // Left by a run of the same process id, or of any other run, that was ended before it
    // could clean up.
    removeScratch(scratchKey);
    removeAbandonedScratch();
}

void scratchTreeKey(const char* scratchKey, int root, ScratchTree tree, char* out)
{
    static_assert((int)SCRATCH_DELETED_VALUES == (int)WALK_DELETED_VALUES, "one order of trees");
    scratchRootKey(scratchKey, CAPTURED_ROOTS[root], out, (WalkKind)tree);
}

bool RegistryCapture::prepareItem()
{
    removeScratch(scratchKey);
    for (const CapturedRoot& root : CAPTURED_ROOTS) {
        char path[MAX_PATH + 32];
        scratchRootKey(scratchKey, root, path);
        HKEY key;
        LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr);
        if (error != ERROR_SUCCESS) {
            removeScratch(scratchKey);
            SetLastError((DWORD)error);
            return false;
        }
        RegCloseKey(key);
    }
    return true;
}

void RegistryCapture::recordItem(const ComponentItem* item)
{
    char path[MAX_PATH];
    resolvedPath(item, path, sizeof path);
    output.beginItem(path, item->status);
    KeyWalk* walk = newZeroed<KeyWalk>();
    bool memoryRanOut = walk == nullptr;
    // Deletions first: a key deleted and made again is then made empty on import.
    for (int index = 0; walk != nullptr && index < ROOT_COUNT; index++) {
        for (WalkKind kind : {WALK_DELETED_KEYS, WALK_DELETED_VALUES, WALK_WRITTEN}) {
            char rootPath[MAX_PATH + 64];
            scratchRootKey(scratchKey, CAPTURED_ROOTS[index], rootPath, kind);
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, rootPath, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
            bool userClasses = index == OVERLAY_CLASSES_ROOT && item->switches.perUser;
            walk->output = &output;
            walk->kind = kind;
            walk->root = userClasses ? OVERLAY_CURRENT_USER : index;
            lstrcpyW(walk->path, userClasses ? CLASSES_PATH : L"");
            walk->rootPathLength = lstrlenW(walk->path);
            writeTree(walk, key, walk->rootPathLength);
            RegCloseKey(key);
        }
    }
    if (walk != nullptr) memoryRanOut = walk->memoryRanOut;
    freeBlock(walk);
    if (memoryRanOut) {
        output.note(L"メモリが足りないため、この項目の書き出しは不完全です");
        output.incomplete = true;
    }
    output.endItem();
    removeScratch(scratchKey);
}

bool RegistryCapture::end()
{
    removeScratch(scratchKey);
    for (const char* parent : SCRATCH_PARENTS) RegDeleteKeyA(HKEY_CURRENT_USER, parent);
    return output.close();
}

bool overlayScratchKeys(const char* scratchKey)
{
    WCHAR user[OVERLAY_PATH_CAPACITY];
    OverlayStore* store = newZeroed<OverlayStore>();
    if (store == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    bool installed = currentUserKeyName(user, OVERLAY_PATH_CAPACITY);
    for (int index = 0; installed && index < ROOT_COUNT; index++) {
        OverlayStoreRoot& root = store->roots[index];
        WCHAR* trees[] = {root.writes, root.deletedKeys, root.deletedValues};
        for (WalkKind kind : {WALK_WRITTEN, WALK_DELETED_KEYS, WALK_DELETED_VALUES}) {
            char path[MAX_PATH + 64];
            scratchRootKey(scratchKey, CAPTURED_ROOTS[index], path, kind);
            int length = lstrlenW(user);
            lstrcpyW(trees[kind], user);
            trees[kind][length++] = L'\\';
            if (MultiByteToWideChar(CP_ACP, 0, path, -1, trees[kind] + length, OVERLAY_PATH_CAPACITY - length) == 0) {
                installed = false;
            }
        }
    }
    installed = installed && installRegistryOverlay(store);
    DWORD error = GetLastError();
    freeBlock(store);
    SetLastError(error);
    return installed;
}

void removeScratchOverlay()
{
    removeRegistryOverlay();
}
