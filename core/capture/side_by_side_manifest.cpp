#include "core/capture/side_by_side_manifest.h"

#include <wchar.h>

#include "core/capture/manifest_xml.h"
#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/registration/component_image.h"
#include "core/registration/status_texts.h"
#include "core/registration/type_library.h"

namespace {

const WCHAR MANIFEST_EXTENSION[] = L".manifest";
const WCHAR TAIL[] = L"</assembly>\r\n";

// The threading models a manifest knows; any other (Single, or none) is the main apartment,
// which a comClass without the attribute means.
const WCHAR* const THREADING_MODELS[] = {L"Apartment", L"Free", L"Both", L"Neutral"};

int bitsOf(WORD machine)
{
    return machine == IMAGE_FILE_MACHINE_I386 ? 32 : 64;
}

WORD ownMachine()
{
    return sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
}

// The index of the entry whose GUID is the text, added at the end if there is none; -1 when
// the entries are full.
template <typename Entry, typename Count>
int findOrAdd(Entry* entries, Count& count, Count capacity, WCHAR (Entry::*guid)[GUID_TEXT_CAPACITY], const WCHAR* text,
              size_t length)
{
    for (Count index = 0; index < count; index++) {
        if (sameText(text, length, entries[index].*guid)) return (int)index;
    }
    if (count == capacity) return -1;
    entries[count] = Entry{};
    copyWide(entries[count].*guid, GUID_TEXT_CAPACITY, text, length);
    return (int)count++;
}

}  // namespace

bool SideBySideManifest::open(const char* path)
{
    machine = 0;
    pending = false;
    WCHAR widePath[MAX_PATH];
    WCHAR fullPath[MAX_PATH];
    WCHAR* fileName = nullptr;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0 ||
        GetFullPathNameW(widePath, MAX_PATH, fullPath, &fileName) - 1 >= MAX_PATH - 1 || fileName == nullptr) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    size_t nameLength = lstrlenW(fileName);
    size_t extensionLength = lstrlenW(MANIFEST_EXTENSION);
    if (nameLength > extensionLength && sameText(fileName + nameLength - extensionLength, extensionLength, MANIFEST_EXTENSION)) {
        nameLength -= extensionLength;
    }
    copyWide(name, MAX_PATH, fileName, nameLength);
    folderLength = fileName - fullPath;
    copyWide(folder, MAX_PATH, fullPath, folderLength);
    return text.open(path);
}

void SideBySideManifest::beginItem(const char* path, const char* status)
{
    copyText(itemPath, sizeof itemPath, path);
    component.take(path, status);
    classCount = libraryCount = interfaceCount = leftOutCount = leftOutUnlisted = 0;
    refusal[0] = '\0';
    part.used = 0;
    pending = false;
    itemMachine = component.succeeded && !isTypeLibraryPath(path) ? componentMachine(path) : 0;
    bool inside = component.pathLength > folderLength && sameText(component.path, folderLength, folder);
    relativeName = inside ? component.path + folderLength : nullptr;
}

int SideBySideManifest::findOrAddClass(const WCHAR* clsid, size_t length)
{
    return findOrAdd(classes, classCount, MANIFEST_CLASS_CAPACITY, &ManifestClass::clsid, clsid, length);
}

int SideBySideManifest::findOrAddLibrary(const WCHAR* tlbid, size_t length)
{
    return findOrAdd(libraries, libraryCount, MANIFEST_LIBRARY_CAPACITY, &ManifestLibrary::tlbid, tlbid, length);
}

int SideBySideManifest::findOrAddInterface(const WCHAR* iid, size_t length)
{
    return findOrAdd(interfaces, interfaceCount, MANIFEST_INTERFACE_CAPACITY, &ManifestInterface::iid, iid, length);
}

void SideBySideManifest::addLeftOut(int root, const WCHAR* path)
{
    for (int index = 0; index < leftOutCount; index++) {
        if (leftOut[index].root == root && lstrcmpiW(leftOut[index].path, path) == 0) return;
    }
    if (leftOutCount == MANIFEST_LEFT_OUT_CAPACITY) {
        leftOutUnlisted++;
        return;
    }
    leftOut[leftOutCount].root = root;
    copyWide(leftOut[leftOutCount].path, MAX_PATH, path, lstrlenW(path));
    leftOutCount++;
}

