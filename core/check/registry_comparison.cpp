#include "core/check/registry_comparison.h"

#include <string.h>

#include <initializer_list>

#include "core/capture/captured_roots.h"
#include "core/capture/registry_capture.h"
#include "core/check/difference_text.h"
#include "core/jobs/heap.h"
#include "core/overlay/overlay_store.h"

namespace {

// The keys whose presence says a component is registered at all: its classes, type libraries
// and interfaces, each named by its id right below these.
const WCHAR* const IDENTITY_PARENTS[] = {L"CLSID", L"TypeLib", L"Interface"};
// The keys whose default value is the path of the file that serves a class or type library.
const WCHAR* const FILE_PATH_KEYS[] = {L"InprocServer32", L"win32", L"win64"};
const DWORD NAME_CAPACITY = 256;

// The text after prefix and a backslash when path starts so (case aside), else null.
const WCHAR* after(const WCHAR* path, const WCHAR* prefix)
{
    int length = lstrlenW(prefix);
    if (lstrlenW(path) <= length || path[length] != L'\\') return nullptr;
    if (CompareStringOrdinal(path, length, prefix, length, TRUE) != CSTR_EQUAL) return nullptr;
    return path + length + 1;
}

// The last name of a key path.
const WCHAR* lastName(const WCHAR* path)
{
    const WCHAR* last = path;
    for (const WCHAR* c = path; *c != L'\0'; c++) {
        if (*c == L'\\') last = c + 1;
    }
    return last;
}

// HKCR\CLSID\{…}, and the same below the machine's or the user's classes and their 32-bit node.
bool isIdentityKey(int root, const WCHAR* path)
{
    if (root == OVERLAY_LOCAL_MACHINE || root == OVERLAY_CURRENT_USER) path = after(path, CLASSES_PATH);
    else if (root != OVERLAY_CLASSES_ROOT) return false;
    if (path == nullptr) return false;
    if (const WCHAR* below = after(path, L"Wow6432Node")) path = below;
    for (const WCHAR* parent : IDENTITY_PARENTS) {
        const WCHAR* id = after(path, parent);
        if (id != nullptr && id[0] != L'\0' && lastName(id) == id) return true;
    }
    return false;
}

bool isFilePathKey(const WCHAR* path)
{
    const WCHAR* last = lastName(path);
    for (const WCHAR* name : FILE_PATH_KEYS) {
        if (lstrcmpiW(last, name) == 0) return true;
    }
    return false;
}

bool isText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// A value read whole, its text terminated whatever the registry held.
struct ReadValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    BYTE* data = nullptr;

