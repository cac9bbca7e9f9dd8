// The roots a capture keeps apart, in the overlay's order, by the names the registry editor
// and the scratch keys use.
#pragma once

#include <windows.h>

#include "core/overlay/overlay_store.h"

struct CapturedRoot {
    const char* name;
    const WCHAR* wideName;
};

extern const CapturedRoot CAPTURED_ROOTS[OVERLAY_ROOT_COUNT];

// Where the classes of an item with /c are registered, below HKEY_CURRENT_USER.
extern const WCHAR USER_CLASSES_PATH[];