void SideBySideManifest::classifyKey(int root, const WCHAR* path)
{
    keyKind = MANIFEST_KEY_LEFT_OUT;
    keyIndex = -1;
    const WCHAR* below = classesPath(root, path);
    if (below == nullptr) return;
    KeySegment parts[KEY_SEGMENT_CAPACITY];
    int count = splitKeyPath(below, parts);
    if (count < 2 || !isGuidText(parts[1].text, parts[1].length)) return;
    if (sameText(parts[0], L"CLSID") && count <= 3) {
        keyIndex = findOrAddClass(parts[1].text, parts[1].length);
        if (keyIndex < 0) return;
        if (count == 2) keyKind = MANIFEST_KEY_CLASS;
        else if (sameText(parts[2], L"InprocServer32")) keyKind = MANIFEST_KEY_CLASS_SERVER;
        else if (sameText(parts[2], L"ProgID")) keyKind = MANIFEST_KEY_CLASS_PROGID;
        else if (sameText(parts[2], L"VersionIndependentProgID")) keyKind = MANIFEST_KEY_CLASS_VERSION_INDEPENDENT_PROGID;
        else if (sameText(parts[2], L"TypeLib")) keyKind = MANIFEST_KEY_CLASS_TYPELIB;
    } else if (sameText(parts[0], L"TypeLib") && count >= 3 && count <= 5) {
        WCHAR version[16];
        if (!decimalVersion(parts[2], version)) return;
        keyIndex = findOrAddLibrary(parts[1].text, parts[1].length);
        if (keyIndex < 0) return;
        lstrcpyW(libraries[keyIndex].version, version);
        keyKind = MANIFEST_KEY_IGNORED;
        if (count == 4 && sameText(parts[3], L"FLAGS")) keyKind = MANIFEST_KEY_LIBRARY_FLAGS;
        else if (count == 4 && sameText(parts[3], L"HELPDIR")) keyKind = MANIFEST_KEY_LIBRARY_HELPDIR;
        // The platform the library was registered for is the machine of a library given alone.
        bool win64 = count == 5 && sameText(parts[4], L"win64");
        if ((win64 || (count == 5 && sameText(parts[4], L"win32"))) && itemMachine == 0 && isTypeLibraryPath(itemPath)) {
            itemMachine = win64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
        }
    } else if (sameText(parts[0], L"Interface")) {
        keyIndex = findOrAddInterface(parts[1].text, parts[1].length);
        if (keyIndex < 0) return;
        // NumMethods, BaseInterface and the 16-bit ProxyStubClsid come with the interface.
        keyKind = MANIFEST_KEY_IGNORED;
        if (count == 2) keyKind = MANIFEST_KEY_INTERFACE;
        else if (count == 3 && sameText(parts[2], L"ProxyStubClsid32")) keyKind = MANIFEST_KEY_INTERFACE_PROXY_STUB;
        else if (count == 3 && sameText(parts[2], L"TypeLib")) keyKind = MANIFEST_KEY_INTERFACE_TYPELIB;
    }
}

void SideBySideManifest::beginKey(int root, const WCHAR* path)
{
    keyRoot = root;
    keyPath = path;
    if (!component.succeeded) return;
    classifyKey(root, path);
    if (keyKind == MANIFEST_KEY_LEFT_OUT) addLeftOut(root, path);
}

void SideBySideManifest::value(const WCHAR* valueName, DWORD type, const BYTE* data, DWORD size)
{
    if (!component.succeeded || keyIndex < 0 || (type != REG_SZ && type != REG_EXPAND_SZ)) return;
    TextValue textValue;
    textValue.read(type, data, size, [](const WCHAR*, size_t) { return true; });
    if (!textValue.plainString) return;
    const WCHAR* text = textValue.strings;
    size_t length = textValue.length;
    bool isDefault = valueName[0] == L'\0';
    ManifestClass* entry = keyKind <= MANIFEST_KEY_CLASS_TYPELIB && keyKind >= MANIFEST_KEY_CLASS ? &classes[keyIndex] : nullptr;
    switch (keyKind) {
    case MANIFEST_KEY_CLASS:
        if (isDefault) copyWide(entry->description, MANIFEST_NAME_CAPACITY, text, length);
        break;
    case MANIFEST_KEY_CLASS_SERVER:
        if (isDefault) {
            const WCHAR* named = text;
            for (const WCHAR* c = text; *c != L'\0'; c++) {
                if (*c == L'\\' || *c == L'/') named = c + 1;
            }
            // The full path, or the bare file name the loader finds beside it.
            entry->servedByFile = (length == component.pathLength && component.pathAt(text, length)) ||
                                  (named == text && lstrcmpiW(text, component.fileName) == 0);
        } else if (lstrcmpiW(valueName, L"ThreadingModel") == 0) {
            for (const WCHAR* model : THREADING_MODELS) {
                if (sameText(text, length, model)) lstrcpyW(entry->threadingModel, model);
            }
        }
        break;
    case MANIFEST_KEY_CLASS_PROGID:
        if (isDefault) copyWide(entry->progid, MANIFEST_NAME_CAPACITY, text, length);
        break;
    case MANIFEST_KEY_CLASS_VERSION_INDEPENDENT_PROGID:
        if (isDefault) copyWide(entry->versionIndependentProgid, MANIFEST_NAME_CAPACITY, text, length);
        break;
    case MANIFEST_KEY_CLASS_TYPELIB:
        if (isDefault && isGuidText(text, length)) copyWide(entry->tlbid, GUID_TEXT_CAPACITY, text, length);
        break;
    case MANIFEST_KEY_LIBRARY_FLAGS:
        if (isDefault) libraries[keyIndex].flags = wcstoul(text, nullptr, 10);
        break;
    case MANIFEST_KEY_LIBRARY_HELPDIR:
        if (isDefault) copyWide(libraries[keyIndex].helpDirectory, MAX_PATH, text, length);
        break;
    case MANIFEST_KEY_INTERFACE:
        if (isDefault) copyWide(interfaces[keyIndex].name, MANIFEST_NAME_CAPACITY, text, length);
        break;
    case MANIFEST_KEY_INTERFACE_PROXY_STUB:
        if (isDefault) interfaces[keyIndex].automationMarshalled = sameText(text, length, AUTOMATION_MARSHALLER);
        break;
    case MANIFEST_KEY_INTERFACE_TYPELIB:
        if (isDefault && isGuidText(text, length)) copyWide(interfaces[keyIndex].tlbid, GUID_TEXT_CAPACITY, text, length);
        break;
    default:
        break;
    }
}

