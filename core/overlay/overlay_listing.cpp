#include "core/overlay/overlay_listing.h"

#include <string.h>

#include "core/jobs/heap.h"

namespace {

const ULONG FIRST_CAPACITY = 64;

}  // namespace

void OverlayListing::add(bool inStore, ULONG index)
{
    if (count == capacity) {
        ULONG grown = capacity == 0 ? FIRST_CAPACITY : capacity * 2;
        ListingEntry* larger = (ListingEntry*)allocateZeroed(grown * sizeof(ListingEntry));
        if (larger == nullptr) return;
        if (entries != nullptr) memcpy(larger, entries, count * sizeof(ListingEntry));
        freeBlock(entries);
        entries = larger;
        capacity = grown;
    }
    entries[count++] = ListingEntry{inStore, index};
}

void OverlayListing::clear()
{
    freeBlock(entries);
    entries = nullptr;
    count = capacity = 0;
    keyName[0] = L'\0';
}

// What the store holds of the key comes first, in the store's order.
void OverlayListing::addStored(const NtRegistry& nt, ListingKind kind, HANDLE store)
{
    BYTE record[RECORD_CAPACITY];
    ULONG needed;
    for (ULONG index = 0;; index++) {
        NTSTATUS status = kind == LIST_SUBKEYS
                              ? nt.enumerateKey(store, index, KEY_BASIC_INFORMATION, record, sizeof record, &needed)
                              : nt.enumerateValueKey(store, index, VALUE_BASIC_INFORMATION, record, sizeof record, &needed);
        if (status != NT_OK && status != NT_BUFFER_OVERFLOW) break;
        add(true, index);
    }
}

void OverlayListing::addSubkeys(const OverlaySpace* space, const OverlayKey* key, HANDLE store)
{
    const NtRegistry& nt = space->nt;
    BYTE record[RECORD_CAPACITY];
    const KeyBasicRecord* found = (const KeyBasicRecord*)record;
    ULONG needed;
    HANDLE real, marks = nullptr;
    if (space->keyDeleted(key) || space->openReal(key, KEY_ENUMERATE_SUB_KEYS, &real) != NT_OK) return;
    if (space->deletions > 0) space->openIn(key, TREE_DELETED_KEYS, KEY_QUERY_VALUE, &marks);
    for (ULONG index = 0; nt.enumerateKey(real, index, KEY_BASIC_INFORMATION, record, sizeof record, &needed) == NT_OK;
         index++) {
        size_t length = found->nameLength / sizeof(WCHAR);
        if (store != nullptr && space->hasChild(store, found->name, length)) continue;
        HANDLE mark;
        if (marks != nullptr && space->open(marks, found->name, length, KEY_QUERY_VALUE, &mark) == NT_OK) {
            bool deleted = space->markedDeleted(mark);
            nt.close(mark);
            if (deleted) continue;
        }
        add(false, index);
    }
    if (marks != nullptr) nt.close(marks);
    nt.close(real);
}

void OverlayListing::addValues(const OverlaySpace* space, const OverlayKey* key, HANDLE store)
{
    const NtRegistry& nt = space->nt;
    BYTE record[RECORD_CAPACITY];
    const ValueBasicRecord* found = (const ValueBasicRecord*)record;
    ULONG needed;
    HANDLE real, marks = nullptr;
    if (space->keyDeleted(key) || space->openReal(key, KEY_QUERY_VALUE, &real) != NT_OK) return;
    if (space->deletions > 0) space->openIn(key, TREE_DELETED_VALUES, KEY_QUERY_VALUE, &marks);
    for (ULONG index = 0;; index++) {
        NTSTATUS status = nt.enumerateValueKey(real, index, VALUE_BASIC_INFORMATION, record, sizeof record, &needed);
        if (status != NT_OK && status != NT_BUFFER_OVERFLOW) break;
        // A name too long for the record cannot be held or marked by a store of this overlay.
        if (status == NT_OK) {
            UNICODE_STRING name;
            name.Buffer = (WCHAR*)found->name;
            name.Length = name.MaximumLength = (USHORT)found->nameLength;
            if (store != nullptr && space->hasValue(store, &name)) continue;
            if (marks != nullptr && space->hasValue(marks, &name)) continue;
        }
        add(false, index);
    }
    if (marks != nullptr) nt.close(marks);
    nt.close(real);
}

void OverlayListing::build(const OverlaySpace* space, ListingKind kind, const OverlayKey* key)
{
    clear();
    if (!space->realName(key, keyName)) return;
    generation = space->generation;
    HANDLE store;
    if (space->openIn(key, TREE_WRITES, KEY_READ, &store) != NT_OK) store = nullptr;
    if (store != nullptr) addStored(space->nt, kind, store);
    if (kind == LIST_SUBKEYS) addSubkeys(space, key, store);
    else addValues(space, key, store);
    if (store != nullptr) space->nt.close(store);
}

void OverlayListings::reset()
{
    if (!lockMade) InitializeCriticalSection(&lock);
    lockMade = true;
    EnterCriticalSection(&lock);
    for (OverlayListing& listing : kinds) listing.clear();
    LeaveCriticalSection(&lock);
}

OverlayListing* OverlayListings::current(const OverlaySpace* space, ListingKind kind, const OverlayKey* key)
{
    OverlayListing* listing = &kinds[kind];
    WCHAR name[OVERLAY_PATH_CAPACITY];
    if (!space->realName(key, name)) return nullptr;
    if (listing->generation != space->generation || CompareStringOrdinal(listing->keyName, -1, name, -1, TRUE) != CSTR_EQUAL) {
        listing->build(space, kind, key);
    }
    return listing;
}

bool OverlayListings::entryAt(const OverlaySpace* space, ListingKind kind, const OverlayKey* key, ULONG index,
                              ListingEntry* entry)
{
    EnterCriticalSection(&lock);
    OverlayListing* listing = current(space, kind, key);
    bool found = listing != nullptr && index < listing->count;
    if (found) *entry = listing->entries[index];
    LeaveCriticalSection(&lock);
    return found;
}

ULONG OverlayListings::count(const OverlaySpace* space, ListingKind kind, const OverlayKey* key)
{
    EnterCriticalSection(&lock);
    OverlayListing* listing = current(space, kind, key);
    ULONG entries = listing != nullptr ? listing->count : 0;
    LeaveCriticalSection(&lock);
    return entries;
}
