#include <gtest/gtest.h>

#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "tests/ui/window_harness.h"
#include "ui/item_list_view.h"

namespace {

const std::vector<UINT> ROW_POPUP = {IDM_EDIT, IDM_DELETE, 0, IDM_DELETE_ALL, 0, IDM_CHECK, IDM_CAPTURE};
const std::vector<UINT> EMPTY_SPACE_POPUP = {IDM_DELETE_ALL, 0, IDM_CAPTURE};

class ItemListViewTest : public MainWindowTest {
protected:
    std::vector<std::string> fileNames() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < rowCount(); ++row) names.push_back(cell(row, 0));
        return names;
    }

    POINT rowCentre(int row) const
    {
        RECT bounds = {};
        bounds.left = LVIR_BOUNDS;
        SendMessageA(list(), LVM_GETITEMRECT, row, (LPARAM)&bounds);
        return {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    }

    // Right-clicks the list at point (its client coordinates) as the control reports it, and
    // lets the watcher look at whatever menu opens; key closes the menu or chooses an entry.
    SeenMenu rightClick(POINT point, bool* menuShown, WPARAM key = VK_ESCAPE, bool keyIsChar = false)
    {
        MenuWatcher watcher(statusBar(), key, keyIsChar);
        NMITEMACTIVATE click = {};
        click.hdr = {list(), IDC_ITEM_LIST, (UINT)NM_RCLICK};
        click.ptAction = point;
        SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&click);
        *menuShown = watcher.finish();
        return watcher.seen;
    }
};

}  // namespace

TEST_F(ItemListViewTest, CellsAndImagesAreComputedFromTheItemAtEveryRequest)
{
    ScratchDirectory scratch("cells");
    std::string present = scratch.file("present.dll");
    writeFileBytes(present, "x");
    std::vector<ComponentItem*> items =
        appendFromWorker({"bare_name.dll", "<sysdir>\\ole32.dll", present, scratch.file("missing.ocx")});
    items[1]->switches.unregister = 1;
    items[1]->switches.callInstall = 1;
    lstrcpyA(items[1]->switches.installCmdLine, "表示");
    items[2]->status = STATUS_REGISTERED;

    const struct {
        std::string fileName, options, status;
        int image;
    } expected[] = {
        {"bare_name.dll", "", "-", 0},
        {systemDirectory() + "\\ole32.dll", "/u /i:表示", "-", 1},
        {present, "", "登録完了", 1},
        {scratch.file("missing.ocx"), "", "-", 2},
    };
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(cell(row, 0), expected[row].fileName) << "row " << row;
        EXPECT_EQ(cell(row, 1), expected[row].options) << "row " << row;
        EXPECT_EQ(cell(row, 2), expected[row].status) << "row " << row;
        EXPECT_EQ(rowImage(row), expected[row].image) << "row " << row;
    }
    DeleteFileA(present.c_str());
    EXPECT_EQ(rowImage(2), 2) << "a file deleted on disk shows the red cross at the next repaint";
}

TEST_F(ItemListViewTest, RowsFromAnotherThreadKeepTheirOrder)
{
    std::vector<std::string> names;
    for (int index = 0; index < 60; ++index) names.push_back("item" + std::to_string(index) + ".dll");
    appendFromWorker(names);
    EXPECT_EQ(fileNames(), names);
}

TEST_F(ItemListViewTest, DeletingFreesExactlyTheRemovedItems)
{
    std::vector<ComponentItem*> items = appendFromWorker({"0.dll", "1.dll", "2.dll", "3.dll", "4.dll"});
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DELETE, 0), 0);
    EXPECT_EQ(rowCount(), 5) << "nothing selected, nothing deleted";

    selectRows({1, 2});
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DELETE, 0), 0);
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"0.dll", "3.dll", "4.dll"}));
    const bool liveAfterDelete[] = {true, false, false, true, true};
    for (int index = 0; index < 5; ++index) EXPECT_EQ(isLiveHeapBlock(items[index]), liveAfterDelete[index]) << index;

    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DELETE_ALL, 0), 0);
    EXPECT_EQ(rowCount(), 0);
    for (ComponentItem* item : items) EXPECT_FALSE(isLiveHeapBlock(item));
    pumpIdle();
    EXPECT_EQ(statusText(1), " アイテム数 : \t\t0 ");
}

TEST_F(ItemListViewTest, UnregisterForAllResetsStatusAndKeepsTheOtherSwitches)
{
    std::vector<ComponentItem*> items = appendFromWorker({"a.dll", "b.dll"});
    items[0]->switches.noRegisterServer = 1;
    items[0]->switches.callInstall = 1;
    lstrcpyA(items[0]->switches.installCmdLine, "cmd");
    items[0]->status = STATUS_REGISTERED;
    items[1]->status = STATUS_LOAD_FAILED;
    lstrcpyA(items[1]->detail, "why");

    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ALL_ADD_U, 0), 0);
    EXPECT_EQ(cell(0, 1), "/u /n /i:cmd");
    EXPECT_EQ(cell(1, 1), "/u ");
    for (int row = 0; row < 2; ++row) EXPECT_EQ(cell(row, 2) + cell(row, 3), "-");

    items[1]->status = STATUS_LOAD_FAILED;
    lstrcpyA(items[1]->detail, "why");
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ALL_REMOVE_U, 0), 0);
    EXPECT_EQ(cell(0, 1), "/n /i:cmd");
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(cell(1, 2) + cell(1, 3), "-");
}

TEST_F(ItemListViewTest, ContextMenuFollowsTheClickAndGreysWhileBusy)
{
    bool shown = false;
    rightClick({20, 40}, &shown);
    EXPECT_FALSE(shown) << "an empty list has no menu";

    appendFromWorker({"a.dll", "b.dll", "c.dll"});
    SeenMenu onRow = rightClick(rowCentre(0), &shown);
    ASSERT_TRUE(shown);
    EXPECT_EQ(onRow.ids, ROW_POPUP);
    EXPECT_EQ(onRow.grayed, std::vector<bool>(7, false));
    EXPECT_EQ(onRow.statusWhileHighlighted, "選択したアイテムを編集");

    POINT belowRows = rowCentre(2);
    belowRows.y += 60;
    SeenMenu onEmptySpace = rightClick(belowRows, &shown);
    ASSERT_TRUE(shown);
    EXPECT_EQ(onEmptySpace.ids, EMPTY_SPACE_POPUP);

    RECT headerItem = {};
    SendMessageA((HWND)SendMessageA(list(), LVM_GETHEADER, 0, 0), HDM_GETITEMRECT, 0, (LPARAM)&headerItem);
    rightClick({10, headerItem.bottom - 2}, &shown);
    EXPECT_FALSE(shown) << "the header band has no menu";

    setBusy(Running);
    SeenMenu whileBusy = rightClick(rowCentre(1), &shown);
    ASSERT_TRUE(shown);
    EXPECT_EQ(whileBusy.grayed, (std::vector<bool>{true, true, false, true, false, true, true}));
    setBusy(Idle);

    // Choosing "削除(&D)" by its mnemonic deletes the selected row.
    selectRows({1});
    rightClick(rowCentre(1), &shown, 'd', true);
    ASSERT_TRUE(shown);
    pumpIdle();  // the chosen command arrives as a posted message
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"a.dll", "c.dll"}));
}

TEST(AppendItem, AListThatIsGoneFreesTheItem)
{
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    ComponentItem* item = newItem("lost.dll");
    appendItem(item, gone);
    EXPECT_FALSE(isLiveHeapBlock(item)) << "the item would leak";
}
