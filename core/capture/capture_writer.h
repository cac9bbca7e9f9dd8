// The verbs every capture writer speaks. The walk of one item's captured keys calls them in
// this order: beginItem; removedKey for each key the item deleted; for each key it deleted
// values from, beginKey, removedValue for each, endKey; for each key it wrote, beginKey, value
// for each, endKey; note for anything it has to say of the item; endItem. A key is named by
// its root (an OverlayRoot) and its path below the root, which stays valid until endKey. A
// writer is a record with these methods; writerVerbs turns them into one row of pointers, so
// that a format is one more row in the table of formats.
#pragma once

#include <windows.h>

struct CaptureWriterVerbs {
    // False, with the system's error, when the file cannot be written.
    bool (*open)(void* writer, const char* path);
    void (*beginItem)(void* writer, const char* path, const char* status);
    void (*removedKey)(void* writer, int root, const WCHAR* path);
    void (*beginKey)(void* writer, int root, const WCHAR* path);
    void (*value)(void* writer, const WCHAR* name, DWORD type, const BYTE* data, DWORD size);
    void (*removedValue)(void* writer, const WCHAR* name);
    void (*endKey)(void* writer);
    void (*note)(void* writer, const WCHAR* text);
    void (*endItem)(void* writer);
    // Writes what is still to be written and closes the file; false when the file did not
    // take all of it.
    bool (*close)(void* writer);
};

// The verbs as a writer's own methods, declared once for every writer record.
#define CAPTURE_WRITER_METHODS                                                   \
    bool open(const char* path);                                                 \
    void beginItem(const char* path, const char* status);                        \
    void removedKey(int root, const WCHAR* path);                                \
    void beginKey(int root, const WCHAR* path);                                  \
    void value(const WCHAR* name, DWORD type, const BYTE* data, DWORD size);     \
    void removedValue(const WCHAR* name);                                        \
    void endKey();                                                               \
    void note(const WCHAR* text);                                                \
    void endItem();                                                              \
    bool close();

template <typename Writer>
constexpr CaptureWriterVerbs writerVerbs()
{
    return {
        [](void* writer, const char* path) { return ((Writer*)writer)->open(path); },
        [](void* writer, const char* path, const char* status) { ((Writer*)writer)->beginItem(path, status); },
        [](void* writer, int root, const WCHAR* path) { ((Writer*)writer)->removedKey(root, path); },
        [](void* writer, int root, const WCHAR* path) { ((Writer*)writer)->beginKey(root, path); },
        [](void* writer, const WCHAR* name, DWORD type, const BYTE* data, DWORD size) {
            ((Writer*)writer)->value(name, type, data, size);
        },
        [](void* writer, const WCHAR* name) { ((Writer*)writer)->removedValue(name); },
        [](void* writer) { ((Writer*)writer)->endKey(); },
        [](void* writer, const WCHAR* text) { ((Writer*)writer)->note(text); },
        [](void* writer) { ((Writer*)writer)->endItem(); },
        [](void* writer) { return ((Writer*)writer)->close(); },
    };
}
