// A capture as WiX source (namespace http://wixtoolset.org/schemas/v4/wxs, compiled by WiX v4
// and later): one fragment with the component group "PlinthoraCapture" in INSTALLFOLDER, and
// for each item that succeeded a component with its file and everything it wrote, so that
// the installed registry holds byte for byte what was captured. Written whole at the end, as
// UTF-8. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/registration/source_text.h"

// WiX keeps identifiers to 72 characters.
const int WIX_IDENTIFIER_CAPACITY = 73;

struct WixSource {
    SourceText text;
    int itemNumber;  // identifiers carry it, so they stay unique whatever the names
    SourceComponent component;
    bool keyStarted;
    bool keyTagClosed;  // the key has content: values, or comments on values left out
    WCHAR fileId[WIX_IDENTIFIER_CAPACITY];

    // False, with the system's error, when the file cannot be written.
    bool open(const char* path);
    // A comment naming the item and its status; an item that succeeded opens its component.
    void beginItem(const char* path, const char* status);
    void writeKey(const WCHAR* root, const WCHAR* path);
    void writeValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size);
    void endKey();
    // Elements that delete, on installation, a key or a value the component deleted.
    void writeKeyRemoval(const WCHAR* root, const WCHAR* path);
    void writeValueRemoval(const WCHAR* root, const WCHAR* path, const WCHAR* name);
    void endItem();
    bool close();

    void putComment(const WCHAR* text);
    // "<element Root=... Key=..." with nothing closed; false, with a comment in its place, for
    // a key XML cannot carry or an item left out.
    bool putKeyStart(const WCHAR* element, const WCHAR* root, const WCHAR* path);
    void putIdentifier(const WCHAR* prefix, const WCHAR* fileName);
    // Attribute text as Windows Installer's formatted text that gives back exactly text; the
    // component's path, where asked, as a reference to the installed file.
    void putFormatted(const WCHAR* text, size_t length, bool referToFile);
    void putValueLeftOut(const WCHAR* name, DWORD type);
};
