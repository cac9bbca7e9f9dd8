#include "ui/status_bar.h"

#include <commctrl.h>
#include <string.h>

#include "resources/resource.h"

namespace {

const int MESSAGE_PART = 0;
const int COUNT_PART = 1;
const int CORNER_PART = 2;

// The count part is as wide as this sample drawn in the default GUI font.
const char COUNT_MEASURE_TEXT[] = " アイテム数 : \t9999 ";
// Two tabs: the label stays at the left of the part, the number goes to its right.
const char COUNT_FORMAT[] = " アイテム数 : \t\t%d ";

// The longest count text: the label and a ten-digit negative number.
const int COUNT_TEXT_CAPACITY = 32;
// Menu-help texts and the busy texts fit; a longer shown text simply counts as changed.
const int MESSAGE_TEXT_CAPACITY = 256;

int countTextWidth(HWND window)
{
    HDC context = GetDC(window);
    HGDIOBJ previousFont = SelectObject(context, GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(context, COUNT_MEASURE_TEXT, lstrlenA(COUNT_MEASURE_TEXT), &extent);
    SelectObject(context, previousFont);
    ReleaseDC(window, context);
    return extent.cx;
}

}  // namespace

bool StatusBar::create(HWND parent)
{
    window = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, "", parent, IDC_STATUS_BAR);
    return window != nullptr;
}

void StatusBar::layoutParts(int width)
{
    int countWidth = countTextWidth(window);
    int cornerWidth = GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    int rightEdges[3] = {width - countWidth - cornerWidth, width - cornerWidth, width};
    SendMessageA(window, SB_SETPARTS, ARRAYSIZE(rightEdges), (LPARAM)rightEdges);
    SendMessageA(window, SB_SETTEXTA, MESSAGE_PART | SBT_NOBORDERS, (LPARAM) "");
    SendMessageA(window, SB_SETTEXTA, CORNER_PART | SBT_NOBORDERS, (LPARAM) "");
}

void StatusBar::showItemCount(int count)
{
    char text[COUNT_TEXT_CAPACITY];
    wsprintfA(text, COUNT_FORMAT, count);
    setTextIfChanged(COUNT_PART, 0, text);
}

void StatusBar::showMessage(const char* text)
{
    setTextIfChanged(MESSAGE_PART, SBT_NOBORDERS, text);
}

LRESULT StatusBar::onMenuSelect(WPARAM wordParam)
{
    char text[MESSAGE_TEXT_CAPACITY];
    // Separators, the closing of a menu and system-menu entries have no string.
    if (LoadStringA(GetModuleHandleA(nullptr), LOWORD(wordParam), text, sizeof text) > 0) showMessage(text);
    return 0;
}

void StatusBar::setTextIfChanged(int part, UINT drawFlags, const char* text)
{
    // SB_GETTEXTA takes no buffer size: ask for the length first, and read only a text
    // that fits. The comparison is byte for byte, not by the locale's collation.
    char shown[MESSAGE_TEXT_CAPACITY];
    int shownLength = LOWORD(SendMessageA(window, SB_GETTEXTLENGTHA, part, 0));
    if (shownLength == lstrlenA(text) && shownLength < (int)sizeof shown) {
        SendMessageA(window, SB_GETTEXTA, part, (LPARAM)shown);
        if (strcmp(shown, text) == 0) return;
    }
    SendMessageA(window, SB_SETTEXTA, part | drawFlags, (LPARAM)text);
}
