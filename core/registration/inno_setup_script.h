// A capture as an Inno Setup [Registry] section, to be included in a script: one line for each
// value and one for each key without values, of the items that succeeded, with the roots of
// each component's own bitness, its path as installed ({app}\<file name>), and flags that
// remove on uninstall what it wrote. Written whole at the end, as UTF-8 with a byte-order
// mark, which is how Inno Setup 6 tells a Unicode script from one in the ANSI code page.
// Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/registration/source_text.h"

struct InnoSetupScript {
    SourceText text;
    SourceComponent component;
    const WCHAR* root;
    const WCHAR* keyPrefix;  // the part of a root given with a key below it, as the root's
    const WCHAR* keyPath;    // the caller's, valid until endKey
    bool keyHasLines;

    // False, with the system's error, when the file cannot be written.
    bool open(const char* path);
    // A comment line naming the item and its status; the lines of an item that succeeded follow.
    void beginItem(const char* path, const char* status);
    void writeKey(const WCHAR* root, const WCHAR* path);
    void writeValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size);
    void endKey();
    // Lines that delete, on installation, a key or a value the component deleted.
    void writeKeyRemoval(const WCHAR* root, const WCHAR* path);
    void writeValueRemoval(const WCHAR* root, const WCHAR* path, const WCHAR* name);
    void endItem();
    bool close();

    // True when the key can be written: its root and its path are kept for putKeyStart.
    bool takeKey(const WCHAR* root, const WCHAR* path);
    void putKeyStart();
    // Parameter text that gives back exactly value; the component's path, where asked, as
    // the installed file's.
    void putEscaped(const WCHAR* value, size_t length, bool referToFile);
    void putQuoted(const WCHAR* value, bool referToFile);
    void putComment(const WCHAR* comment);
};
