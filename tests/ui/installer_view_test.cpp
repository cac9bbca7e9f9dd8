// The installer view: "install.ini" (and "uninstall.ini") next to the executable. This
// program runs from a folder of its own, so that the list files never reach another test.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "tests/ui/window_harness.h"
#include "ui/item_list_view.h"

namespace {

const char INSTALL_LIST[] = "<sysdir>\\ole32.dll\r\nnot_installed.dll /i:setup\r\n";
const char UNINSTALL_LIST[] = "gone_a.dll\r\ngone_b.dll\r\ngone_c.dll\r\n";

std::string besideProgram(const char* name)
{
    return executableDirectory() + "\\" + name;
}

class InstallerViewTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        writeFileBytes(besideProgram("install.ini"), INSTALL_LIST);
        openMainWindow();
    }

    void TearDown() override
    {
        MainWindowTest::TearDown();
        DeleteFileA(besideProgram("install.ini").c_str());
        DeleteFileA(besideProgram("uninstall.ini").c_str());
    }

    void chooseMode(int index)
    {
        SendMessageA(modeCombo(), CB_SETCURSEL, index, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_MODE_COMBO, CBN_SELCHANGE), (LPARAM)modeCombo());
    }

    std::vector<std::string> column(int index) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < rowCount(); ++row) texts.push_back(cell(row, index));
        return texts;
    }
};

}  // namespace

TEST_F(InstallerViewTest, LoadsTheInstallListWithEverythingLockedUntilDone)
{
    EXPECT_EQ(record->installerMode, 1);
    EXPECT_EQ(busyState(), BuildingList) << "the window comes up loading install.ini";
    EXPECT_FALSE(IsWindowEnabled(modeCombo()));
    EXPECT_FALSE(SendMessageA(toolbar(), TB_ISBUTTONENABLED, IDC_RUN, 0));
    EXPECT_FALSE(SendMessageA(toolbar(), TB_ISBUTTONENABLED, IDC_SAVE_LOG, 0));
    record->onIdle();
    EXPECT_EQ(statusText(0), "リスト作成中...");

    // Run, the combo box over a wide separator, Save log.
    const std::pair<int, int> layout[] = {{IDC_RUN, 0}, {0, 115}, {0, 6}, {IDC_SAVE_LOG, 1}};
    ASSERT_EQ(SendMessageA(toolbar(), TB_BUTTONCOUNT, 0, 0), 4);
    for (int index = 0; index < 4; ++index) {
        TBBUTTON button = {};
        SendMessageA(toolbar(), TB_GETBUTTON, index, (LPARAM)&button);
        EXPECT_EQ((button.fsStyle & TBSTYLE_SEP) ? 0 : button.idCommand, layout[index].first) << "entry " << index;
        EXPECT_EQ(button.iBitmap, layout[index].second) << "entry " << index;
    }
    RECT comboBounds;
    GetWindowRect(modeCombo(), &comboBounds);
    MapWindowPoints(nullptr, toolbar(), (POINT*)&comboBounds, 2);
    int buttonWidth = LOWORD(SendMessageA(toolbar(), TB_GETBUTTONSIZE, 0, 0));
    EXPECT_EQ(comboBounds.left, buttonWidth + 2);
    EXPECT_EQ(comboBounds.top, 3);
    char text[32] = "";
    SendMessageA(modeCombo(), CB_GETLBTEXT, 1, (LPARAM)text);
    EXPECT_STREQ(text, "アンインストール");
    EXPECT_EQ(SendMessageA(modeCombo(), CB_GETCURSEL, 0, 0), 0);

    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_EQ(column(0), (std::vector<std::string>{systemDirectory() + "\\ole32.dll", "not_installed.dll"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"", "/i:setup"}));
    EXPECT_TRUE(IsWindowEnabled(modeCombo()));
    EXPECT_TRUE(SendMessageA(toolbar(), TB_ISBUTTONENABLED, IDC_RUN, 0));

    // No dropped files, and no context menu.
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    HDROP drop = makeDrop({"c:\\dropped.dll"});
    SendMessageA(window, WM_DROPFILES, (WPARAM)drop, 0);
    EXPECT_TRUE(dropReleased(drop));
    EXPECT_EQ(busyState(), Idle);
    MenuWatcher watcher(statusBar(), VK_ESCAPE, false);
    NMITEMACTIVATE click = {};
    click.hdr = {list(), IDC_ITEM_LIST, (UINT)NM_RCLICK};
    click.ptAction = {40, 40};
    SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&click);
    EXPECT_FALSE(watcher.finish());

    // Nor does a double click on a row edit it.
    selectRows({0});
    DialogCanceller dialogs;
    NMITEMACTIVATE doubleClick = {};
    doubleClick.hdr = {list(), IDC_ITEM_LIST, (UINT)NM_DBLCLK};
    SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&doubleClick);
    EXPECT_EQ(dialogs.finish(), "");
}

TEST_F(InstallerViewTest, UninstallWithoutItsOwnListMarksTheLoadedRows)
{
    ASSERT_TRUE(pumpUntilIdle());
    std::vector<ComponentItem*> installItems = {record->itemList->itemAt(0), record->itemList->itemAt(1)};
    installItems[1]->status = "登録完了";
    lstrcpyA(installItems[1]->detail, "why");

    // Only a new selection counts.
    SendMessageA(modeCombo(), CB_SETCURSEL, 1, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_MODE_COMBO, CBN_DROPDOWN), (LPARAM)modeCombo());
    EXPECT_EQ(column(1), (std::vector<std::string>{"", "/i:setup"}));

    chooseMode(1);
    EXPECT_EQ(busyState(), Idle) << "nothing is reloaded";
    EXPECT_EQ(column(1), (std::vector<std::string>{"/u ", "/u /i:setup"}));
    EXPECT_EQ(column(2), (std::vector<std::string>{"-", "-"}));
    EXPECT_EQ(column(3), (std::vector<std::string>{"", ""}));

    chooseMode(0);
    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_EQ(column(1), (std::vector<std::string>{"", "/i:setup"})) << "install.ini is read again from scratch";
    // A freed item's block may be handed out again for one of the reloaded rows.
    std::vector<ComponentItem*> reloaded = {record->itemList->itemAt(0), record->itemList->itemAt(1)};
    for (ComponentItem* item : installItems) {
        bool reused = item == reloaded[0] || item == reloaded[1];
        EXPECT_TRUE(reused || !isLiveHeapBlock(item));
    }
}

// The window finds "uninstall.ini" when it opens; each choice loads its list from scratch.
TEST_F(InstallerViewTest, UninstallReplacesTheRowsWithItsOwnListAndInstallBringsThemBack)
{
    writeFileBytes(besideProgram("uninstall.ini"), UNINSTALL_LIST);
    ASSERT_EQ(closeAsTheUserDoes(), 0);
    reopen();
    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_EQ(rowCount(), 2) << "the start always loads install.ini";
    chooseMode(1);
    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_EQ(column(0), (std::vector<std::string>{"gone_a.dll", "gone_b.dll", "gone_c.dll"}));
    EXPECT_EQ(column(1), (std::vector<std::string>(3, "")));
    chooseMode(0);
    ASSERT_TRUE(pumpUntilIdle());
    EXPECT_EQ(column(0), (std::vector<std::string>{systemDirectory() + "\\ole32.dll", "not_installed.dll"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"", "/i:setup"}));
    EXPECT_TRUE(boxTexts.empty());
}
