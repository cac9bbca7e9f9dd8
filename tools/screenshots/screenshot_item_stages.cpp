#include "tools/screenshots/screenshot_item_stages.h"

#include <commctrl.h>

#include <utility>

#include "core/jobs/component_item.h"
#include "resources/resource.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_serving.h"
#include "ui/item_dialog.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

const DWORD PATIENCE_MS = 60000;

void prepareAdd(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_METHOD, CB_SETCURSEL, AddFolderTree, 0);
    SetDlgItemTextA(dialog, IDC_PATH, "D:\\部品\\");
    SendDlgItemMessageA(dialog, IDC_OPT_I, BM_CLICK, 0, 0);
    SetDlgItemTextA(dialog, IDC_CMDLINE, "user");
}

void selectRows(HWND list, int first, int count)
{
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
    state.state = LVIS_SELECTED;
    for (int row = first; row < first + count; row++) SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&state);
}

// Sends command, whose dialog is filled by prepare (when given), photographed and cancelled.
void shootCommandDialog(HWND window, int command, const char* stage, void (*takeShot)(const char*),
                        void (*prepare)(HWND))
{
    runWithDialog(nullptr, window, [&] { return (int)SendMessageA(window, WM_COMMAND, command, 0); },
                  [&](HWND dialog) {
                      if (prepare != nullptr) prepare(dialog);
                      takeShot(stage);
                      pressLater(dialog, IDCANCEL);
                  });
}

}  // namespace

void poseItemStages(MainWindow* record, HWND window, void (*takeShot)(const char* stage))
{
    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    // The status bar as an idle pass leaves it; the dialogs' own loops run none.
    record->onIdle();
    shootCommandDialog(window, IDC_ADD, "add_dialog", takeShot, prepareAdd);
    selectRows(list, 1, 1);
    shootCommandDialog(window, IDM_EDIT, "edit_dialog_one_row", takeShot, nullptr);
    selectRows(list, 0, 3);
    shootCommandDialog(window, IDM_EDIT, "edit_dialog_several_rows", takeShot, nullptr);
    selectRows(list, 0, 0);
    // The list holds /u rows, which capture refuses; without them it asks for the file.
    shootCommandDialog(window, IDM_CAPTURE, "capture_refused", takeShot, nullptr);
    ItemListView* items = record->itemList;
    int count = items->count();
    BYTE unregister[64] = {};
    for (int row = 0; row < count && row < 64; row++) std::swap(unregister[row], items->itemAt(row)->switches.unregister);
    shootCommandDialog(window, IDM_CAPTURE, "capture_dialog", takeShot, nullptr);
    for (int row = 0; row < count && row < 64; row++) items->itemAt(row)->switches.unregister = unregister[row];

    // Half-way through a run: once the middle row is done this thread stops serving the
    // list, so the worker waits at its next message and the picture shows the run as it is.
    for (int row = 0; row < count; row++) items->itemAt(row)->status = STATUS_PENDING;
    InvalidateRect(list, nullptr, TRUE);
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ComponentItem* middle = items->itemAt(count / 2);
    serveWindowUntil(record, [&] { return middle->status != STATUS_PENDING; }, PATIENCE_MS);
    serveWindowUntil(record, [&] { return (HIWORD(GetQueueStatus(QS_PAINT)) & QS_PAINT) == 0; }, PATIENCE_MS);
    takeShot("running");
    serveWindowUntil(record, [&] { return record->busyState == Idle; }, PATIENCE_MS);

    takeShotWhileServing(record, "after_run", takeShot);
    // The detail column lies to the right of the three the window fills.
    int firstColumns = 0;
    for (int column = 0; column < 2; column++) firstColumns += (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0);
    SendMessageA(list, LVM_SCROLL, firstColumns, 0);
    takeShotWhileServing(record, "after_run_details", takeShot);
}
