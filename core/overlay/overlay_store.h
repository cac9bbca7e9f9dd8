// Where an overlay keeps what the process writes: for each root, a registry key holding what
// was written under that root, in the same layout, and where deletions are kept, a tree of
// keys deleted from the real registry and one of values deleted from it.
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
