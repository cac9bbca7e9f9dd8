#include "core/registration/per_user_classes.h"

#include <windows.h>

#include "core/jobs/heap.h"
#include "core/overlay/registry_overlay.h"

namespace {

const WCHAR USER_CLASSES[] = L"\\Software\\Classes";

}  // namespace

bool overlayUserClasses()
{
    // Made from the worker's own architecture: a 32-bit worker's writes lead to the 32-bit
    // view of the user's classes, where 32-bit programs look for them.
    HKEY classes;
    LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &classes, nullptr);
    if (error != ERROR_SUCCESS) {
        SetLastError((DWORD)error);
        return false;
    }
    RegCloseKey(classes);
    OverlayStore* store = newZeroed<OverlayStore>();
    if (store == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    WCHAR* writes = store->roots[OVERLAY_CLASSES_ROOT].writes;
    bool installed = currentUserKeyName(writes, OVERLAY_PATH_CAPACITY - (sizeof USER_CLASSES / sizeof(WCHAR))) &&
                     lstrcatW(writes, USER_CLASSES) != nullptr && installRegistryOverlay(store);
    DWORD installError = GetLastError();
    freeBlock(store);
    SetLastError(installError);
    return installed;
}

void removeUserClassesOverlay()
{
    removeRegistryOverlay();
}
