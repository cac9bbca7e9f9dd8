// A capture as WiX source (namespace http://wixtoolset.org/schemas/v4/wxs, compiled by WiX v4
// and later): one fragment with the component group "PlinthoraCapture" in INSTALLFOLDER, and
// for each item that succeeded a component with its file and everything it wrote, so that
// the installed registry holds byte for byte what was captured. Written whole at the end, as
// UTF-8. Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/capture/capture_writer.h"
#include "core/capture/source_text.h"

// WiX keeps identifiers to 72 characters.
const int WIX_IDENTIFIER_CAPACITY = 73;

struct WixSource {
    SourceText text;
    int itemNumber;  // identifiers carry it, so they stay unique whatever the names
    SourceComponent component;
    // The key begun, until endKey: its element is started at its first value, or at endKey
    // for a key without values, and never for one only values were removed from.
    int keyRoot;
    const WCHAR* keyPath;
    bool keyPending;
    bool keyStarted;
    bool keyTagClosed;  // the key has content: values, or comments on values left out
    bool keyHadRemovals;
    WCHAR fileId[WIX_IDENTIFIER_CAPACITY];

    // Each item begins with a comment naming it and its status; an item that succeeded opens
    // its component. Removed keys and values become elements that delete them on installation.
    CAPTURE_WRITER_METHODS

    void putComment(const WCHAR* text);
    // "<element Root=... Key=..." with nothing closed; false, with a comment in its place, for
    // a key XML cannot carry or an item left out.
    bool putKeyStart(const WCHAR* element, int root, const WCHAR* path);
    // The begun key's element, started once; false when it cannot be written.
    bool startKey();
    void putIdentifier(const WCHAR* prefix, const WCHAR* fileName);
    // Attribute text as Windows Installer's formatted text that gives back exactly text; the
    // component's path, where asked, as a reference to the installed file.
    void putFormatted(const WCHAR* text, size_t length, bool referToFile);
    void putValueLeftOut(const WCHAR* name, DWORD type);
};
