// An overlay that cannot be laid whole is not laid at all: the item's load fails with the
// system's error, and the process's registry calls reach the registry as they did before.
#include <gtest/gtest.h>

#include "core/capture/registry_capture.h"
#include "core/overlay/import_patcher.h"
#include "core/overlay/registry_overlay.h"
#include "tests/support/test_paths.h"

namespace {

int protectCalls;

// Fails the second slot's rewrite only, so that the first one can be given back.
BOOL WINAPI failSecondRewrite(void* address, SIZE_T size, DWORD protection, DWORD* former)
{
    if (++protectCalls == 3) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    return VirtualProtect(address, size, protection, former);
}

// Asked of ntdll's own function, past any rewritten slot.
bool realUserKeyExists(const WCHAR* path)
{
    NtRegistry nt;
    WCHAR name[OVERLAY_PATH_CAPACITY];
    if (!nt.load() || !currentUserKeyName(name, OVERLAY_PATH_CAPACITY)) return false;
    lstrcatW(name, path);
    UNICODE_STRING text = {(USHORT)(lstrlenW(name) * sizeof(WCHAR)), (USHORT)(lstrlenW(name) * sizeof(WCHAR)), name};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &text;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    HANDLE key;
    if (nt.openKey(&key, KEY_READ, &attributes) != NT_OK) return false;
    nt.close(key);
    return true;
}

}  // namespace

TEST(RegistryOverlay, ASlotThatCannotBeRewrittenLaysNoOverlay)
{
    ScratchDirectory scratch("overlay");
    RegistryCapture capture = {};
    ASSERT_TRUE(capture.begin(scratch.file("out.reg").c_str()));
    ASSERT_TRUE(capture.prepareItem());
    protectCalls = 0;
    protectImportSlot = failSecondRewrite;
    bool laid = overlayScratchKeys(capture.scratchKey);
    DWORD error = GetLastError();
    protectImportSlot = VirtualProtect;
    EXPECT_FALSE(laid);
    EXPECT_EQ((DWORD)ERROR_NOACCESS, error);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\PlinthoraOverlayTest", 0, nullptr, 0,
                                             KEY_READ, nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_TRUE(realUserKeyExists(L"\\Software\\PlinthoraOverlayTest"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PlinthoraOverlayTest");
    EXPECT_TRUE(capture.end());
}
