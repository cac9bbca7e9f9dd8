// Where a capture goes: the format its file name asks for (.wxs WiX source, .iss Inno Setup
// script, anything else a registry file), and the one place where what the registry walk
// finds is handed to that format's writer. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/registration/inno_setup_script.h"
#include "core/registration/registry_file.h"
#include "core/registration/wix_source.h"

enum CaptureFormat { CAPTURE_REGISTRY_FILE = 0, CAPTURE_WIX_SOURCE = 1, CAPTURE_INNO_SETUP_SCRIPT = 2 };

CaptureFormat captureFormatOf(const char* path);

// What a run reports about its capture file; each follows the file's path.
extern const char CAPTURE_OPEN_FAILED[];
extern const char CAPTURE_NOT_REGISTRY_FILE[];
extern const char CAPTURE_WRITE_FAILED[];
// Which of them a capture that could not begin with the system's error reports.
const char* captureBeginFailure(DWORD error);

struct CaptureOutput {
    CaptureFormat format;
    RegistryFile* registryFile;
    WixSource* wixSource;
    InnoSetupScript* innoSetupScript;
    const WCHAR* removalRoot;
    const WCHAR* removalPath;

    // False, with the system's error (ERROR_BAD_FORMAT: a registry file it must not append
    // to), when the file cannot be written.
    bool open(const char* path);
    // The item's comment; what it wrote follows.
    void beginItem(const char* path, const char* status);
    // A key, its values, then endKey. path stays as it is until endKey.
    void writeKey(const WCHAR* root, const WCHAR* path);
    void writeValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size);
    void endKey();
    // A key the item deleted; then, between beginValueRemovals and endValueRemovals, the
    // values it deleted from one key. path stays as it is until the end.
    void writeKeyRemoval(const WCHAR* root, const WCHAR* path);
    void beginValueRemovals(const WCHAR* root, const WCHAR* path);
    void writeValueRemoval(const WCHAR* name);
    void endValueRemovals();
    void endItem();
    // Writes what is still to be written and closes the file; false when the file did not
    // take all that was written to it.
    bool close();
};
