#include "ui/main_toolbar.h"

#include "resources/resource.h"

namespace {

const int TOOLBAR_IMAGE_COUNT = 7;
const int TOOLBAR_IMAGE_WIDTH = 16;
const int TOOLBAR_IMAGE_HEIGHT = 15;
const int GROUP_GAP = 6;
// The separator that the mode combo box covers, and the combo box itself.
const int COMBO_GAP = 115;
const int COMBO_WIDTH = 113;
const int COMBO_HEIGHT = 60;  // with its drop-down list

// Images of the toolbar bitmap.
enum ToolbarImage { IMAGE_RUN, IMAGE_SAVE_LOG, IMAGE_ADD, IMAGE_EDIT, IMAGE_DELETE, IMAGE_ADD_U, IMAGE_REMOVE_U };

constexpr TBBUTTON button(int image, int command)
{
    return TBBUTTON{image, command, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0};
}

// For a separator the image field holds its width.
constexpr TBBUTTON separator(int width)
{
    return TBBUTTON{width, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {0}, 0, 0};
}

const TBBUTTON NORMAL_LAYOUT[] = {
    button(IMAGE_RUN, IDC_RUN),
    separator(GROUP_GAP),
    button(IMAGE_ADD, IDC_ADD),
    button(IMAGE_EDIT, IDM_EDIT),
    button(IMAGE_DELETE, IDM_DELETE),
    separator(GROUP_GAP),
    button(IMAGE_ADD_U, IDC_ALL_ADD_U),
    button(IMAGE_REMOVE_U, IDC_ALL_REMOVE_U),
    separator(GROUP_GAP),
    button(IMAGE_SAVE_LOG, IDC_SAVE_LOG),
};

const TBBUTTON INSTALLER_LAYOUT[] = {
    button(IMAGE_RUN, IDC_RUN),
    separator(COMBO_GAP),
    separator(GROUP_GAP),
    button(IMAGE_SAVE_LOG, IDC_SAVE_LOG),
};

const int COMMANDS_OF_BOTH_LAYOUTS[] = {IDC_RUN, IDC_SAVE_LOG};
const int COMMANDS_OF_NORMAL_LAYOUT[] = {IDC_ADD, IDM_EDIT, IDM_DELETE, IDC_ALL_ADD_U, IDC_ALL_REMOVE_U};

const char* const MODE_TEXTS[] = {"インストール", "アンインストール"};

struct TooltipText {
    UINT_PTR command;
    const char* text;
};

const TooltipText TOOLTIP_TEXTS[] = {
    {IDC_RUN, "実行"},
    {IDC_SAVE_LOG, "ログ保存"},
    {IDC_ADD, "追加"},
    {IDC_ALL_ADD_U, "全アイテムに /u オプションを追加"},
    {IDC_ALL_REMOVE_U, "全アイテムから /u オプションを削除"},
    {IDM_DELETE, "削除"},
    {IDM_EDIT, "編集"},
};

}  // namespace

bool MainToolbar::create(HWND parent)
{
    const TBBUTTON* layout = installerMode ? INSTALLER_LAYOUT : NORMAL_LAYOUT;
    int entryCount = installerMode ? ARRAYSIZE(INSTALLER_LAYOUT) : ARRAYSIZE(NORMAL_LAYOUT);
    // Created with TBSTYLE_TOOLTIPS already, so that the tooltip control exists before the
    // buttons are added, whichever version of the control makes it. The entry size is the
    // platform's own: the 64-bit record is larger than the 32-bit one.
    window = CreateToolbarEx(parent, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, IDC_TOOLBAR, TOOLBAR_IMAGE_COUNT, GetModuleHandleA(nullptr),
                             IDB_TOOLBAR, layout, entryCount, 0, 0, TOOLBAR_IMAGE_WIDTH, TOOLBAR_IMAGE_HEIGHT,
                             sizeof(TBBUTTON));
    if (window == nullptr) return false;
    if (installerMode && !createModeCombo()) return false;
    LONG style = GetWindowLongA(window, GWL_STYLE);
    SetWindowLongA(window, GWL_STYLE, style | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT);
    return true;
}

bool MainToolbar::createModeCombo()
{
    int buttonWidth = LOWORD(SendMessageA(window, TB_GETBUTTONSIZE, 0, 0));
    // The combo box lies over the wide separator that follows the Run button.
    modeCombo = CreateWindowExA(0, "ComboBox", "", WS_CHILD | WS_VISIBLE | WS_BORDER | CBS_DROPDOWNLIST,
                                buttonWidth + 2, 3, COMBO_WIDTH, COMBO_HEIGHT, window, (HMENU)(UINT_PTR)IDC_MODE_COMBO,
                                GetModuleHandleA(nullptr), nullptr);
    if (modeCombo == nullptr) return false;
    SendMessageA(modeCombo, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    for (const char* text : MODE_TEXTS) SendMessageA(modeCombo, CB_ADDSTRING, 0, (LPARAM)text);
    SendMessageA(modeCombo, CB_SETCURSEL, 0, 0);
    return true;
}

void MainToolbar::enableCommands(BOOL enable)
{
    for (int command : COMMANDS_OF_BOTH_LAYOUTS) SendMessageA(window, TB_ENABLEBUTTON, command, MAKELPARAM(enable, 0));
    if (installerMode) {
        EnableWindow(modeCombo, enable);
        return;
    }
    for (int command : COMMANDS_OF_NORMAL_LAYOUT) SendMessageA(window, TB_ENABLEBUTTON, command, MAKELPARAM(enable, 0));
}

int MainToolbar::selectedMode() const
{
    return (int)SendMessageA(modeCombo, CB_GETCURSEL, 0, 0);
}

LRESULT MainToolbar::onGetTooltip(NMTTDISPINFOA* info) const
{
    info->hinst = nullptr;
    for (const TooltipText& entry : TOOLTIP_TEXTS) {
        if (entry.command != info->hdr.idFrom) continue;
        // The tooltip only reads the text; the field is not const in the platform's record.
        info->lpszText = const_cast<char*>(entry.text);
        break;
    }
    return 0;
}
