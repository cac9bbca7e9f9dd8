// Where a capture goes: the writer of the format its file name asks for (.wxs WiX source, .iss
// Inno Setup script, .manifest side-by-side manifest, anything else a registry file), and the
// one place where what the registry walk finds is handed to it. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/capture/capture_writer.h"

struct SideBySideManifest;

// What a run reports about its capture file; each follows the file's path.
extern const char CAPTURE_OPEN_FAILED[];
extern const char CAPTURE_NOT_REGISTRY_FILE[];
extern const char CAPTURE_WRITE_FAILED[];
// Which of them a capture that could not begin with the system's error reports.
const char* captureBeginFailure(DWORD error);

struct CaptureOutput {
    void* writer;
    const CaptureWriterVerbs* verbs;
    // Something the walk found could not be written: the file is then reported as not written.
    bool incomplete;

    // False, with the system's error (ERROR_BAD_FORMAT: a registry file it must not append
    // to), when the file cannot be written.
    bool open(const char* path);
    void beginItem(const char* path, const char* status) { verbs->beginItem(writer, path, status); }
    void removedKey(int root, const WCHAR* path) { verbs->removedKey(writer, root, path); }
    void beginKey(int root, const WCHAR* path) { verbs->beginKey(writer, root, path); }
    void value(const WCHAR* name, DWORD type, const BYTE* data, DWORD size) { verbs->value(writer, name, type, data, size); }
    void removedValue(const WCHAR* name) { verbs->removedValue(writer, name); }
    void endKey() { verbs->endKey(writer); }
    void note(const WCHAR* text) { verbs->note(writer, text); }
    void endItem() { verbs->endItem(writer); }
    // False when the file did not take everything, or something could not be written to it.
    bool close();
    // The writer when the output is a manifest, whose items are checked by use; null otherwise.
    SideBySideManifest* sideBySideManifest() const;
};
