#include "ui/item_dialog.h"

#include "core/jobs/text_copy.h"
#include "resources/resource.h"
#include "ui/file_picker.h"

ItemDialogContext* activeItemDialogContext = nullptr;

namespace {

const char CAPTION_ADD[] = "追加";
const char CAPTION_EDIT[] = "編集";
const char PATH_LABEL_EDIT[] = "ファイル(&A):";
const char NO_ITEM_MESSAGE[] = "アイテムを指定してください。";

// The combo's entries, in AddMethod order.
const char* const METHOD_TEXTS[] = {
    "ファイル",
    "フォルダ",
    "フォルダ（サブフォルダも検索）",
    "リストファイルから読み込み",
};

const char COMPONENT_FILTER[] = "コンポーネントファイル(*.dll;*.ocx)\0*.dll;*.ocx\0すべてのファイル(*.*)\0*.*\0";
const char LIST_FILE_FILTER[] = "リストファイル(*.txt)\0*.txt\0すべてのファイル(*.*)\0*.*\0";

// What the edit fields accept: exactly what the buffer's fields keep.
const int PATH_LIMIT = PATH_TEXT_CAPACITY - 1;
const int COMMAND_LINE_LIMIT = COMMAND_LINE_CAPACITY - 1;

// Reads an edit field through a buffer wider than the field it goes to, so that the copy
// cuts the text (whole double-byte characters only) rather than the platform call.
void readFieldText(HWND dialog, int control, char* out, size_t capacity)
{
    char text[1024];
    GetDlgItemTextA(dialog, control, text, sizeof text);
    copyText(out, capacity, text);
}

bool isChecked(HWND dialog, int control)
{
    return IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

void setChecked(HWND dialog, int control, bool checked)
{
    CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void enableCmdLine(HWND dialog, bool enable)
{
    EnableWindow(GetDlgItem(dialog, IDC_CMDLINE_LABEL), enable);
    EnableWindow(GetDlgItem(dialog, IDC_CMDLINE), enable);
}

// The template puts the dialog at the top left of the owner's client area. When that lies
// wholly on the screen the dialog is centred over the owner; otherwise it stays.
void centreOverOwner(HWND dialog)
{
    RECT own;
    GetWindowRect(dialog, &own);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (own.left <= 0 || own.right >= screenWidth || own.top <= 0 || own.bottom >= screenHeight) return;
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT outer;
    if (owner == nullptr || !GetWindowRect(owner, &outer)) return;
    int x = outer.right - (outer.right - outer.left) / 2 - (own.right - own.left) / 2;
    int y = outer.bottom - (outer.bottom - outer.top) / 2 - (own.bottom - own.top) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void initItemDialog(HWND dialog, const ItemDialogContext* context)
{
    centreOverOwner(dialog);
    HWND method = GetDlgItem(dialog, IDC_METHOD);
    if (context->editing) {
        SetWindowTextA(dialog, CAPTION_EDIT);
        SetDlgItemTextA(dialog, IDC_PATH_LABEL, PATH_LABEL_EDIT);
        ShowWindow(method, SW_HIDE);
    } else {
        SetWindowTextA(dialog, CAPTION_ADD);
        for (const char* text : METHOD_TEXTS) SendMessageA(method, CB_ADDSTRING, 0, (LPARAM)text);
        SendMessageA(method, CB_SETCURSEL, AddFile, 0);
    }
    if (context->selectedCount > 1) {
        EnableWindow(GetDlgItem(dialog, IDC_PATH), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_BROWSE), FALSE);
    }
    const ComponentItem* item = context->item;
    SetDlgItemTextA(dialog, IDC_PATH, item->path);
    SendDlgItemMessageA(dialog, IDC_PATH, EM_LIMITTEXT, PATH_LIMIT, 0);
    setChecked(dialog, IDC_OPT_U, item->switches.unregister);
    setChecked(dialog, IDC_OPT_N, item->switches.noRegisterServer);
    setChecked(dialog, IDC_OPT_I, item->switches.callInstall);
    setChecked(dialog, IDC_OPT_C, item->switches.perUser);
    SetDlgItemTextA(dialog, IDC_CMDLINE, item->switches.installCmdLine);
    SendDlgItemMessageA(dialog, IDC_CMDLINE, EM_LIMITTEXT, COMMAND_LINE_LIMIT, 0);
    enableCmdLine(dialog, item->switches.callInstall);
}

// /n without /i cannot be reached by clicks: checking /n checks /i, clearing /i clears /n.
// A buffer that arrives with /n alone is shown and kept as it is.
void onOptN(HWND dialog)
{
    if (!isChecked(dialog, IDC_OPT_N)) return;
    setChecked(dialog, IDC_OPT_I, true);
    enableCmdLine(dialog, true);
}

void onOptI(HWND dialog)
{
    bool install = isChecked(dialog, IDC_OPT_I);
    if (!install) setChecked(dialog, IDC_OPT_N, false);
    enableCmdLine(dialog, install);
}

FilePicker* openFilePicker(HWND dialog, const char* filter, const char* defaultExtension)
{
    FilePicker* picker = newFilePicker(dialog, FilePickerKind::OpenFile, "");
    if (picker != nullptr) picker->setFilter(filter, defaultExtension);
    return picker;
}

// The open dialogs start with an empty name; only the folder browser starts from the text
// in the path field.
void onBrowse(HWND dialog, const ItemDialogContext* context)
{
    LONG method = context->editing ? (LONG)AddFile : (LONG)SendDlgItemMessageA(dialog, IDC_METHOD, CB_GETCURSEL, 0, 0);
    FilePicker* picker = nullptr;
    switch (method) {
    case AddFile:
        picker = openFilePicker(dialog, COMPONENT_FILTER, "dll");
        break;
    case AddFolder:
    case AddFolderTree: {
        char path[PATH_TEXT_CAPACITY];
        readFieldText(dialog, IDC_PATH, path, sizeof path);
        picker = newFilePicker(dialog, FilePickerKind::FolderBrowse, path);
        break;
    }
    case AddListFile:
        picker = openFilePicker(dialog, LIST_FILE_FILTER, "txt");
        break;
    default:
        return;
    }
    if (picker != nullptr && picker->choose()) SetDlgItemTextA(dialog, IDC_PATH, picker->chosenPath);
    freeFilePicker(picker);
}

void onOk(HWND dialog, ItemDialogContext* context)
{
    char path[PATH_TEXT_CAPACITY];
    readFieldText(dialog, IDC_PATH, path, sizeof path);
    // Several rows keep their own paths, so only a single item needs one.
    if (context->selectedCount <= 1 && path[0] == '\0') {
        MessageBoxA(dialog, NO_ITEM_MESSAGE, PROGRAM_NAME, MB_ICONWARNING);
        return;
    }
    ComponentItem* item = context->item;
    copyText(item->path, sizeof item->path, path);
    item->switches.unregister = isChecked(dialog, IDC_OPT_U);
    item->switches.noRegisterServer = isChecked(dialog, IDC_OPT_N);
    item->switches.callInstall = isChecked(dialog, IDC_OPT_I);
    item->switches.perUser = isChecked(dialog, IDC_OPT_C);
    // Kept whether or not /i is checked, as the user left it.
    readFieldText(dialog, IDC_CMDLINE, item->switches.installCmdLine, sizeof item->switches.installCmdLine);
    context->method = (LONG)SendDlgItemMessageA(dialog, IDC_METHOD, CB_GETCURSEL, 0, 0);
    EndDialog(dialog, 1);
}

INT_PTR onCommand(HWND dialog, int control)
{
    ItemDialogContext* context = activeItemDialogContext;
    switch (control) {
    case IDOK: onOk(dialog, context); return TRUE;
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    case IDC_BROWSE: onBrowse(dialog, context); return TRUE;
    case IDC_OPT_N: onOptN(dialog); return TRUE;
    case IDC_OPT_I: onOptI(dialog); return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK itemDialogProc(HWND dialog, UINT message, WPARAM wordParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: initItemDialog(dialog, activeItemDialogContext); return TRUE;
    case WM_COMMAND: return onCommand(dialog, LOWORD(wordParam));
    }
    return FALSE;
}

}  // namespace

int showItemDialog(ItemDialogContext* context, HWND owner)
{
    activeItemDialogContext = context;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ITEM), owner, itemDialogProc, 0);
    // -1: the dialog could not be shown at all, which changes nothing, as Cancel does.
    return result == 1 ? 1 : 0;
}
