// The roots a capture keeps apart, in the overlay's order, by the names the registry editor
// and the scratch keys use.
#pragma once

#include <windows.h>

#include "core/overlay/overlay_store.h"

struct CapturedRoot {
    const char* name;
    const WCHAR* wideName;
    HKEY key;  // the real root
};

extern const CapturedRoot CAPTURED_ROOTS[OVERLAY_ROOT_COUNT];

// Where classes are registered below a hive: the machine's below HKEY_LOCAL_MACHINE, and those
// of an item with /c below HKEY_CURRENT_USER.
extern const WCHAR CLASSES_PATH[];
