// The list control of the main window. Rows carry no text: every cell and the row's image
// are computed from the row's ComponentItem whenever the control asks, so a status written
// by the run worker or switches changed by Edit show at the next repaint.
#include "ui/item_list_view.h"

#include <limits.h>

#include "core/jobs/text_copy.h"
#include "resources/resource.h"

namespace {

const int ITEM_IMAGE_WIDTH = 16;
const COLORREF ITEM_IMAGE_TRANSPARENT = RGB(255, 0, 255);

enum Column { COLUMN_FILE_NAME, COLUMN_OPTION, COLUMN_STATUS, COLUMN_DETAIL };

struct ColumnSpec {
    const char* header;
    int width;  // 0: the rest of the window's width
};

const ColumnSpec COLUMNS[] = {
    {"ファイル名", 0},
    {"オプション", 70},
    {"状態", 175},
    {"詳細", 400},
};

// At creation the file-name column takes what the option and status columns leave of the
// client area, less the frame edges and a vertical scroll bar; the detail column lies beyond,
// where the list scrolls to.
int fileNameColumnWidth(int clientWidth)
{
    int otherColumns = 0;
    for (int index = COLUMN_OPTION; index <= COLUMN_STATUS; ++index) otherColumns += COLUMNS[index].width;
    return clientWidth - 2 * GetSystemMetrics(SM_CXEDGE) - GetSystemMetrics(SM_CXVSCROLL) - otherColumns;
}

void insertColumns(HWND list, int clientWidth)
{
    for (int index = 0; index < (int)ARRAYSIZE(COLUMNS); ++index) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = COLUMNS[index].width != 0 ? COLUMNS[index].width : fileNameColumnWidth(clientWidth);
        column.pszText = const_cast<char*>(COLUMNS[index].header);
        column.cchTextMax = lstrlenA(COLUMNS[index].header);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, index, (LPARAM)&column);
    }
}

void cellText(const ComponentItem* item, int column, char* out, int capacity)
{
    switch (column) {
    case COLUMN_FILE_NAME: {
        char path[PATH_TEXT_CAPACITY];
        resolvedPath(item, path, sizeof path);
        copyText(out, capacity, path);
        break;
    }
    case COLUMN_OPTION: {
        char options[OPTION_TEXT_CAPACITY];
        optionText(item, options, sizeof options);
        copyText(out, capacity, options);
        break;
    }
    case COLUMN_STATUS:
        // One read of the pointer: the run worker may replace it at any moment.
        copyText(out, capacity, item->status != nullptr ? item->status : "");
        break;
    case COLUMN_DETAIL:
        copyText(out, capacity, item->detail);
        break;
    default:
        // The control may ask for columns that do not exist.
        out[0] = '\0';
        break;
    }
}

}  // namespace

bool ItemListView::create(HWND parent)
{
    RECT client;
    GetClientRect(parent, &client);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    window = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0, 0,
                             client.right - client.left, client.bottom - client.top, parent,
                             (HMENU)(UINT_PTR)IDC_ITEM_LIST, instance, nullptr);
    if (window == nullptr) return false;
    SendMessageA(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // Without LVS_SHAREIMAGELISTS the control destroys the image list with itself.
    imageList = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_ITEM_STATES), ITEM_IMAGE_WIDTH, 1,
                                     ITEM_IMAGE_TRANSPARENT, IMAGE_BITMAP, 0);
    SendMessageA(window, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)imageList);
    insertColumns(window, client.right - client.left);
    return true;
}

ComponentItem* ItemListView::itemAt(int row) const
{
    LVITEMA entry = {};
    entry.mask = LVIF_PARAM;
    entry.iItem = row;
    if (!SendMessageA(window, LVM_GETITEMA, 0, (LPARAM)&entry)) return nullptr;
    return (ComponentItem*)entry.lParam;
}

int ItemListView::count() const
{
    return (int)SendMessageA(window, LVM_GETITEMCOUNT, 0, 0);
}

