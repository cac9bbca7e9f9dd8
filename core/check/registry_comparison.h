// The comparison of one item's captured registration with the registry: every key and value the
// first capture wrote must be there with the same type and data, every key and value it deleted
// must be absent, and what a second capture of the same file wrote differently is left out as a
// value of the moment. The registry is read in this process's own view; the classes of an item
// with /c are read as the user's programs see them, the user's over the machine's, and those of
// any other item as the machine holds them. Worker thread, after the captures' overlays are gone.
#pragma once

#include <windows.h>

#include "core/jobs/text_limits.h"

// Key paths below a root: names are at most 255 characters, and a deeper path is not compared.
const size_t COMPARED_PATH_CAPACITY = 4096;

struct RegistryComparison {
    // The scratch keys (below HKEY_CURRENT_USER) of the first and the second capture.
    const char* firstCapture;
    const char* secondCapture;
    bool userClasses;
    // The component's own file: a server or type-library path that names another is told apart.
    WCHAR componentPath[MAX_PATH];

    DWORD differences;
    DWORD leftOut;        // keys and values that moved between the two captures
    DWORD identityKeys;   // class, type-library and interface keys written
    DWORD identityFound;  // ... and present
    DWORD othersFound;    // keys and values written and present, whatever their data
    bool otherFile;       // a server or type-library path names another file
    char firstDifference[DETAIL_TEXT_CAPACITY];
    char firstOtherFile[DETAIL_TEXT_CAPACITY];

    // Something could not be compared for want of memory: the answer is then no answer.
    bool memoryRanOut;

    // Walks both captures' trees of every root.
    void compare();
    // Nothing the registration writes is there: for a registration with class, type-library or
    // interface keys none of those, otherwise none of its keys and values.
    bool nothingFound() const;

    // Where the walk is: a root (an OverlayRoot) and a key path below it.
    int root;
    size_t length;
    WCHAR path[COMPARED_PATH_CAPACITY];

    void compareWritten(HKEY first, HKEY second);
    void compareValues(HKEY first, HKEY second, HKEY real, bool keyMoved, DWORD longestName, DWORD longestData);
    void compareValue(const WCHAR* name, DWORD type, const BYTE* data, DWORD size, HKEY real);
    // The walks of the deleted trees share the written tree's signature; they have no second.
    void compareDeletedKeys(HKEY deleted, HKEY);
    void compareDeletedValues(HKEY deleted, HKEY);
    typedef void (RegistryComparison::*KeyVisit)(HKEY first, HKEY second);
    // Each subkey of first, with the subkey of the same name of second where it has one.
    void visitSubkeys(HKEY first, HKEY second, KeyVisit visit);
    // The key at path in the registry, in the first capture's written tree, or in the second's;
    // null when it is not there.
    HKEY openReal() const;
    HKEY openWritten(const char* capture) const;
    // Steps into a subkey of the key at path, and back.
    bool enter(const WCHAR* name);
    void leave(size_t previous);
    void noteDifference(const WCHAR* name, const char* there, const char* written, bool namesOtherFile);
};
