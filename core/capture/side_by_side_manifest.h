// A capture as a side-by-side assembly manifest, for using the components without registering
// them (registration-free COM): one assembly named after the file, one <file> per component
// that succeeded, with the classes, type libraries and automation-marshalled interfaces the
// component registered, and a comment listing what it wrote that a manifest cannot carry.
// Written whole at the end, as UTF-8 without a byte-order mark.
//
// A component's part is held back after endItem until the run has checked it by use: the
// run writes the manifest with it (writeCheck), has a worker create each of its classes
// through that, and then settles the item with the status that check gave. One assembly serves
// one architecture and names its files relative to its own folder: a component of the other
// bitness, or outside the folder, is refused (refusal). Used by one thread at a time.
#pragma once

#include <windows.h>

#include "core/capture/capture_writer.h"
#include "core/capture/manifest_key_paths.h"
#include "core/capture/source_text.h"
#include "core/jobs/text_limits.h"

// The standard marshaller of automation interfaces, which a manifest names for an interface.
const WCHAR AUTOMATION_MARSHALLER[] = L"{00020424-0000-0000-C000-000000000046}";
const LONG MANIFEST_CLASS_CAPACITY = 256;
const int MANIFEST_LIBRARY_CAPACITY = 16;
const int MANIFEST_INTERFACE_CAPACITY = 512;
const int MANIFEST_LEFT_OUT_CAPACITY = 64;
const int MANIFEST_NAME_CAPACITY = 256;

// What a worker is handed to check one component's part: the manifest as it will stand with
// that part, in the folder of the final one so that its file names resolve alike, and the
// classes the capture found for the part, each to be created through it. Fixed fields only: it crosses to a worker of
// either architecture.
struct ManifestCheck {
    char manifestPath[MAX_PATH];  // empty: no check
    LONG classCount;
    char classIds[MANIFEST_CLASS_CAPACITY][GUID_TEXT_CAPACITY];
};

struct ManifestClass {
    WCHAR clsid[GUID_TEXT_CAPACITY];
    WCHAR threadingModel[16];
    WCHAR progid[MANIFEST_NAME_CAPACITY];
    WCHAR versionIndependentProgid[MANIFEST_NAME_CAPACITY];
    WCHAR tlbid[GUID_TEXT_CAPACITY];
    WCHAR description[MANIFEST_NAME_CAPACITY];
    bool servedByFile;  // its InprocServer32 names the component's own file
};

struct ManifestLibrary {
    WCHAR tlbid[GUID_TEXT_CAPACITY];
    WCHAR version[16];  // "major.minor" in decimal
    WCHAR helpDirectory[MAX_PATH];
    DWORD flags;
};

struct ManifestInterface {
    WCHAR iid[GUID_TEXT_CAPACITY];
    WCHAR name[MANIFEST_NAME_CAPACITY];
    WCHAR tlbid[GUID_TEXT_CAPACITY];
    bool automationMarshalled;
};

// A key the component wrote that the manifest does not carry, by its root and its path.
struct ManifestLeftOut {
    int root;
    WCHAR path[MAX_PATH];
};

// Which part of a component's registration the key being walked holds.
enum ManifestKeyKind {
    MANIFEST_KEY_LEFT_OUT,
    MANIFEST_KEY_IGNORED,  // carried by what its parent key gives
    MANIFEST_KEY_CLASS,
    MANIFEST_KEY_CLASS_SERVER,
    MANIFEST_KEY_CLASS_PROGID,
    MANIFEST_KEY_CLASS_VERSION_INDEPENDENT_PROGID,
    MANIFEST_KEY_CLASS_TYPELIB,
    MANIFEST_KEY_LIBRARY,
    MANIFEST_KEY_LIBRARY_FLAGS,
    MANIFEST_KEY_LIBRARY_HELPDIR,
    MANIFEST_KEY_LIBRARY_PATH,
    MANIFEST_KEY_INTERFACE,
    MANIFEST_KEY_INTERFACE_PROXY_STUB,
    MANIFEST_KEY_INTERFACE_TYPELIB,
};

struct SideBySideManifest {
    SourceText text;  // the final file, written at close
    SourceText body;  // the settled items
    SourceText part;  // the item in hand, as it will stand in the file
    WCHAR folder[MAX_PATH];  // the manifest's, with its closing backslash
    size_t folderLength;
    WCHAR name[MAX_PATH];  // the assembly's: the file's name without ".manifest"
    WORD machine;  // of the components in the assembly; 0 before the first
    char itemPath[MAX_PATH];
    SourceComponent component;
    WORD itemMachine;
    const WCHAR* relativeName;  // inside component.path; null outside the folder
    bool pending;  // the item's part waits for settle
    char refusal[DETAIL_TEXT_CAPACITY];  // why the item cannot be in the assembly

    ManifestKeyKind keyKind;
    int keyIndex;  // of the class, library or interface the key belongs to
    int keyRoot;
    const WCHAR* keyPath;

    LONG classCount;
    ManifestClass classes[MANIFEST_CLASS_CAPACITY];
    int libraryCount;
    ManifestLibrary libraries[MANIFEST_LIBRARY_CAPACITY];
    int interfaceCount;
    ManifestInterface interfaces[MANIFEST_INTERFACE_CAPACITY];
    int leftOutCount;
    int leftOutUnlisted;  // beyond the list's capacity
    ManifestLeftOut leftOut[MANIFEST_LEFT_OUT_CAPACITY];

    // Each item's keys are collected; endItem composes its part, or its refusal, and holds it.
    CAPTURE_WRITER_METHODS

    // After endItem, for an item that succeeded and is not refused: writes the manifest as it
    // will stand with the item's part and names the part's classes to create through it;
    // false, with the system's error, when that file cannot be written.
    bool writeCheck(ManifestCheck* check);
    // Puts the item in the file with the status it ends with: its part when it succeeded,
    // otherwise a comment naming it, its status and the detail.
    void settle(const char* status, const char* detail);

    void classifyKey(int root, const WCHAR* path);
    int findOrAddClass(const WCHAR* clsid, size_t length);
    int findOrAddLibrary(const WCHAR* tlbid, size_t length);
    int findOrAddInterface(const WCHAR* iid, size_t length);
    void addLeftOut(int root, const WCHAR* path);
    bool isProgidKey(const ManifestLeftOut& key) const;
    void composePart();
    void putHead(SourceText& out, WORD assemblyMachine);
    void putLeftOutComment();
    void putClass(const ManifestClass& entry);
    void putLibrary(const ManifestLibrary& entry);
    void putInterface(const ManifestInterface& entry);
};