int ItemListView::nextSelectedRow(int after) const
{
    return (int)SendMessageA(window, LVM_GETNEXTITEM, after, MAKELPARAM(LVNI_SELECTED, 0));
}

void ItemListView::deleteSelected()
{
    int searchStart = -1;
    for (;;) {
        int row = (int)SendMessageA(window, LVM_GETNEXTITEM, searchStart, MAKELPARAM(LVNI_SELECTED, 0));
        if (row < 0) return;
        ComponentItem* item = itemAt(row);
        // A row that cannot be removed keeps its item; stopping here also keeps the search
        // from finding the same row again.
        if (!SendMessageA(window, LVM_DELETEITEM, row, 0)) return;
        freeComponentItem(item);
        // The next search starts just before the row that moved into the deleted one's place.
        searchStart = row - 1;
    }
}

void ItemListView::deleteAll()
{
    int rowCount = count();
    for (int row = 0; row < rowCount; ++row) freeComponentItem(itemAt(row));
    SendMessageA(window, LVM_DELETEALLITEMS, 0, 0);
}

void ItemListView::setUnregisterAll(BYTE flag)
{
    int rowCount = count();
    for (int row = 0; row < rowCount; ++row) {
        ComponentItem* item = itemAt(row);
        if (item == nullptr) continue;
        item->switches.unregister = flag;
        item->status = STATUS_PENDING;
        item->detail[0] = '\0';
    }
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT ItemListView::onGetDispInfo(NMLVDISPINFOA* info)
{
    LVITEMA& cell = info->item;
    const ComponentItem* item = (const ComponentItem*)cell.lParam;
    if (item == nullptr) return 0;
    if ((cell.mask & LVIF_TEXT) && cell.pszText != nullptr && cell.cchTextMax > 0)
        cellText(item, cell.iSubItem, cell.pszText, cell.cchTextMax);
    // Tested again at every request, so a file deleted on disk shows at the next repaint.
    if ((cell.mask & LVIF_IMAGE) && cell.iSubItem == COLUMN_FILE_NAME) cell.iImage = displayState(item);
    return 0;
}

LRESULT ItemListView::onRightClick(HWND owner, NMITEMACTIVATE* activation, HMENU contextMenu, BYTE installerMode)
{
    if (activation->hdr.idFrom != IDC_ITEM_LIST) return 0;
    if (installerMode || count() == 0) return 0;
    POINT click = activation->ptAction;
    POINT screenPoint = click;
    ClientToScreen(window, &screenPoint);

    RECT headerItem = {0, 0, 0, 0};
    HWND header = (HWND)SendMessageA(window, LVM_GETHEADER, 0, 0);
    SendMessageA(header, HDM_GETITEMRECT, 0, (LPARAM)&headerItem);
    if (headerItem.bottom >= click.y) return 0;

    LVHITTESTINFO hit = {};
    hit.pt = click;
    int row = (int)SendMessageA(window, LVM_HITTEST, 0, (LPARAM)&hit);
    HMENU popup = GetSubMenu(contextMenu, row == -1 ? 1 : 0);
    if (popup == nullptr) return 0;
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, 0, owner, nullptr);
    return 0;
}

void appendItem(ComponentItem* item, void* sinkContext)
{
    HWND list = (HWND)sinkContext;
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    // Any index past the last row appends the row at index = the number of rows; asking for
    // that number first would cost the worker a second synchronous message per row.
    row.iItem = INT_MAX;
    row.pszText = LPSTR_TEXTCALLBACKA;
    row.iImage = I_IMAGECALLBACK;
    row.lParam = (LPARAM)item;
    // A control that refused the row, or is gone, will never free the item.
    SetLastError(ERROR_SUCCESS);
    LRESULT inserted = SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&row);
    if (inserted == -1 || (inserted == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE)) freeComponentItem(item);
}
