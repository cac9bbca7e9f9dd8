#include "core/overlay/registry_overlay.h"

#include <string.h>

#include "core/overlay/import_patcher.h"
#include "core/overlay/overlay_listing.h"
#include "core/overlay/overlay_space.h"

namespace {

// Static, not allocated: a thread of a component may still be in a registry call when the
// overlay is removed.
OverlaySpace space;
OverlayListings listings;

NTSTATUS reportName(const OverlayKey* key, KeyNameRecord* record, ULONG length, ULONG* resultLength)
{
    WCHAR name[OVERLAY_PATH_CAPACITY];
    if (!space.realName(key, name)) return NT_NAME_TOO_LONG;
    ULONG bytes = lstrlenW(name) * sizeof(WCHAR);
    ULONG header = sizeof record->nameLength;
    if (resultLength != nullptr) *resultLength = header + bytes;
    if (length < header) return NT_BUFFER_TOO_SMALL;
    record->nameLength = bytes;
    memcpy(record->name, name, length - header < bytes ? length - header : bytes);
    return length - header < bytes ? NT_BUFFER_OVERFLOW : NT_OK;
}

// The real key where it shows through, otherwise the store's: every call on either handle
// sees the same key. The real key comes first, so that a root key the system keeps open for
// good is never one of the store's.
NTSTATUS openShown(const OverlayKey* key, ACCESS_MASK access, HANDLE* handle)
{
    NTSTATUS status = space.keyDeleted(key) ? NT_NAME_NOT_FOUND : space.openReal(key, access, handle);
    if (status == NT_OK) return status;
    return space.openIn(key, TREE_WRITES, access, handle) == NT_OK ? NT_OK : status;
}

// A store key that holds nothing and hides nothing is removed, and so is each key above it
// that then holds nothing either: a key made and deleted again leaves no trace.
void pruneStore(const OverlayKey* start)
{
    OverlayKey key = *start;
    do {
        HANDLE store;
        if (space.openIn(&key, TREE_WRITES, KEY_READ | DELETE, &store) != NT_OK) continue;
        KeyFullRecord full;
        ULONG needed;
        bool empty = space.nt.queryKey(store, KEY_FULL_INFORMATION, &full, sizeof full, &needed) == NT_OK &&
                     full.subkeys == 0 && full.values == 0;
        if (empty && key.length > 0 && space.existsInReal(&key)) space.nt.deleteKey(store);
        space.nt.close(store);
        if (!empty) return;
    } while (space.parentOf(&key, &key));
}

bool markDeleted(const OverlayKey* key, OverlayTree tree, UNICODE_STRING* name)
{
    HANDLE marks;
    if (space.createIn(key, tree, KEY_SET_VALUE, 0, &marks) != NT_OK) return false;
    UNICODE_STRING unnamed = {};
    bool marked = space.nt.setValueKey(marks, name != nullptr ? name : &unnamed, 0, REG_NONE, nullptr, 0) == NT_OK;
    space.nt.close(marks);
    if (marked) InterlockedIncrement(&space.deletions);
    return marked;
}

bool realHasValue(const OverlayKey* key, const UNICODE_STRING* name)
{
    HANDLE real;
    if (space.keyDeleted(key) || space.valueDeleted(key, name)) return false;
    if (space.openReal(key, KEY_QUERY_VALUE, &real) != NT_OK) return false;
    bool found = space.hasValue(real, name);
    space.nt.close(real);
    return found;
}

// A key asked to exist is part of what is written even where the real registry has it
// already, so that what a component writes does not depend on whether it was registered
// before. The caller keeps the handle it was given: reads see what they saw.
void keepCreated(const OverlayKey* key)
{
    HANDLE store;
    if (key->length == 0) return;
    if (space.openIn(key, TREE_WRITES, KEY_QUERY_VALUE, &store) != NT_OK) {
        if (space.createIn(key, TREE_WRITES, KEY_QUERY_VALUE, 0, &store) != NT_OK) return;
        space.changed();
    }
    space.nt.close(store);
}

NTSTATUS NTAPI overlayCreateKey(HANDLE* handle, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, ULONG titleIndex,
                                UNICODE_STRING* className, ULONG options, ULONG* disposition)
{
    OverlayKey key;
    KeyPlace place = space.locate(attributes->RootDirectory, attributes->ObjectName, &key);
    if (place == PLACE_OUTSIDE) {
        return space.nt.createKey(handle, access, attributes, titleIndex, className, options, disposition);
    }
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    NTSTATUS status = openShown(&key, access, handle);
    if (status == NT_OK) {
        if (disposition != nullptr) *disposition = REG_OPENED_EXISTING_KEY;
        keepCreated(&key);
        return status;
    }
    if (status != NT_NAME_NOT_FOUND && status != NT_PATH_NOT_FOUND) return status;
    status = space.createIn(&key, TREE_WRITES, access, options, handle);
    if (status != NT_OK) return status;
    if (disposition != nullptr) *disposition = REG_CREATED_NEW_KEY;
    space.changed();
    return status;
}

NTSTATUS NTAPI overlayOpenKeyEx(HANDLE* handle, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, ULONG options)
{
    OverlayKey key;
    KeyPlace place = space.locate(attributes->RootDirectory, attributes->ObjectName, &key);
    if (place == PLACE_OUTSIDE) return space.nt.openKeyEx(handle, access, attributes, options);
    return place == PLACE_TOO_LONG ? NT_NAME_TOO_LONG : openShown(&key, access, handle);
}

NTSTATUS NTAPI overlayOpenKey(HANDLE* handle, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes)
{
    OverlayKey key;
    KeyPlace place = space.locate(attributes->RootDirectory, attributes->ObjectName, &key);
    if (place == PLACE_OUTSIDE) return space.nt.openKey(handle, access, attributes);
    return place == PLACE_TOO_LONG ? NT_NAME_TOO_LONG : openShown(&key, access, handle);
}

NTSTATUS NTAPI overlaySetValueKey(HANDLE handle, UNICODE_STRING* name, ULONG titleIndex, ULONG type, void* data,
                                  ULONG size)
{
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    if (place == PLACE_OUTSIDE) return space.nt.setValueKey(handle, name, titleIndex, type, data, size);
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    HANDLE store;
    NTSTATUS status = space.createIn(&key, TREE_WRITES, KEY_SET_VALUE, 0, &store);
    if (status != NT_OK) return status;
    status = space.nt.setValueKey(store, name, titleIndex, type, data, size);
    space.nt.close(store);
    HANDLE marks;
    if (status == NT_OK && space.deletions > 0 && space.openIn(&key, TREE_DELETED_VALUES, KEY_SET_VALUE, &marks) == NT_OK) {
        space.nt.deleteValueKey(marks, name);
        space.nt.close(marks);
    }
    space.changed();
    return status;
}

NTSTATUS NTAPI overlayQueryValueKey(HANDLE handle, UNICODE_STRING* name, ULONG kind, void* answer, ULONG length,
                                    ULONG* resultLength)
{
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    if (place == PLACE_OUTSIDE) return space.nt.queryValueKey(handle, name, kind, answer, length, resultLength);
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    HANDLE source;
    if (space.openIn(&key, TREE_WRITES, KEY_QUERY_VALUE, &source) == NT_OK) {
        NTSTATUS status = space.nt.queryValueKey(source, name, kind, answer, length, resultLength);
        space.nt.close(source);
        if (status != NT_NAME_NOT_FOUND) return status;
    }
    if (space.keyDeleted(&key) || space.valueDeleted(&key, name)) return NT_NAME_NOT_FOUND;
    if (!key.inStore) return space.nt.queryValueKey(handle, name, kind, answer, length, resultLength);
    NTSTATUS status = space.openReal(&key, KEY_QUERY_VALUE, &source);
    if (status != NT_OK) return status;
    status = space.nt.queryValueKey(source, name, kind, answer, length, resultLength);
    space.nt.close(source);
    return status;
}

NTSTATUS NTAPI overlayDeleteValueKey(HANDLE handle, UNICODE_STRING* name)
{
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    if (place == PLACE_OUTSIDE) return space.nt.deleteValueKey(handle, name);
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    bool marks = space.keepsDeletions(&key, TREE_DELETED_VALUES);
    bool inReal = realHasValue(&key, name);
    if (inReal && marks && !markDeleted(&key, TREE_DELETED_VALUES, name)) return NT_ACCESS_DENIED;
    HANDLE store;
    bool removed = false;
    if (space.openIn(&key, TREE_WRITES, KEY_SET_VALUE, &store) == NT_OK) {
        removed = space.nt.deleteValueKey(store, name) == NT_OK;
        space.nt.close(store);
    }
    // Without marks, a value only the real registry holds stays; one the store holds is deleted
    // there, and the real one shows through again.
    if (!removed) {
        if (!inReal) return NT_NAME_NOT_FOUND;
        if (!marks) return NT_ACCESS_DENIED;
    }
    if (removed && marks) pruneStore(&key);
    space.changed();
    return NT_OK;
}

ULONG shownSubkeys(const OverlayKey* key, HANDLE handle)
{
    if (space.overlaid(key)) return listings.count(&space, LIST_SUBKEYS, key);
    // The fixed part comes back even when the class name does not fit.
    KeyFullRecord full;
    ULONG needed;
    NTSTATUS status = space.nt.queryKey(handle, KEY_FULL_INFORMATION, &full, sizeof full, &needed);
    return status == NT_OK || status == NT_BUFFER_OVERFLOW ? full.subkeys : 0;
}

// Where the store keeps no marks (a user's own classes), a deletion is the store's: its key goes
// as the system deletes one, and the real key shows through again, as the machine's class does
// once the user's is removed. A key only the real registry holds stays.
NTSTATUS deleteStoredKey(const OverlayKey* key)
{
    HANDLE store;
    if (space.openIn(key, TREE_WRITES, DELETE, &store) != NT_OK) {
        return space.existsInReal(key) ? NT_ACCESS_DENIED : NT_NAME_NOT_FOUND;
    }
    NTSTATUS status = space.nt.deleteKey(store);
    space.nt.close(store);
    if (status == NT_OK) space.changed();
    return status;
}

NTSTATUS NTAPI overlayDeleteKey(HANDLE handle)
{
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    if (place == PLACE_OUTSIDE) return space.nt.deleteKey(handle);
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    if (key.length == 0) return NT_ACCESS_DENIED;
    if (!space.keepsDeletions(&key, TREE_DELETED_KEYS)) return deleteStoredKey(&key);
    // As the system does: a key with subkeys stays.
    if (shownSubkeys(&key, handle) > 0) return NT_ACCESS_DENIED;
    bool inReal = space.existsInReal(&key);
    if (inReal && !markDeleted(&key, TREE_DELETED_KEYS, nullptr)) return NT_ACCESS_DENIED;
    HANDLE store;
    bool removed = false;
    if (space.openIn(&key, TREE_WRITES, DELETE, &store) == NT_OK) {
        removed = space.nt.deleteKey(store) == NT_OK;
        space.nt.close(store);
    }
    // Values marked deleted in a key that is gone are deleted with it.
    if (space.openIn(&key, TREE_DELETED_VALUES, KEY_ALL_ACCESS, &store) == NT_OK) {
        space.removeTree(store);
        space.nt.close(store);
    }
    if (!removed && !inReal) return NT_NAME_NOT_FOUND;
    OverlayKey parent;
    if (space.parentOf(&key, &parent)) pruneStore(&parent);
    space.changed();
    return NT_OK;
}

NTSTATUS enumerateShown(ListingKind kind, HANDLE handle, ULONG index, ULONG infoClass, void* answer, ULONG length,
                        ULONG* resultLength)
{
    EnumerateKeyFunction enumerate = kind == LIST_SUBKEYS ? space.nt.enumerateKey : space.nt.enumerateValueKey;
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    if (place == PLACE_OUTSIDE || (place == PLACE_OVERLAID && !space.overlaid(&key))) {
        return enumerate(handle, index, infoClass, answer, length, resultLength);
    }
    if (place == PLACE_TOO_LONG) return NT_NAME_TOO_LONG;
    ListingEntry entry;
    if (!listings.entryAt(&space, kind, &key, index, &entry)) return NT_NO_MORE_ENTRIES;
    ACCESS_MASK access = kind == LIST_SUBKEYS ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE;
    HANDLE source;
    NTSTATUS status = entry.inStore ? space.openIn(&key, TREE_WRITES, access, &source) : space.openReal(&key, access, &source);
    if (status != NT_OK) return status;
    status = enumerate(source, entry.index, infoClass, answer, length, resultLength);
    space.nt.close(source);
    return status;
}

NTSTATUS NTAPI overlayEnumerateKey(HANDLE handle, ULONG index, ULONG infoClass, void* answer, ULONG length,
                                   ULONG* resultLength)
{
    return enumerateShown(LIST_SUBKEYS, handle, index, infoClass, answer, length, resultLength);
}

NTSTATUS NTAPI overlayEnumerateValueKey(HANDLE handle, ULONG index, ULONG infoClass, void* answer, ULONG length,
                                        ULONG* resultLength)
{
    return enumerateShown(LIST_VALUES, handle, index, infoClass, answer, length, resultLength);
}

void widen(ULONG* longest, ULONG other)
{
    if (other > *longest) *longest = other;
}

// Lays the store over the counts and longest lengths the key's own record gave: the longest of
// both sides, and the counts of what the overlaid key shows. longestClass is the full record's.
template <typename Record>
void overlayCounts(const OverlayKey* key, Record* record, ULONG* longestClass)
{
    HANDLE other;
    NTSTATUS opened = key->inStore ? space.openReal(key, KEY_QUERY_VALUE, &other)
                                   : space.openIn(key, TREE_WRITES, KEY_QUERY_VALUE, &other);
    if (opened == NT_OK) {
        KeyFullRecord full;
        ULONG needed;
        NTSTATUS status = space.nt.queryKey(other, KEY_FULL_INFORMATION, &full, sizeof full, &needed);
        if (status == NT_OK || status == NT_BUFFER_OVERFLOW) {
            widen(&record->longestSubkeyName, full.longestSubkeyName);
            if (longestClass != nullptr) widen(longestClass, full.longestClass);
            widen(&record->longestValueName, full.longestValueName);
            widen(&record->longestValueData, full.longestValueData);
        }
        space.nt.close(other);
    }
    record->subkeys = listings.count(&space, LIST_SUBKEYS, key);
    record->values = listings.count(&space, LIST_VALUES, key);
}

NTSTATUS NTAPI overlayQueryKey(HANDLE handle, ULONG infoClass, void* answer, ULONG length, ULONG* resultLength)
{
    OverlayKey key;
    KeyPlace place = space.locate(handle, nullptr, &key);
    bool counted = infoClass == KEY_FULL_INFORMATION || infoClass == KEY_CACHED_INFORMATION;
    if (place == PLACE_OVERLAID && infoClass == KEY_NAME_INFORMATION && key.inStore) {
        return reportName(&key, (KeyNameRecord*)answer, length, resultLength);
    }
    NTSTATUS status = space.nt.queryKey(handle, infoClass, answer, length, resultLength);
    // The fixed part, with the counts, comes back even when the class or name does not fit.
    ULONG fixedPart = infoClass == KEY_FULL_INFORMATION ? sizeof(KeyFullRecord) : sizeof(KeyCachedRecord);
    bool filled = status == NT_OK || (status == NT_BUFFER_OVERFLOW && length >= fixedPart);
    if (place != PLACE_OVERLAID || !counted || !filled || !space.overlaid(&key)) return status;
    if (infoClass == KEY_FULL_INFORMATION) {
        KeyFullRecord* full = (KeyFullRecord*)answer;
        overlayCounts(&key, full, &full->longestClass);
    } else {
        overlayCounts(&key, (KeyCachedRecord*)answer, nullptr);
    }
    return status;
}

bool redirectLoadedModules(bool toOverlay);

// A module whose calls could not all be redirected would write the real registry: it is not
// loaded, and the loader reports the system's error (a status of the Win32 facility).
NTSTATUS NTAPI overlayLoadDll(const WCHAR* path, ULONG_PTR flags, UNICODE_STRING* name, HMODULE* module)
{
    NTSTATUS status = space.nt.loadDll(path, flags, name, module);
    if (status < 0 || redirectLoadedModules(true)) return status;
    DWORD error = GetLastError();
    FreeLibrary(*module);
    *module = nullptr;
    return (NTSTATUS)(0xC0070000 | (error & 0xFFFF));
}

bool redirectLoadedModules(bool toOverlay)
{
    const NtRegistry& nt = space.nt;
    void* const pairs[][2] = {
        {(void*)nt.createKey, (void*)overlayCreateKey},
        {(void*)nt.openKey, (void*)overlayOpenKey},
        {(void*)nt.openKeyEx, (void*)overlayOpenKeyEx},
        {(void*)nt.setValueKey, (void*)overlaySetValueKey},
        {(void*)nt.queryValueKey, (void*)overlayQueryValueKey},
        {(void*)nt.deleteKey, (void*)overlayDeleteKey},
        {(void*)nt.deleteValueKey, (void*)overlayDeleteValueKey},
        {(void*)nt.enumerateKey, (void*)overlayEnumerateKey},
        {(void*)nt.enumerateValueKey, (void*)overlayEnumerateValueKey},
        {(void*)nt.queryKey, (void*)overlayQueryKey},
        {(void*)nt.loadDll, (void*)overlayLoadDll},
    };
    const int count = sizeof pairs / sizeof pairs[0];
    ImportRedirect redirects[count];
    for (int index = 0; index < count; index++) {
        redirects[index].from = pairs[index][toOverlay ? 0 : 1];
        redirects[index].to = pairs[index][toOverlay ? 1 : 0];
        // Where the system lacks a function, nothing is redirected to or from it.
        if (pairs[index][0] == nullptr) redirects[index].from = nullptr;
    }
    return redirectImports(redirects, count);
}

}  // namespace

bool installRegistryOverlay(const OverlayStore* store)
{
    if (!space.nt.load()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    if (!space.prepare(store)) return false;
    listings.reset();
    if (redirectLoadedModules(true)) return true;
    DWORD error = GetLastError();
    redirectLoadedModules(false);
    listings.reset();
    SetLastError(error);
    return false;
}

void removeRegistryOverlay()
{
    redirectLoadedModules(false);
    listings.reset();
}
