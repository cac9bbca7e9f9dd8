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

// Each context-menu command has its status-bar help under the same identifier (the menus
// themselves are looked at on the real window).
TEST(Resources, ContextMenuCommandsHaveTheirHelpTexts)
{
    const std::pair<UINT, const char*> helpTexts[] = {
        {IDM_EDIT, "選択したアイテムを編集"}, {IDM_DELETE, "選択したアイテムを削除"}, {IDM_DELETE_ALL, "すべてのアイテムを削除"},
        {IDM_CAPTURE, "すべてのアイテムを登録せずに、書き込まれる内容をファイルに書き出す"},
        {IDM_CHECK, "選択したアイテムが登録されているかを、何も変えずに確かめる"}};
    for (const auto& help : helpTexts) {
        char text[128] = "";
        LoadStringA(self(), help.first, text, sizeof text);
        EXPECT_STREQ(text, help.second) << "command " << help.first;
    }
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
