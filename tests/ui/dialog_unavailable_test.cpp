// Built without the program's resources, so the item dialog cannot be shown at all: the
// commands must then change nothing, as after Cancel.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/item_commands.h"
#include "ui/item_dialog.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

int busyAnnouncements = 0;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam)
{
    if (message == MSG_SET_BUSY) busyAnnouncements++;
    return DefWindowProcA(window, message, wordParam, longParam);
}

}  // namespace

TEST(DialogUnavailable, EditAndAddChangeNothing)
{
    WNDCLASSA ownerClass = {};
    ownerClass.lpfnWndProc = ownerProc;
    ownerClass.hInstance = GetModuleHandleA(nullptr);
    ownerClass.lpszClassName = "owner";
    RegisterClassA(&ownerClass);
    HWND owner = CreateWindowExA(0, "owner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    ASSERT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ITEM), owner, nullptr, 0), -1)
        << "the test needs a dialog that cannot be shown";

    ItemListView list = {};
    ASSERT_TRUE(list.create(owner));
    // Two selected rows: a dialog taken for OK would clear their switches.
    ComponentItem* items[2];
    for (int row = 0; row < 2; row++) {
        items[row] = newComponentItem();
        lstrcpyA(items[row]->path, "kept.dll");
        items[row]->switches.unregister = 1;
        appendItem(items[row], list.window);
    }
    LVITEMA selected = {};
    selected.stateMask = selected.state = LVIS_SELECTED;
    SendMessageA(list.window, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&selected);

    onEdit(owner, &list);
    for (ComponentItem* item : items) {
        EXPECT_STREQ(item->path, "kept.dll");
        EXPECT_EQ(item->switches.unregister, 1);
    }

    // A started add would announce its worker at once.
    onAdd(owner, &list);
    EXPECT_EQ(busyAnnouncements, 0);

    list.deleteAll();
    DestroyWindow(owner);
}
