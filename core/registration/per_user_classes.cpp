#include "core/registration/per_user_classes.h"

#include <windows.h>

bool redirectClassesToUser()
{
    // Opened from the worker's own architecture: a 32-bit worker's handle leads to the 32-bit
    // view of the user's classes, where 32-bit programs look for them.
    HKEY classes;
    LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                                 nullptr);
    if (error == ERROR_SUCCESS) {
        error = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
        RegCloseKey(classes);
    }
    if (error == ERROR_SUCCESS) return true;
    SetLastError((DWORD)error);
    return false;
}

void restoreClassesRoot()
{
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
}
