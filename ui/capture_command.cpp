#include "ui/capture_command.h"

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "resources/resource.h"
#include "ui/background_operations.h"
#include "ui/file_picker.h"
#include "ui/item_list_view.h"

namespace {

const char CAPTURE_FILTER[] =
    "登録ファイル (*.reg)\0*.reg\0WiX ソース (*.wxs)\0*.wxs\0Inno Setup スクリプト (*.iss)\0*.iss\0"
    "マニフェスト (*.manifest)\0*.manifest\0";
const char DEFAULT_NAME[] = "capture.reg";
const char UNREGISTER_REFUSED[] = "/u の付いた項目は書き出せません";

// Where the last chosen file lies: the next dialog starts there. Empty until a file is chosen.
char lastFolder[MAX_PATH];

// Capturing an unregistration would capture nothing worth having.
bool listsUnregistering(const ItemListView* list)
{
    int count = list->count();
    for (int row = 0; row < count; row++) {
        const ComponentItem* item = list->itemAt(row);
        if (item != nullptr && item->switches.unregister) return true;
    }
    return false;
}

}  // namespace

LRESULT onCapture(HWND owner, const ItemListView* list)
{
    if (listsUnregistering(list)) {
        MessageBoxA(owner, UNREGISTER_REFUSED, PROGRAM_NAME, MB_ICONWARNING);
        return 0;
    }
    char initialPath[MAX_PATH + sizeof DEFAULT_NAME];
    if (lastFolder[0] != '\0') wsprintfA(initialPath, "%s\\%s", lastFolder, DEFAULT_NAME);
    else copyText(initialPath, sizeof initialPath, DEFAULT_NAME);
    FilePicker* picker = newFilePicker(owner, FilePickerKind::SaveFile, initialPath);
    if (picker == nullptr) return 0;
    picker->setFilter(CAPTURE_FILTER, "reg");
    if (picker->choose()) {
        copyText(lastFolder, sizeof lastFolder, picker->chosenPath);
        *shellPaths().PathFindFileNameA(lastFolder) = '\0';
        shellPaths().PathRemoveBackslashA(lastFolder);
        startCaptureRun(owner, list, picker->chosenPath);
    }
    freeFilePicker(picker);
    return 0;
}
