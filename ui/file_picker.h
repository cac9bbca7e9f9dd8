// One request for a path through the platform's open-file, save-file or folder dialog.
// Made, used and freed by the same handler on the user-interface thread.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include "core/jobs/text_limits.h"

// Scoped: the platform already has a function named OpenFile.
enum class FilePickerKind : LONG { FolderBrowse = 0, OpenFile = 1, SaveFile = 2 };

struct FilePicker {
    HWND owner;
    FilePickerKind kind;
    // The initial text on entry; the chosen path after choose() returned true.
    char chosenPath[PATH_TEXT_CAPACITY];
    OPENFILENAMEA openFileName;
    BROWSEINFOA browseInfo;

    // For the open and save kinds: the filter (pairs of shown text and pattern, ended by an
    // empty text) and the extension added to a name typed without one.
    void setFilter(const char* filter, const char* defaultExtension);
    // Shows the dialog of the picker's kind; false on cancel, on failure and for an unknown kind.
    bool choose();

private:
    bool browseFolder();
};

// A picker on the process heap, chosenPath holding initialText; null without memory.
FilePicker* newFilePicker(HWND owner, FilePickerKind kind, const char* initialText);
void freeFilePicker(FilePicker* picker);
