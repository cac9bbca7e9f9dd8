// The compiled resources as the program reads them: through the ANSI API, with code page 932.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "version.h"

namespace {

HINSTANCE self() { return GetModuleHandleA(nullptr); }

std::string versionValue(const std::vector<char>& block, const char* name)
{
    std::string path = std::string("\\StringFileInfo\\041103A4\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return "<missing>";
    return value;
}

TEST(Resources, VersionBlockCarriesTheProjectVersionAndJapaneseTexts)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(exe, &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe, 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(PLINTHORA_VERSION_MINOR, PLINTHORA_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(0, PLINTHORA_VERSION_PATCH)));

    EXPECT_EQ(versionValue(block, "FileVersion"), PLINTHORA_VERSION_STRING);
    EXPECT_EQ(versionValue(block, "ProductVersion"), PLINTHORA_VERSION_STRING);
    EXPECT_EQ(versionValue(block, "FileDescription"), "Plinthora COM コンポーネント登録ツール");
    EXPECT_EQ(versionValue(block, "OriginalFilename"), "plinthora.exe");
}

// Each context-menu command has its status-bar help under the same identifier.
TEST(Resources, ContextMenusListTheirCommandsEachWithHelpText)
{
    HMENU menu = LoadMenuA(self(), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    const std::vector<std::vector<UINT>> expected = {{IDM_EDIT, IDM_DELETE, 0, IDM_DELETE_ALL}, {IDM_DELETE_ALL}};
    for (int popup = 0; popup < 2; ++popup) {
        HMENU sub = GetSubMenu(menu, popup);
        ASSERT_NE(sub, nullptr);
        std::vector<UINT> ids;
        for (int i = 0; i < GetMenuItemCount(sub); ++i) ids.push_back(GetMenuItemID(sub, i));
        EXPECT_EQ(ids, expected[popup]) << "popup " << popup;
    }
    char text[128];
    ASSERT_GT(GetMenuStringA(GetSubMenu(menu, 0), 1, text, sizeof text, MF_BYPOSITION), 0);
    EXPECT_STREQ(text, "削除(&D)");
    DestroyMenu(menu);

    ASSERT_GT(LoadStringA(self(), IDM_DELETE, text, sizeof text), 0);
    EXPECT_STREQ(text, "選択したアイテムを削除");
    ASSERT_GT(LoadStringA(self(), IDM_DELETE_ALL, text, sizeof text), 0);
    EXPECT_STREQ(text, "すべてのアイテムを削除");
    ASSERT_GT(LoadStringA(self(), IDM_EDIT, text, sizeof text), 0);
    EXPECT_STREQ(text, "選択したアイテムを編集");
}

COLORREF pixelOf(HBITMAP bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return colour;
}

// The toolbar recolours its bitmap through the colour table: only the background may change.
// (The sizes of the drawings are checked where they are drawn.)
TEST(Resources, ToolbarBackgroundFollowsTheButtonFaceAndTheDrawingDoesNot)
{
    HBITMAP plain = LoadBitmapA(self(), MAKEINTRESOURCEA(IDB_TOOLBAR));
    HBITMAP mapped = CreateMappedBitmap(self(), IDB_TOOLBAR, 0, nullptr, 0);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(pixelOf(plain, 0, 0), RGB(192, 192, 192));
    EXPECT_EQ(pixelOf(mapped, 0, 0), GetSysColor(COLOR_BTNFACE));
    // A grey line on the floppy disk's label: near the mapped shadow grey, but not it.
    EXPECT_EQ(pixelOf(mapped, 16 + 7, 8), pixelOf(plain, 16 + 7, 8));
    DeleteObject(plain);
    DeleteObject(mapped);
}

}  // namespace