// A manifest deletes nothing: what the component deleted has no place in it.
void SideBySideManifest::removedKey(int, const WCHAR*) {}
void SideBySideManifest::removedValue(const WCHAR*) {}

void SideBySideManifest::endKey()
{
    keyIndex = -1;
}

void SideBySideManifest::note(const WCHAR* noteText)
{
    part.put(L"  <!-- ");
    putCommentText(part, noteText);
    part.put(L" -->\r\n");
}

void SideBySideManifest::endItem()
{
    pending = true;
    if (!component.succeeded) return;
    if (relativeName == nullptr) {
        copyText(refusal, sizeof refusal, "マニフェストのフォルダーかその下にないため、アセンブリに含められません");
    } else if (machine != 0 && itemMachine != 0 && itemMachine != machine) {
        wsprintfA(refusal, "%d ビット用のコンポーネントは %d ビット用のアセンブリに含められません", bitsOf(itemMachine), bitsOf(machine));
    } else {
        composePart();
    }
}

bool SideBySideManifest::writeCheck(ManifestCheck* check)
{
    char checkPath[MAX_PATH];
    int length = WideCharToMultiByte(CP_ACP, 0, folder, -1, checkPath, MAX_PATH - 40, nullptr, nullptr);
    if (length == 0) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    // Beside the final file, so that the loader finds the files as it will there, and holding
    // what the final file holds so far: the system judges the part among the others.
    wsprintfA(checkPath + length - 1, "~plinthora-check-%lu.manifest", GetCurrentProcessId());
    SourceText checkText = {};
    if (!checkText.open(checkPath)) return false;
    putHead(checkText, machine != 0 ? machine : itemMachine != 0 ? itemMachine : ownMachine());
    appendText(checkText, body);
    appendText(checkText, part);
    checkText.put(TAIL);
    if (!checkText.writeWhole(false)) {
        DeleteFileA(checkPath);
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    copyText(check->manifestPath, sizeof check->manifestPath, checkPath);
    check->classCount = 0;
    for (LONG index = 0; index < classCount; index++) {
        if (!classes[index].servedByFile) continue;
        WideCharToMultiByte(CP_ACP, 0, classes[index].clsid, -1, check->classIds[check->classCount++], GUID_TEXT_CAPACITY,
                            nullptr, nullptr);
    }
    return true;
}

void SideBySideManifest::settle(const char* status, const char* detail)
{
    if (!pending) return;
    pending = false;
    component.take(itemPath, status);
    bool succeeded = isSuccessStatus(status);
    WCHAR said[DETAIL_TEXT_CAPACITY] = L"";
    if (!succeeded && detail[0] != '\0' && MultiByteToWideChar(CP_ACP, 0, detail, -1, said, DETAIL_TEXT_CAPACITY) == 0) {
        said[0] = L'\0';
    }
    body.put(L"  <!-- ");
    putCommentText(body, component.comment);
    if (said[0] != L'\0') {
        body.put(L" : ");
        putCommentText(body, said);
    }
    body.put(L" -->\r\n");
    if (succeeded) {
        appendText(body, part);
        if (machine == 0) machine = itemMachine;
    }
    part.used = 0;
}

bool SideBySideManifest::close()
{
    putHead(text, machine != 0 ? machine : ownMachine());
    appendText(text, body);
    text.put(TAIL);
    if (body.outOfMemory || part.outOfMemory) text.outOfMemory = true;
    freeBlock(body.text);
    freeBlock(part.text);
    body = part = SourceText{};
    return text.writeWhole(false);
}
