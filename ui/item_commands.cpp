// The Add, Edit and Save-log commands. They run on the user-interface thread, only while the
// list is Idle, so no worker touches the rows they read or change.
#include "ui/item_commands.h"

#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/registration/result_log.h"
#include "resources/resource.h"
#include "ui/background_operations.h"
#include "ui/file_picker.h"
#include "ui/item_dialog.h"
#include "ui/item_list_view.h"

namespace {

const char CANNOT_CREATE_MESSAGE[] = "ファイルが作成できません";
const char LOG_FILTER[] = "テキストファイル(*.txt)\0*.txt\0すべてのファイル(*.*)\0*.*\0";

// The dialog's context and its edit buffer, both owned by the command that opens it.
ItemDialogContext* newDialogContext(LONG editing, LONG selectedCount)
{
    ItemDialogContext* context = newZeroed<ItemDialogContext>();
    if (context == nullptr) return nullptr;
    context->item = newComponentItem();
    if (context->item == nullptr) {
        freeBlock(context);
        return nullptr;
    }
    context->method = AddFile;
    context->editing = editing;
    context->selectedCount = selectedCount;
    return context;
}

void freeDialogContext(ItemDialogContext* context)
{
    freeComponentItem(context->item);
    freeBlock(context);
}

// The dialog's answer as one job for the add worker: the path taken as the method says, or
// read as a list file, with the dialog's switches.
void startAddFromDialog(HWND owner, ItemListView* list, const ItemDialogContext* context)
{
    const ComponentItem* buffer = context->item;
    JobSpec* job = newJobSpec();
    if (job == nullptr) return;
    job->switches = buffer->switches;
    bool complete = true;
    if (context->method == AddListFile) {
        job->fromListFile = 1;
        copyText(job->listFilePath, sizeof job->listFilePath, buffer->path);
    } else {
        job->recurse = context->method == AddFolderTree;
        complete = appendPath(job, buffer->path);
    }
    if (complete) startAddJob(owner, list, job);
    else freeJobSpec(job);
}

int nextSelectedRow(HWND listControl, int after)
{
    return (int)SendMessageA(listControl, LVM_GETNEXTITEM, after, MAKELPARAM(LVNI_SELECTED, 0));
}

void copyEditedFields(ComponentItem* target, const ComponentItem* source, bool withPath)
{
    if (withPath) copyText(target->path, sizeof target->path, source->path);
    target->switches = source->switches;
}

}  // namespace

LRESULT onAdd(HWND owner, ItemListView* list)
{
    ItemDialogContext* context = newDialogContext(0, 0);
    if (context == nullptr) return 0;
    if (showItemDialog(context, owner)) startAddFromDialog(owner, list, context);
    freeDialogContext(context);
    return 0;
}

// One row: the dialog shows and changes that item's path too. Several rows: every selected
// item gets the dialog's switches and command line and keeps its own path. Status is kept.
LRESULT onEdit(HWND owner, ItemListView* list)
{
    HWND listControl = list->window;
    int selected = (int)SendMessageA(listControl, LVM_GETSELECTEDCOUNT, 0, 0);
    if (selected <= 0) return 0;
    ItemDialogContext* context = newDialogContext(1, selected);
    if (context == nullptr) return 0;
    if (selected == 1) {
        const ComponentItem* item = list->itemAt(nextSelectedRow(listControl, -1));
        if (item != nullptr) copyEditedFields(context->item, item, true);
    }
    if (showItemDialog(context, owner)) {
        for (int row = nextSelectedRow(listControl, -1); row >= 0; row = nextSelectedRow(listControl, row)) {
            ComponentItem* item = list->itemAt(row);
            if (item != nullptr) copyEditedFields(item, context->item, selected == 1);
            SendMessageA(listControl, LVM_UPDATE, row, 0);
        }
    }
    freeDialogContext(context);
    return 0;
}

// One result-log line per row, in row order, as the items stand now ("-" for items not
// performed yet).
LRESULT onSaveLog(HWND owner, ItemListView* list)
{
    FilePicker* picker = newFilePicker(owner, FilePickerKind::SaveFile, "");
    if (picker == nullptr) return 0;
    picker->setFilter(LOG_FILTER, "txt");
    if (picker->choose()) {
        ResultLog log;
        if (!log.create(picker->chosenPath)) {
            MessageBoxA(owner, CANNOT_CREATE_MESSAGE, PROGRAM_NAME, MB_ICONWARNING);
        } else {
            int count = list->count();
            for (int row = 0; row < count; row++) {
                const ComponentItem* item = list->itemAt(row);
                if (item != nullptr) log.writeItemLine(item);
            }
            log.close();
        }
    }
    freeFilePicker(picker);
    return 0;
}
