#include <gtest/gtest.h>

#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "core/production/job_stop.h"
#include "tests/ui/window_harness.h"
#include "ui/item_list_view.h"

namespace {

struct ToolbarEntry {
    int command;  // 0 for a separator
    int imageOrWidth;
};

std::vector<ToolbarEntry> toolbarEntries(HWND toolbar)
{
    std::vector<ToolbarEntry> entries;
    int count = (int)SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (int index = 0; index < count; ++index) {
        TBBUTTON button = {};
        SendMessageA(toolbar, TB_GETBUTTON, index, (LPARAM)&button);
        bool separator = (button.fsStyle & TBSTYLE_SEP) != 0;
        entries.push_back({separator ? 0 : button.idCommand, button.iBitmap});
    }
    return entries;
}

const int TOOLBAR_COMMANDS[] = {IDC_RUN, IDC_ADD, IDM_EDIT, IDM_DELETE, IDC_ALL_ADD_U, IDC_ALL_REMOVE_U, IDC_SAVE_LOG};

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

int windowHeight(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    return bounds.bottom - bounds.top;
}

std::string countText(int count)
{
    return " アイテム数 : \t\t" + std::to_string(count) + " ";
}

}  // namespace

TEST_F(MainWindowTest, OpensAsTheNormalViewWithTheListBetweenToolbarAndStatusBar)
{
    char className[32] = "", title[32] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(className, "Plinthora");
    EXPECT_STREQ(title, "Plinthora");
    RECT bounds;
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 500);
    EXPECT_EQ(bounds.bottom - bounds.top, 300);
    EXPECT_TRUE(acceptsFiles(window)) << "the normal view takes dropped files";
    EXPECT_EQ(record->installerMode, 0);

    const std::vector<std::pair<int, int>> normalLayout = {
        {IDC_RUN, 0}, {0, 6}, {IDC_ADD, 2}, {IDM_EDIT, 3}, {IDM_DELETE, 4}, {0, 6},
        {IDC_ALL_ADD_U, 5}, {IDC_ALL_REMOVE_U, 6}, {0, 6}, {IDC_SAVE_LOG, 1}};
    std::vector<ToolbarEntry> entries = toolbarEntries(toolbar());
    ASSERT_EQ(entries.size(), normalLayout.size());
    for (size_t index = 0; index < entries.size(); ++index) {
        EXPECT_EQ(entries[index].command, normalLayout[index].first) << "toolbar entry " << index;
        EXPECT_EQ(entries[index].imageOrWidth, normalLayout[index].second) << "toolbar entry " << index;
    }
    EXPECT_EQ(modeCombo(), nullptr);
    EXPECT_EQ(GetWindowLongA(toolbar(), GWL_STYLE) & (TBSTYLE_TOOLTIPS | TBSTYLE_FLAT), TBSTYLE_TOOLTIPS | TBSTYLE_FLAT);
    EXPECT_NE(SendMessageA(toolbar(), TB_GETTOOLTIPS, 0, 0), 0) << "the buttons would have no tips";
    // The flat toolbar is transparent: behind its buttons the button face, not what the screen held.
    HDC toolbarContext = GetDC(toolbar());
    RECT toolbarArea;
    GetClientRect(toolbar(), &toolbarArea);
    FillRect(toolbarContext, &toolbarArea, (HBRUSH)GetStockObject(BLACK_BRUSH));
    SendMessageA(toolbar(), WM_ERASEBKGND, (WPARAM)toolbarContext, 0);
    EXPECT_EQ(GetPixel(toolbarContext, toolbarArea.right - 2, toolbarArea.bottom / 2), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(toolbar(), toolbarContext);

    // The list fills the client area between the bars, at every size; its columns keep
    // the widths they were created with.
    RECT client;
    GetClientRect(window, &client);
    int edge = GetSystemMetrics(SM_CXEDGE), scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    int firstColumnWidth = client.right - 2 * edge - scrollBar - 245;
    for (int size : {0, 1}) {
        if (size == 1) SetWindowPos(window, nullptr, 0, 0, 760, 420, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(window, &client);
        RECT listBounds;
        GetWindowRect(list(), &listBounds);
        MapWindowPoints(nullptr, window, (POINT*)&listBounds, 2);
        EXPECT_EQ(listBounds.left, 0);
        EXPECT_EQ(listBounds.right, client.right);
        EXPECT_EQ(listBounds.top, windowHeight(toolbar()));
        EXPECT_EQ(listBounds.bottom, client.bottom - windowHeight(statusBar()));

        SIZE countExtent;
        HDC context = GetDC(statusBar());
        HGDIOBJ font = SelectObject(context, GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32A(context, " アイテム数 : \t9999 ", 20, &countExtent);
        SelectObject(context, font);
        ReleaseDC(statusBar(), context);
        int rightEdges[3];
        ASSERT_EQ(SendMessageA(statusBar(), SB_GETPARTS, 3, (LPARAM)rightEdges), 3);
        EXPECT_EQ(rightEdges[0], client.right - countExtent.cx - edge - scrollBar);
        EXPECT_EQ(rightEdges[1], client.right - edge - scrollBar);
        EXPECT_EQ(rightEdges[2], client.right);
        EXPECT_EQ(HIWORD(SendMessageA(statusBar(), SB_GETTEXTLENGTHA, 0, 0)), SBT_NOBORDERS);
        EXPECT_EQ(HIWORD(SendMessageA(statusBar(), SB_GETTEXTLENGTHA, 1, 0)), 0);
        EXPECT_EQ(HIWORD(SendMessageA(statusBar(), SB_GETTEXTLENGTHA, 2, 0)), SBT_NOBORDERS);

        const char* headers[] = {"ファイル名", "オプション", "状態"};
        const int widths[] = {firstColumnWidth, 70, 175};
        for (int column = 0; column < 3; ++column) {
            char header[32] = "";
            LVCOLUMNA info = {};
            info.mask = LVCF_TEXT | LVCF_WIDTH;
            info.pszText = header;
            info.cchTextMax = sizeof header;
            SendMessageA(list(), LVM_GETCOLUMNA, column, (LPARAM)&info);
            EXPECT_STREQ(header, headers[column]);
            EXPECT_EQ(info.cx, widths[column]) << "column " << column << " at size " << size;
        }
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

TEST_F(MainWindowTest, DroppedFilesBecomeRows)
{
    ScratchDirectory scratch("dropped");
    writeFileBytes(scratch.file("one.dll"), "x");
    writeFileBytes(scratch.file("two.ocx"), "x");
    PostMessageA(window, WM_DROPFILES, (WPARAM)makeDrop({scratch.file("one.dll"), scratch.file("two.ocx")}), 0);
    ASSERT_TRUE(pumpUntil([&] { return rowCount() == 2 && busyState() == Idle; }));
    EXPECT_EQ(cell(0, 0), scratch.file("one.dll"));
    EXPECT_EQ(cell(1, 0), scratch.file("two.ocx"));
}

TEST_F(MainWindowTest, ClosingFreesEveryItemAndEndsTheLoopWithZero)
{
    std::vector<ComponentItem*> items = appendFromWorker({"a.dll", "b.dll", "c.dll", "d.dll"});
    for (ComponentItem* item : items) ASSERT_TRUE(isLiveHeapBlock(item));
    EXPECT_EQ(closeAndRunToEnd(), 0);
    EXPECT_FALSE(IsWindow(window));
    for (ComponentItem* item : items) EXPECT_FALSE(isLiveHeapBlock(item)) << "an item outlived the window";
}

TEST_F(MainWindowTest, ClosingDuringARunWaitsForTheWorkerBeforeFreeingItems)
{
    ScratchDirectory scratch("close_while_running");
    CallRecord calls(scratch);
    std::vector<ComponentItem*> items = appendFromWorker(std::vector<std::string>(20, componentPath("comp_ok.dll")));
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_RUN, 0), 0);
    ASSERT_EQ(busyState(), Running);
    // The worker cannot go on until this thread serves its messages again.
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window)) << "the window stays until the worker has stopped";
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(jobStopRequested());
    for (ComponentItem* item : items) ASSERT_TRUE(isLiveHeapBlock(item));

    EXPECT_EQ(record->runMessageLoop(), 0);
    EXPECT_FALSE(IsWindow(window));
    for (ComponentItem* item : items) EXPECT_FALSE(isLiveHeapBlock(item));
    EXPECT_LE(calls.lines().size(), 1u) << "the run stops at the next item";
}
