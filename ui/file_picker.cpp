#include "ui/file_picker.h"

#include "core/jobs/heap.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

namespace {

// "フォルダを選択して下さい。": please select a folder.
const char BROWSE_TITLE[] = "フォルダを選択して下さい。";

// Neither flag set keeps the current directory: after a dialog it stays where the user
// browsed, and relative item paths follow it.
const DWORD OPEN_FLAGS = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
const DWORD SAVE_FLAGS = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;

// Opens the browser at the folder whose path text travels as the data.
int CALLBACK browseCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

FilePicker* newFilePicker(HWND owner, FilePickerKind kind, const char* initialText)
{
    FilePicker* picker = newZeroed<FilePicker>();
    if (picker == nullptr) return nullptr;
    picker->owner = owner;
    picker->kind = kind;
    copyText(picker->chosenPath, sizeof picker->chosenPath, initialText);
    // The layout without the fields that Windows 2000 added.
    picker->openFileName.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    picker->openFileName.hwndOwner = owner;
    picker->openFileName.lpstrFile = picker->chosenPath;
    picker->openFileName.nMaxFile = sizeof picker->chosenPath;
    picker->browseInfo.hwndOwner = owner;
    return picker;
}

void freeFilePicker(FilePicker* picker)
{
    freeBlock(picker);
}

void FilePicker::setFilter(const char* filter, const char* defaultExtension)
{
    openFileName.lpstrFilter = filter;
    openFileName.lpstrDefExt = defaultExtension;
}

bool FilePicker::choose()
{
    switch (kind) {
    case FilePickerKind::OpenFile:
        openFileName.Flags = OPEN_FLAGS;
        return GetOpenFileNameA(&openFileName) != FALSE;
    case FilePickerKind::SaveFile:
        openFileName.Flags = SAVE_FLAGS;
        return GetSaveFileNameA(&openFileName) != FALSE;
    case FilePickerKind::FolderBrowse:
        return browseFolder();
    }
    return false;
}

bool FilePicker::browseFolder()
{
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &desktop)) || desktop == nullptr) return false;
    // The browser starts at the folder that holds the text's last component; "D:\tools\"
    // has an empty last component, so it starts at D:\tools itself.
    shellPaths().PathRemoveFileSpecA(chosenPath);
    browseInfo.pidlRoot = desktop;
    browseInfo.pszDisplayName = chosenPath;
    browseInfo.lpszTitle = BROWSE_TITLE;
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS;
    browseInfo.lpfn = browseCallback;
    browseInfo.lParam = (LPARAM)chosenPath;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browseInfo);
    if (chosen == nullptr) {
        CoTaskMemFree(desktop);
        return false;
    }
    bool result = SHGetPathFromIDListA(chosen, chosenPath) != FALSE;
    // A folder ends with a backslash, so the job takes it as a folder to list. A folder path
    // that already fills the field is left without it (the job adds it in a wider buffer):
    // the platform call would write the backslash past the field's end.
    if (result && lstrlenA(chosenPath) < (int)sizeof chosenPath - 1) shellPaths().PathAddBackslashA(chosenPath);
    CoTaskMemFree(desktop);
    CoTaskMemFree(chosen);
    return result;
}