    bool read(HKEY key, const WCHAR* name)
    {
        data = nullptr;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
        data = (BYTE*)allocateZeroed((size_t)size + 2 * sizeof(WCHAR));
        return data != nullptr && RegQueryValueExW(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS;
    }
    ~ReadValue() { freeBlock(data); }
};

// The file a path names, as the file system spells it; the text itself when it names none.
void filePath(const WCHAR* text, DWORD type, WCHAR* out)
{
    WCHAR expanded[MAX_PATH];
    DWORD expandedLength = type == REG_EXPAND_SZ ? ExpandEnvironmentStringsW(text, expanded, MAX_PATH) : 0;
    if (expandedLength == 0 || expandedLength > MAX_PATH) lstrcpynW(expanded, text, MAX_PATH);
    DWORD length = GetLongPathNameW(expanded, out, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) lstrcpynW(out, expanded, MAX_PATH);
}

bool sameFile(const WCHAR* first, DWORD firstType, const WCHAR* second, DWORD secondType)
{
    WCHAR firstFile[MAX_PATH];
    WCHAR secondFile[MAX_PATH];
    filePath(first, firstType, firstFile);
    filePath(second, secondType, secondFile);
    return lstrcmpiW(firstFile, secondFile) == 0;
}

// Equal type and data; two texts that name the same file are equal however they spell it.
bool sameValue(DWORD type, const BYTE* data, DWORD size, const ReadValue& other)
{
    if (type != other.type) return false;
    if (isText(type)) {
        const WCHAR* text = (const WCHAR*)data;
        const WCHAR* otherText = (const WCHAR*)other.data;
        return lstrcmpW(text, otherText) == 0 || sameFile(text, type, otherText, other.type);
    }
    return size == other.size && memcmp(data, other.data, size) == 0;
}

bool sameInSecond(HKEY second, const WCHAR* name, DWORD type, const BYTE* data, DWORD size)
{
    ReadValue other;
    return other.read(second, name) && other.type == type && other.size == size && memcmp(data, other.data, size) == 0;
}

HKEY openKey(HKEY parent, const WCHAR* path)
{
    HKEY key;
    return RegOpenKeyExW(parent, path, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
}

void closeKey(HKEY key)
{
    if (key != nullptr) RegCloseKey(key);
}

bool keyInfo(HKEY key, DWORD* subkeys, DWORD* values, DWORD* longestName, DWORD* longestData)
{
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, longestName, longestData,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

void RegistryComparison::compare()
{
    for (root = 0; root < OVERLAY_ROOT_COUNT; root++) {
        length = 0;
        path[0] = L'\0';
        HKEY first = openWritten(firstCapture);
        HKEY second = openWritten(secondCapture);
        if (first != nullptr) compareWritten(first, second);
        closeKey(first);
        closeKey(second);
        for (ScratchTree tree : {SCRATCH_DELETED_KEYS, SCRATCH_DELETED_VALUES}) {
            char treeKey[MAX_PATH + 64];
            scratchTreeKey(firstCapture, root, tree, treeKey);
            HKEY deleted;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, treeKey, 0, KEY_READ, &deleted) != ERROR_SUCCESS) continue;
            if (tree == SCRATCH_DELETED_KEYS) compareDeletedKeys(deleted, nullptr);
            else compareDeletedValues(deleted, nullptr);
            RegCloseKey(deleted);
        }
    }
}

bool RegistryComparison::nothingFound() const
{
    return identityKeys > 0 ? identityFound == 0 : othersFound == 0;
}

HKEY RegistryComparison::openReal() const
{
    if (root != OVERLAY_CLASSES_ROOT || userClasses) return openKey(CAPTURED_ROOTS[root].key, path);
    WCHAR machinePath[COMPARED_PATH_CAPACITY + 32];
    lstrcpyW(machinePath, CLASSES_PATH);
    if (length > 0) {
        lstrcatW(machinePath, L"\\");
        lstrcatW(machinePath, path);
    }
    return openKey(HKEY_LOCAL_MACHINE, machinePath);
}

HKEY RegistryComparison::openWritten(const char* capture) const
{
    char treeKey[MAX_PATH + 64];
    scratchTreeKey(capture, root, SCRATCH_WRITTEN, treeKey);
    WCHAR fullPath[MAX_PATH + 64 + COMPARED_PATH_CAPACITY];
    int written = MultiByteToWideChar(CP_ACP, 0, treeKey, -1, fullPath, MAX_PATH + 64);
    if (written == 0) return nullptr;
    if (length > 0) {
        lstrcatW(fullPath, L"\\");
        lstrcatW(fullPath, path);
    }
    return openKey(HKEY_CURRENT_USER, fullPath);
}

bool RegistryComparison::enter(const WCHAR* name)
{
    size_t nameLength = lstrlenW(name);
    if (length + 1 + nameLength >= COMPARED_PATH_CAPACITY) return false;
    if (length > 0) path[length++] = L'\\';
    lstrcpyW(path + length, name);
    length += nameLength;
    return true;
}

void RegistryComparison::leave(size_t previous)
{
    length = previous;
    path[length] = L'\0';
}

// The key at path as the first capture wrote it, and everything below it. A key written with
// no values and no subkeys must be there; one with subkeys is there when they are.
void RegistryComparison::compareWritten(HKEY first, HKEY second)
{
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (!keyInfo(first, &subkeys, &values, &longestName, &longestData)) return;
    HKEY real = openReal();
    bool moved = second == nullptr;
    bool identity = isIdentityKey(root, path);
    if (identity && !moved) {
        identityKeys++;
        if (real != nullptr) identityFound++;
    }
    if (values == 0 && subkeys == 0 && length > 0) {
        if (moved) leftOut++;
        else if (real == nullptr) noteDifference(nullptr, TEXT_KEY_MISSING, TEXT_KEY_PRESENT, false);
        else othersFound++;
    }
    if (values > 0) compareValues(first, second, real, moved, longestName, longestData);
    closeKey(real);
    visitSubkeys(first, second, &RegistryComparison::compareWritten);
}

void RegistryComparison::visitSubkeys(HKEY first, HKEY second, KeyVisit visit)
{
    for (DWORD index = 0;; index++) {
        WCHAR name[NAME_CAPACITY];
        DWORD nameLength = NAME_CAPACITY;
        if (RegEnumKeyExW(first, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        size_t previous = length;
        if (!enter(name)) continue;
        HKEY firstChild = openKey(first, name);
        HKEY secondChild = second != nullptr ? openKey(second, name) : nullptr;
        if (firstChild != nullptr) (this->*visit)(firstChild, secondChild);
        closeKey(firstChild);
        closeKey(secondChild);
        leave(previous);
    }
}

void RegistryComparison::compareValues(HKEY first, HKEY second, HKEY real, bool keyMoved, DWORD longestName, DWORD longestData)
{
    WCHAR* name = (WCHAR*)allocateZeroed(((size_t)longestName + 1) * sizeof(WCHAR));
    BYTE* data = (BYTE*)allocateZeroed((size_t)longestData + 2 * sizeof(WCHAR));
    if (name == nullptr || data == nullptr) memoryRanOut = true;
    for (DWORD index = 0; name != nullptr && data != nullptr; index++) {
        DWORD nameLength = longestName + 1;
        DWORD type;
        DWORD size = longestData;
        ZeroMemory(data, (size_t)longestData + 2 * sizeof(WCHAR));
        if (RegEnumValueW(first, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        if (keyMoved || !sameInSecond(second, name, type, data, size)) leftOut++;
        else compareValue(name, type, data, size, real);
    }
    freeBlock(name);
    freeBlock(data);
}

void RegistryComparison::compareValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size, HKEY real)
{
    ReadValue there;
    bool present = real != nullptr && there.read(real, name);
    if (present) {
        othersFound++;
        if (sameValue(type, data, size, there)) return;
    }
    char written[DETAIL_TEXT_CAPACITY];
    describeData(type, data, size, written, sizeof written);
    if (real == nullptr) {
        noteDifference(name, TEXT_KEY_MISSING, written, false);
    } else if (!present) {
        noteDifference(name, TEXT_VALUE_MISSING, written, false);
    } else {
        char found[DETAIL_TEXT_CAPACITY];
        describeData(there.type, there.data, there.size, found, sizeof found);
        // The registration names this file where the registry names another: the class or type
        // library is registered, but served by another copy.
        bool otherCopy = name[0] == L'\0' && isFilePathKey(path) && isText(type) && isText(there.type) &&
                         sameFile((const WCHAR*)data, type, componentPath, REG_SZ);
        noteDifference(name, found, written, otherCopy);
    }
}

// A key the registration deletes must be gone, unless it writes the key again.
void RegistryComparison::compareDeletedKeys(HKEY deleted, HKEY)
{
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (!keyInfo(deleted, &subkeys, &values, &longestName, &longestData)) return;
    if (values > 0) {
        HKEY written = openWritten(firstCapture);
        HKEY real = written == nullptr ? openReal() : nullptr;
        if (real != nullptr) noteDifference(nullptr, TEXT_KEY_PRESENT, TEXT_DELETED, false);
        closeKey(written);
        closeKey(real);
    }
    visitSubkeys(deleted, nullptr, &RegistryComparison::compareDeletedKeys);
}

// A value the registration deletes must be gone, unless it writes the value again.
void RegistryComparison::compareDeletedValues(HKEY deleted, HKEY)
{
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0;
    if (!keyInfo(deleted, &subkeys, &values, &longestName, &longestData)) return;
    HKEY written = openWritten(firstCapture);
    HKEY real = values > 0 ? openReal() : nullptr;
    WCHAR* name = real != nullptr ? (WCHAR*)allocateZeroed(((size_t)longestName + 1) * sizeof(WCHAR)) : nullptr;
    if (real != nullptr && name == nullptr) memoryRanOut = true;
    for (DWORD index = 0; name != nullptr; index++) {
        DWORD nameLength = longestName + 1;
        if (RegEnumValueW(deleted, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (written != nullptr && RegQueryValueExW(written, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) continue;
        ReadValue there;
        if (!there.read(real, name)) continue;
        char found[DETAIL_TEXT_CAPACITY];
        describeData(there.type, there.data, there.size, found, sizeof found);
        noteDifference(name, found, TEXT_DELETED, false);
    }
    freeBlock(name);
    closeKey(written);
    closeKey(real);
    visitSubkeys(deleted, nullptr, &RegistryComparison::compareDeletedValues);
}

void RegistryComparison::noteDifference(const WCHAR* name, const char* there, const char* written, bool namesOtherFile)
{
    differences++;
    bool first = differences == 1;
    bool firstOfOtherFile = namesOtherFile && !otherFile;
    if (!first && !firstOfOtherFile) return;
    char place[DETAIL_TEXT_CAPACITY];
    describePlace(root, path, name, place, sizeof place);
    if (first) describeDifference(place, there, written, firstDifference, sizeof firstDifference);
    if (firstOfOtherFile) describeDifference(place, there, written, firstOtherFile, sizeof firstOtherFile);
    otherFile = otherFile || namesOtherFile;
}
