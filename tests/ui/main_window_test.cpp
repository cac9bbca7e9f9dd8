#include <gtest/gtest.h>

#include "core/registration/status_texts.h"
#include "help/help_launcher.h"
#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/item_list_view.h"

namespace {

const int TOOLBAR_COMMANDS[] = {IDC_RUN, IDC_ADD, IDM_EDIT, IDM_DELETE, IDC_ALL_ADD_U, IDC_ALL_REMOVE_U, IDC_SAVE_LOG};

// Window sizes the layout is looked at: the one the window opens with, and others.
const SIZE WINDOW_SIZES[] = {{500, 300}, {760, 420}, {320, 200}};

int enabledToolbarCommands(HWND toolbar)
{
    int enabled = 0;
    for (int command : TOOLBAR_COMMANDS) enabled += SendMessageA(toolbar, TB_ISBUTTONENABLED, command, 0) ? 1 : 0;
    return enabled;
}

bool acceptsFiles(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
}

// A child's bounds in its parent's client coordinates.
RECT boundsIn(HWND parent, HWND child)
{
    RECT bounds;
    GetWindowRect(child, &bounds);
    MapWindowPoints(nullptr, parent, (POINT*)&bounds, 2);
    return bounds;
}

std::string countText(int count)
{
    return " アイテム数 : \t\t" + std::to_string(count) + " ";
}

void resize(HWND window, SIZE size)
{
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace

TEST_F(MainWindowTest, OpensAsTheNormalViewAtItsFixedSize)
{
    EXPECT_EQ(record->installerMode, 0);
    EXPECT_TRUE(acceptsFiles(window)) << "the normal view takes dropped files";
    EXPECT_EQ(modeCombo(), nullptr);
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    RECT bounds;
    GetWindowRect(window, &bounds);
    const std::pair<std::string, std::string> fixed[] = {
        {className, "Plinthora"},
        {windowText(window), "Plinthora"},
        {std::to_string(bounds.right - bounds.left) + " x " + std::to_string(bounds.bottom - bounds.top), "500 x 300"},
    };
    for (const auto& value : fixed) EXPECT_EQ(value.first, value.second);
}

TEST_F(MainWindowTest, ToolbarHasTheNormalLayoutFlatAndWithTips)
{
    // Separators carry their width where buttons carry their image.
    const std::pair<int, int> layout[] = {
        {IDC_RUN, 0}, {0, 6}, {IDC_ADD, 2}, {IDM_EDIT, 3}, {IDM_DELETE, 4}, {0, 6},
        {IDC_ALL_ADD_U, 5}, {IDC_ALL_REMOVE_U, 6}, {0, 6}, {IDC_SAVE_LOG, 1}};
    ASSERT_EQ(SendMessageA(toolbar(), TB_BUTTONCOUNT, 0, 0), (LRESULT)ARRAYSIZE(layout));
    for (int index = 0; index < (int)ARRAYSIZE(layout); ++index) {
        TBBUTTON button = {};
        SendMessageA(toolbar(), TB_GETBUTTON, index, (LPARAM)&button);
        EXPECT_EQ((button.fsStyle & TBSTYLE_SEP) ? 0 : button.idCommand, layout[index].first) << "entry " << index;
        EXPECT_EQ(button.iBitmap, layout[index].second) << "entry " << index;
    }
    EXPECT_EQ(GetWindowLongA(toolbar(), GWL_STYLE) & (TBSTYLE_TOOLTIPS | TBSTYLE_FLAT), TBSTYLE_TOOLTIPS | TBSTYLE_FLAT);
    EXPECT_NE(SendMessageA(toolbar(), TB_GETTOOLTIPS, 0, 0), 0) << "the buttons would have no tips";
}

// The flat toolbar is transparent: behind its buttons the button face, not what the screen held.
TEST_F(MainWindowTest, FlatToolbarShowsTheButtonFaceBehindItsButtons)
{
    HDC context = GetDC(toolbar());
    RECT area;
    GetClientRect(toolbar(), &area);
    FillRect(context, &area, (HBRUSH)GetStockObject(BLACK_BRUSH));
    SendMessageA(toolbar(), WM_ERASEBKGND, (WPARAM)context, 0);
    EXPECT_EQ(GetPixel(context, area.right - 2, area.bottom / 2), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(toolbar(), context);
}

TEST_F(MainWindowTest, ListFillsTheClientAreaBetweenToolbarAndStatusBarAtEverySize)
{
    for (SIZE size : WINDOW_SIZES) {
        resize(window, size);
        RECT client, listBounds = boundsIn(window, list());
        GetClientRect(window, &client);
        SCOPED_TRACE(std::to_string(size.cx) + " x " + std::to_string(size.cy));
        EXPECT_EQ(listBounds.left, 0);
        EXPECT_EQ(listBounds.right, client.right);
        EXPECT_EQ(listBounds.top, boundsIn(window, toolbar()).bottom);
        EXPECT_EQ(listBounds.bottom, boundsIn(window, statusBar()).top);
        EXPECT_EQ(boundsIn(window, statusBar()).bottom, client.bottom);
    }
}

// The first three columns fill the list, less room for a vertical scroll bar, at the size the
// window opens with; the detail column lies beyond. All keep their widths at every size.
TEST_F(MainWindowTest, ColumnsKeepTheirHeadersAndTheWidthsTheyWereCreatedWith)
{
    RECT listClient;
    GetClientRect(list(), &listClient);
    const std::pair<const char*, int> columns[] = {
        {"ファイル名", listClient.right - GetSystemMetrics(SM_CXVSCROLL) - 70 - 175}, {"オプション", 70}, {"状態", 175},
        {"詳細", 400}};
    for (SIZE size : WINDOW_SIZES) {
        resize(window, size);
        for (int index = 0; index < (int)ARRAYSIZE(columns); ++index) {
            char header[32] = "";
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = header;
            column.cchTextMax = sizeof header;
            SendMessageA(list(), LVM_GETCOLUMNA, index, (LPARAM)&column);
            EXPECT_STREQ(header, columns[index].first);
            EXPECT_EQ(column.cx, columns[index].second) << header << " at " << size.cx << " x " << size.cy;
        }
    }
}

// The message part, borderless, takes what the item count (as wide as its sample text) and the
// size-grip corner (as wide as an edge and a scroll bar) leave.
TEST_F(MainWindowTest, StatusBarKeepsTheCountAndTheGripCornerAtTheRightAtEverySize)
{
    SIZE sample;
    HDC context = GetDC(statusBar());
    HGDIOBJ font = SelectObject(context, GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32A(context, " アイテム数 : \t9999 ", 20, &sample);
    SelectObject(context, font);
    ReleaseDC(statusBar(), context);
    const int cornerWidth = GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    for (SIZE size : WINDOW_SIZES) {
        resize(window, size);
        RECT client;
        GetClientRect(window, &client);
        int edges[3];
        ASSERT_EQ(SendMessageA(statusBar(), SB_GETPARTS, 3, (LPARAM)edges), 3);
        SCOPED_TRACE(std::to_string(size.cx) + " x " + std::to_string(size.cy));
        EXPECT_EQ(edges[2], client.right);
        EXPECT_EQ(edges[2] - edges[1], cornerWidth);
        EXPECT_EQ(edges[1] - edges[0], sample.cx);
        const WORD borders[] = {SBT_NOBORDERS, 0, SBT_NOBORDERS};
        for (int part = 0; part < 3; ++part)
            EXPECT_EQ(HIWORD(SendMessageA(statusBar(), SB_GETTEXTLENGTHA, part, 0)), borders[part]) << "part " << part;
    }
}

TEST_F(MainWindowTest, StatusBarFollowsTheRowCountAndTheBusyState)
{
    pumpIdle();
    EXPECT_EQ(statusText(1), countText(0));
    EXPECT_EQ(statusText(0), "");
    appendFromWorker(std::vector<std::string>(12, "x.dll"));
    pumpIdle();
    EXPECT_EQ(statusText(1), countText(12));

    const std::pair<LONG, const char*> busyTexts[] = {{BuildingList, "リスト作成中..."}, {Running, "実行中..."}, {Idle, ""}};
    for (const auto& busy : busyTexts) {
        setBusy(busy.first);
        pumpIdle();
        EXPECT_EQ(statusText(0), busy.second) << "busy state " << busy.first;
    }

    // A menu's help text stays only until the next idle pass; a separator changes nothing.
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(IDM_EDIT, MF_HILITE), 0);
    EXPECT_EQ(statusText(0), "選択したアイテムを編集");
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(0, MF_SEPARATOR), 0);
    EXPECT_EQ(statusText(0), "選択したアイテムを編集");
    pumpIdle();
    EXPECT_EQ(statusText(0), "");
}

TEST_F(MainWindowTest, ToolbarTooltipsNameTheirCommands)
{
    const std::pair<int, const char*> tips[] = {
        {IDC_RUN, "実行"}, {IDC_SAVE_LOG, "ログ保存"}, {IDC_ADD, "追加"},
        {IDC_ALL_ADD_U, "全アイテムに /u オプションを追加"}, {IDC_ALL_REMOVE_U, "全アイテムから /u オプションを削除"},
        {IDM_DELETE, "削除"}, {IDM_EDIT, "編集"}, {IDM_DELETE_ALL, "untouched"}};
    for (const auto& tip : tips) {
        NMTTDISPINFOA info = {};
        info.hdr.code = TTN_GETDISPINFOA;
        info.hdr.idFrom = tip.first;
        info.lpszText = const_cast<char*>("untouched");
        info.hinst = GetModuleHandleA(nullptr);
        SendMessageA(window, WM_NOTIFY, 0, (LPARAM)&info);
        EXPECT_STREQ(info.lpszText, tip.second) << "command " << tip.first;
        EXPECT_EQ(info.hinst, nullptr);
    }
}

TEST_F(MainWindowTest, WhileBusyCommandsDropsAndDoubleClicksAreIgnored)
{
    appendFromWorker({"a.dll", "b.dll"});
    selectRows({0});
    setBusy(Running);
    EXPECT_EQ(enabledToolbarCommands(toolbar()), 0);
    EXPECT_FALSE(acceptsFiles(window));
    for (int command : {IDM_DELETE, IDM_DELETE_ALL, IDC_ALL_ADD_U})
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(cell(0, 1), "") << "no /u while busy";

    HDROP drop = makeDrop({"c:\\dropped.dll"});
    SendMessageA(window, WM_DROPFILES, (WPARAM)drop, 0);
    EXPECT_TRUE(dropReleased(drop)) << "a refused drop still releases its handle";
    EXPECT_EQ(busyState(), Running);

    DialogCanceller busyDialogs;
    NMITEMACTIVATE doubleClick = {};
    doubleClick.hdr = {list(), IDC_ITEM_LIST, (UINT)NM_DBLCLK};
    SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&doubleClick);
    EXPECT_EQ(busyDialogs.finish(), "") << "no Edit while busy";

    setBusy(Idle);
    EXPECT_EQ(enabledToolbarCommands(toolbar()), 7);
    EXPECT_TRUE(acceptsFiles(window));
    DialogCanceller idleDialogs;
    SendMessageA(window, WM_NOTIFY, IDC_ITEM_LIST, (LPARAM)&doubleClick);
    EXPECT_EQ(idleDialogs.finish(), "編集") << "a double click on a row opens Edit";
    // The status bar's own double clicks are not the list's.
    DialogCanceller statusBarDialogs;
    NMMOUSE statusClick = {};
    statusClick.hdr = {statusBar(), IDC_STATUS_BAR, (UINT)NM_DBLCLK};
    SendMessageA(window, WM_NOTIFY, IDC_STATUS_BAR, (LPARAM)&statusClick);
    EXPECT_EQ(statusBarDialogs.finish(), "");
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ALL_ADD_U, 0), 0);
    EXPECT_EQ(cell(1, 1), "/u ");
}

