// The registry as this process sees it while its writes are kept apart: once installed, every
// key and value any module of the process reads is the real one with a store's content laid
// over it, and every write and deletion under an overlaid root goes to the store. The real
// registry is never written under those roots.
//
// The overlay sits below every registry function of the system: it replaces the native
// registry calls in the import tables of the loaded modules, and of each module loaded later.
// A key is named by its root and its path below the root, whichever way it was opened: by a
// handle of a predefined key, by its native name, or by a handle of a store key.
//
// A store is a registry key for each root that holds what was written under that root, in the
// same layout; where a store keeps deletions, a key deleted from the real registry is marked in
// one tree (a key with an empty REG_NONE default value) and a deleted value in another (a
// REG_NONE value of the same name). Without them, what only the real registry holds cannot be
// deleted. Install and remove on one thread, with no other thread in a registry call; between
// them, any thread.
#pragma once

#include <windows.h>

enum OverlayRoot {
    OVERLAY_CLASSES_ROOT,
    OVERLAY_LOCAL_MACHINE,
    OVERLAY_CURRENT_USER,
    OVERLAY_USERS,
    OVERLAY_CURRENT_CONFIG,
    OVERLAY_ROOT_COUNT
};

// Native key names run to 32767 characters; an overlaid key whose name is longer than this
// cannot be written or read.
const size_t OVERLAY_PATH_CAPACITY = 1024;

// Native key names (\Registry\...); an empty one is not kept.
struct OverlayStoreRoot {
    WCHAR writes[OVERLAY_PATH_CAPACITY];  // empty: the root is not overlaid
    WCHAR deletedKeys[OVERLAY_PATH_CAPACITY];
    WCHAR deletedValues[OVERLAY_PATH_CAPACITY];
};

struct OverlayStore {
    OverlayStoreRoot roots[OVERLAY_ROOT_COUNT];
};

// The native name of the current user's key (\Registry\User\<SID>), where a store can live.
bool currentUserKeyName(WCHAR* name, size_t capacity);

// False, with nothing changed, when the system lacks what the overlay needs.
bool installRegistryOverlay(const OverlayStore* store);
void removeRegistryOverlay();
