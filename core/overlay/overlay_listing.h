// The subkeys and values of an overlaid key as the overlay shows them: the store's first, then
// the real registry's that the store neither holds nor marks deleted. Each entry says where the
// system's own enumeration finds it. The last listing of each kind is kept until the key or
// the overlay changes, so that enumerating a key asks the registry for its listing once. Any
// thread; one lock for both kinds.
#pragma once

#include "core/overlay/overlay_space.h"

struct ListingEntry {
    bool inStore;
    ULONG index;
};

enum ListingKind { LIST_SUBKEYS, LIST_VALUES, LISTING_KIND_COUNT };

struct OverlayListing {
    LONG generation;
    WCHAR keyName[OVERLAY_PATH_CAPACITY];  // the real name of the listed key; empty: none
    ListingEntry* entries;
    ULONG count;
    ULONG capacity;

    void build(const OverlaySpace* space, ListingKind kind, const OverlayKey* key);
    void addStored(const NtRegistry& nt, ListingKind kind, HANDLE store);
    // What the real registry holds of the key and the store neither holds nor deleted.
    void addSubkeys(const OverlaySpace* space, const OverlayKey* key, HANDLE store);
    void addValues(const OverlaySpace* space, const OverlayKey* key, HANDLE store);
    void add(bool inStore, ULONG index);
    void clear();
};

struct OverlayListings {
    CRITICAL_SECTION lock;
    bool lockMade;
    OverlayListing kinds[LISTING_KIND_COUNT];

    void reset();
    // False past the last entry.
    bool entryAt(const OverlaySpace* space, ListingKind kind, const OverlayKey* key, ULONG index, ListingEntry* entry);
    ULONG count(const OverlaySpace* space, ListingKind kind, const OverlayKey* key);

    OverlayListing* current(const OverlaySpace* space, ListingKind kind, const OverlayKey* key);
};
