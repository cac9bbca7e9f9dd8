// A capture as an Inno Setup [Registry] section, to be included in a script: one line for each
// value and one for each key without values, of the items that succeeded, with the roots of
// each component's own bitness, its path as installed ({app}\<file name>), and flags that
// remove on uninstall what it wrote. Written whole at the end, as UTF-8 with a byte-order
// mark, which is how Inno Setup 6 tells a Unicode script from one in the ANSI code page.
// Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/capture/capture_writer.h"
#include "core/capture/source_text.h"

struct InnoSetupScript {
    SourceText text;
    SourceComponent component;
    const WCHAR* root;
    const WCHAR* keyPath;  // the caller's, valid until endKey; null: nothing to write for the key
    bool keyHasLines;

    // Each item begins with a comment line naming it and its status; the lines of an item that
    // succeeded follow. Removed keys and values become lines that delete them on installation.
    CAPTURE_WRITER_METHODS

    // True when the key can be written: its root and its path are kept for putKeyStart.
    bool takeKey(int root, const WCHAR* path);
    void putKeyStart();
    // Parameter text that gives back exactly value; the component's path, where asked, as
    // the installed file's.
    void putEscaped(const WCHAR* value, size_t length, bool referToFile);
    void putQuoted(const WCHAR* value, bool referToFile);
    void putComment(const WCHAR* comment);
};
