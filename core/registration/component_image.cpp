#include "core/registration/component_image.h"

#include <stdlib.h>

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

namespace {

// More import descriptors than any real component has: a longer table is damaged.
const DWORD MOST_IMPORTED_DLLS = 4096;

// A read-only view of a whole file, with checked reads.
struct FileView {
    const BYTE* base;
    DWORD size;

    bool open(const char* path)
    {
        base = nullptr;
        size = 0;
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD high = 0;
        DWORD low = GetFileSize(file, &high);
        HANDLE mapping = nullptr;
        if (high == 0 && low != INVALID_FILE_SIZE && low != 0) {
            mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        }
        CloseHandle(file);
        if (mapping == nullptr) return false;
        base = (const BYTE*)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        CloseHandle(mapping);
        if (base != nullptr) size = low;
        return base != nullptr;
    }

    void close()
    {
        if (base != nullptr) UnmapViewOfFile(base);
        base = nullptr;
    }

    // The bytes at offset, when length of them lie inside the file.
    const void* at(DWORD offset, DWORD length) const
    {
        if (offset > size || length > size - offset) return nullptr;
        return base + offset;
    }

    // A terminated text at offset, no longer than capacity - 1; null otherwise.
    const char* textAt(DWORD offset, size_t capacity) const
    {
        if (offset >= size) return nullptr;
        const char* text = (const char*)base + offset;
        size_t room = size - offset < capacity ? size - offset : capacity;
        return memchr(text, '\0', room) != nullptr ? text : nullptr;
    }
};

// The headers of a PE image, found in a view.
struct ImageHeaders {
    const IMAGE_FILE_HEADER* file;
    const IMAGE_SECTION_HEADER* sections;
    const IMAGE_DATA_DIRECTORY* imports;

    bool read(const FileView& view)
    {
        const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)view.at(0, sizeof(IMAGE_DOS_HEADER));
        if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
        DWORD header = (DWORD)dos->e_lfanew;
        const DWORD* signature = (const DWORD*)view.at(header, sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER));
        if (signature == nullptr || *signature != IMAGE_NT_SIGNATURE) return false;
        file = (const IMAGE_FILE_HEADER*)(signature + 1);
        DWORD optional = header + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
        const WORD* magic = (const WORD*)view.at(optional, sizeof(WORD));
        imports = nullptr;
        if (magic != nullptr && *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            const IMAGE_OPTIONAL_HEADER64* wide = (const IMAGE_OPTIONAL_HEADER64*)view.at(optional, sizeof *wide);
            if (wide != nullptr && wide->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT)
                imports = &wide->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        } else if (magic != nullptr && *magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            const IMAGE_OPTIONAL_HEADER32* narrow = (const IMAGE_OPTIONAL_HEADER32*)view.at(optional, sizeof *narrow);
            if (narrow != nullptr && narrow->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_IMPORT)
                imports = &narrow->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        }
        sections = (const IMAGE_SECTION_HEADER*)view.at(optional + file->SizeOfOptionalHeader,
                                                        file->NumberOfSections * sizeof(IMAGE_SECTION_HEADER));
        return true;
    }

    // The file offset of an address of the loaded image; false when no section holds it.
    bool offsetOf(DWORD address, DWORD* offset) const
    {
        if (sections == nullptr) return false;
        for (WORD index = 0; index < file->NumberOfSections; index++) {
            const IMAGE_SECTION_HEADER& section = sections[index];
            DWORD extent = section.Misc.VirtualSize > section.SizeOfRawData ? section.Misc.VirtualSize : section.SizeOfRawData;
            if (address >= section.VirtualAddress && address - section.VirtualAddress < extent) {
                *offset = section.PointerToRawData + (address - section.VirtualAddress);
                return true;
            }
        }
        return false;
    }
};

// Names the loader resolves through the API set schema: they are no files.
bool isApiSetName(const char* name)
{
    return shellPaths().StrCmpNIA(name, "api-ms-", 7) == 0 || shellPaths().StrCmpNIA(name, "ext-ms-", 7) == 0;
}

bool existsIn(const char* folder, size_t folderLength, const char* name)
{
    char candidate[MAX_PATH];
    if (folderLength == 0 || folderLength >= sizeof candidate) return false;
    memcpy(candidate, folder, folderLength);
    candidate[folderLength] = '\0';
    return shellPaths().PathAppendA(candidate, name) && shellPaths().PathFileExistsA(candidate);
}

// The loader's search for a DLL that a component named by a path imports.
bool loaderFinds(const char* componentFolder, const char* name)
{
    if (isApiSetName(name) || GetModuleHandleA(name) != nullptr) return true;
    char folder[MAX_PATH];
    if (existsIn(componentFolder, lstrlenA(componentFolder), name)) return true;
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length < sizeof folder && existsIn(folder, length, name)) return true;
    length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length < sizeof folder && existsIn(folder, length, name)) return true;
    length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length < sizeof folder && existsIn(folder, length, name)) return true;
    DWORD pathLength = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (pathLength == 0) return false;
    char* paths = (char*)HeapAlloc(GetProcessHeap(), 0, pathLength);
    if (paths == nullptr) return false;
    bool found = false;
    if (GetEnvironmentVariableA("PATH", paths, pathLength) < pathLength) {
        for (char* entry = paths; !found && *entry != '\0';) {
            char* end = shellPaths().StrChrA(entry, ';');
            size_t entryLength = end != nullptr ? (size_t)(end - entry) : (size_t)lstrlenA(entry);
            found = existsIn(entry, entryLength, name);
            entry = end != nullptr ? end + 1 : entry + entryLength;
        }
    }
    HeapFree(GetProcessHeap(), 0, paths);
    return found;
}

}  // namespace

WORD componentMachine(const char* path)
{
    FileView view;
    if (!view.open(path)) return 0;
    ImageHeaders headers;
    WORD machine = headers.read(view) ? headers.file->Machine : 0;
    view.close();
    return machine;
}

bool firstMissingImport(const char* path, char* name, size_t capacity)
{
    name[0] = '\0';
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof fullPath, fullPath, nullptr);
    if (length == 0 || length >= sizeof fullPath) return false;
    char componentFolder[MAX_PATH];
    copyText(componentFolder, sizeof componentFolder, fullPath);
    *shellPaths().PathFindFileNameA(componentFolder) = '\0';

    FileView view;
    if (!view.open(fullPath)) return false;
    ImageHeaders headers;
    DWORD offset = 0;
    if (headers.read(view) && headers.imports != nullptr && headers.imports->VirtualAddress != 0 &&
        headers.offsetOf(headers.imports->VirtualAddress, &offset)) {
        for (DWORD index = 0; index < MOST_IMPORTED_DLLS && name[0] == '\0'; index++) {
            const IMAGE_IMPORT_DESCRIPTOR* descriptor = (const IMAGE_IMPORT_DESCRIPTOR*)view.at(
                offset + index * sizeof(IMAGE_IMPORT_DESCRIPTOR), sizeof(IMAGE_IMPORT_DESCRIPTOR));
            DWORD nameOffset = 0;
            if (descriptor == nullptr || descriptor->Name == 0 || !headers.offsetOf(descriptor->Name, &nameOffset)) break;
            const char* imported = view.textAt(nameOffset, MAX_PATH);
            if (imported != nullptr && !loaderFinds(componentFolder, imported)) copyText(name, capacity, imported);
        }
    }
    view.close();
    return name[0] != '\0';
}