// Pressed as the user presses it, on the list that has the focus: the key reaches the help
// control through the window's own message loop.
TEST_F(MainWindowTest, F1PressedInTheWindowOpensTheHelp)
{
    ScratchDirectory scratch{"f1"};
    CallRecord calls{scratch};
    std::string control = componentPath("fake_help_control.dll");
    // No control is registered there, so the stand-in, named as the fallback, is loaded.
    resetHelpLauncherForTests(HKEY_CURRENT_USER, "Software\\Plinthora Tests\\No control", control.c_str());
    SetForegroundWindow(window);
    SetFocus(list());
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    bool shown = pumpUntil([&] { return !calls.lines().empty(); });
    resetHelpLauncherForTests(nullptr, nullptr, nullptr);
    ASSERT_TRUE(shown);
    EXPECT_EQ(calls.lines()[0].rfind(control + "|", 0), 0u) << calls.lines()[0];
}

TEST_F(MainWindowTest, ClosingFreesEveryItemAndEndsTheLoopWithZero)
{
    std::vector<ComponentItem*> items = appendFromWorker({"a.dll", "b.dll", "c.dll", "d.dll"});
    for (ComponentItem* item : items) ASSERT_TRUE(isLiveHeapBlock(item));
    EXPECT_EQ(closeAsTheUserDoes(), 0);
    EXPECT_FALSE(IsWindow(window));
    for (ComponentItem* item : items) EXPECT_FALSE(isLiveHeapBlock(item)) << "an item outlived the window";
}
