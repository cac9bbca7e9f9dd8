// What the registry overlay knows while it is installed: the system's own registry functions,
// the store, and how native key names map to a root and a path below it. Every registry call
// it makes goes to the system's own functions, so that its access to the store and to the real
// registry bypasses the overlay. Any thread; what changes is changed with interlocked calls.
#pragma once

#include "core/overlay/key_names.h"
#include "core/overlay/nt_registry.h"
#include "core/overlay/overlay_store.h"

// A key as the overlay names it.
struct OverlayKey {
    int root;
    bool inStore;  // named through a store key
    size_t length;
    WCHAR path[OVERLAY_PATH_CAPACITY];  // below the root, without a leading backslash
};

enum OverlayTree { TREE_WRITES, TREE_DELETED_KEYS, TREE_DELETED_VALUES };

enum KeyPlace { PLACE_OUTSIDE, PLACE_OVERLAID, PLACE_TOO_LONG };

// A native name that stands for a root, or for a path below one (the user's classes).
struct RootPrefix {
    WCHAR name[OVERLAY_PATH_CAPACITY];
    int root;
    const WCHAR* path;
};

const int ROOT_PREFIX_COUNT = 8;
// Names in a record read back by a listing or a lookup are at most this long: key names have
// 255 characters at most, and a longer value name only needs to be known to exist.
const size_t RECORD_CAPACITY = 1024;

struct OverlaySpace {
    NtRegistry nt;
    OverlayStore store;
    WCHAR realRoots[OVERLAY_ROOT_COUNT][OVERLAY_PATH_CAPACITY];
    RootPrefix prefixes[ROOT_PREFIX_COUNT];
    bool underWow64;  // a 32-bit process on a 64-bit system
    volatile LONG deletions;   // marks made since the overlay was installed
    volatile LONG generation;  // changes made since the overlay was installed

    bool prepare(const OverlayStore* overlayStore);
    // A prefix for the name the system gives the key a link leads to.
    void linkPrefix(RootPrefix* prefix, int root, const WCHAR* path, const WCHAR* link) const;
    // The native name of an open key; NT_BUFFER_OVERFLOW when it is too long.
    NTSTATUS nameOf(HANDLE key, WCHAR* name, size_t* length) const;

    // The key named by a handle and a name relative to it (either may be missing).
    KeyPlace locate(HANDLE parent, const UNICODE_STRING* name, OverlayKey* key) const;
    void dropRedirection(OverlayKey* key) const;
    bool parentOf(const OverlayKey* key, OverlayKey* parent) const;
    // The native name of the key in the real registry, or in one of the store's trees; false
    // for a tree the store does not keep.
    bool realName(const OverlayKey* key, WCHAR* name) const;
    bool treeName(const OverlayKey* key, OverlayTree tree, WCHAR* name) const;

    NTSTATUS open(HANDLE parent, const WCHAR* name, size_t length, ACCESS_MASK access, HANDLE* key) const;
    NTSTATUS create(const WCHAR* name, ACCESS_MASK access, ULONG options, HANDLE* key) const;
    // The real key, opened for reading whatever the caller asked: writes never reach it.
    NTSTATUS openReal(const OverlayKey* key, ACCESS_MASK access, HANDLE* handle) const;
    NTSTATUS openIn(const OverlayKey* key, OverlayTree tree, ACCESS_MASK access, HANDLE* handle) const;
    NTSTATUS createIn(const OverlayKey* key, OverlayTree tree, ACCESS_MASK access, ULONG options, HANDLE* handle) const;
    void removeTree(HANDLE key) const;

    // Whether the store marks the real registry's keys or values (the tree says which) deleted
    // under the key's root; without marks, only what the store holds can be deleted.
    bool keepsDeletions(const OverlayKey* key, OverlayTree tree) const;
    bool hasValue(HANDLE key, const UNICODE_STRING* name) const;
    bool hasChild(HANDLE key, const WCHAR* name, size_t length) const;
    bool markedDeleted(HANDLE key) const;
    // It, or a key above it, was deleted from the real registry.
    bool keyDeleted(const OverlayKey* key) const;
    bool valueDeleted(const OverlayKey* key, const UNICODE_STRING* name) const;
    bool existsInReal(const OverlayKey* key) const;
    // Whether reading the key needs the store at all.
    bool overlaid(const OverlayKey* key) const;
    void changed();
};
