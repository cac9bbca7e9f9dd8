#include "core/capture/side_by_side_manifest.h"

#include <string.h>
#include <wchar.h>

#include "core/capture/captured_roots.h"
#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/overlay/overlay_store.h"
#include "core/registration/component_image.h"
#include "core/registration/status_texts.h"
#include "core/registration/type_library.h"

namespace {

const WCHAR MANIFEST_EXTENSION[] = L".manifest";
const WCHAR AUTOMATION_MARSHALLER[] = L"{00020424-0000-0000-C000-000000000046}";
const WCHAR TAIL[] = L"</assembly>\r\n";
// The parts of a key path the walk tells apart: CLSID\{…}\InprocServer32 at most, and
// TypeLib\{…}\1.0\0\win32; anything deeper is none of them.
const int SEGMENT_CAPACITY = 6;

// The manifest's names of a type library's flags (LIBFLAGS), by bit.
const WCHAR* const LIBRARY_FLAG_NAMES[] = {L"RESTRICTED", L"CONTROL", L"HIDDEN", L"HASDISKIMAGE"};
// The threading models a manifest knows; any other (Single, or none) is the main apartment,
// which a comClass without the attribute means.
const WCHAR* const THREADING_MODELS[] = {L"Apartment", L"Free", L"Both", L"Neutral"};

struct Segment {
    const WCHAR* text;
    size_t length;
};

bool sameText(const WCHAR* text, size_t length, const WCHAR* other)
{
    return CompareStringOrdinal(text, (int)length, other, -1, TRUE) == CSTR_EQUAL;
}

bool sameText(const Segment& segment, const WCHAR* other)
{
    return sameText(segment.text, segment.length, other);
}

bool isHexDigit(WCHAR c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool isGuidText(const WCHAR* text, size_t length)
{
    if (length != GUID_TEXT_CAPACITY - 1 || text[0] != L'{' || text[length - 1] != L'}') return false;
    for (size_t i = 1; i + 1 < length; i++) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !isHexDigit(text[i])) return false;
    }
    return true;
}

int splitPath(const WCHAR* path, Segment* segments)
{
    int count = 0;
    for (const WCHAR* start = path; count < SEGMENT_CAPACITY; count++) {
        const WCHAR* end = wcschr(start, L'\\');
        segments[count] = {start, end != nullptr ? (size_t)(end - start) : (size_t)lstrlenW(start)};
        if (end == nullptr) return count + 1;
        start = end + 1;
    }
    return count;
}

// The path below the classes root: of HKEY_CLASSES_ROOT, or of the user's classes with /c.
const WCHAR* classesPath(int root, const WCHAR* path)
{
    if (root == OVERLAY_CLASSES_ROOT) return path;
    size_t prefix = lstrlenW(USER_CLASSES_PATH);
    if (root != OVERLAY_CURRENT_USER || (size_t)lstrlenW(path) <= prefix || !sameText(path, prefix, USER_CLASSES_PATH) ||
        path[prefix] != L'\\') {
        return nullptr;
    }
    return path + prefix + 1;
}

void copyWide(WCHAR* out, size_t capacity, const WCHAR* text, size_t length)
{
    if (length >= capacity) length = capacity - 1;
    memcpy(out, text, length * sizeof(WCHAR));
    out[length] = L'\0';
}

// "1.a" as the registry names a type library's version (hexadecimal) to "1.10"; false for a
// name that is no version.
bool decimalVersion(const Segment& segment, WCHAR* out)
{
    DWORD parts[2] = {0, 0};
    int part = 0;
    for (size_t i = 0; i < segment.length; i++) {
        WCHAR c = segment.text[i];
        if (c == L'.' && part == 0 && i > 0) part = 1;
        else if (!isHexDigit(c) || parts[part] > 0xFFFF) return false;
        else parts[part] = parts[part] * 16 + (c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    }
    if (part == 0 || segment.text[segment.length - 1] == L'.') return false;
    wsprintfW(out, L"%lu.%lu", parts[0], parts[1]);
    return true;
}

void putEscaped(SourceText& out, const WCHAR* text)
{
    for (; *text != L'\0'; text++) {
        WCHAR c = *text;
        bool carried = (c >= L' ' || c == L'\t' || c == L'\n' || c == L'\r') && c < 0xFFFE;
        out.putXmlChar(carried ? c : L'?');
    }
}

void putAttribute(SourceText& out, const WCHAR* name, const WCHAR* value)
{
    out.putChar(L' ');
    out.put(name);
    out.put(L"=\"");
    putEscaped(out, value);
    out.putChar(L'"');
}

void putOptionalAttribute(SourceText& out, const WCHAR* name, const WCHAR* value)
{
    if (value[0] != L'\0') putAttribute(out, name, value);
}

// A comment may hold neither "--" nor a control character, nor end in '-'.
void putCommentText(SourceText& out, const WCHAR* text)
{
    WCHAR last = L' ';
    for (; *text != L'\0'; text++) {
        WCHAR c = *text < L' ' && *text != L'\n' ? L'?' : *text;
        if (c == L'-' && last == L'-') out.putChar(L' ');
        out.putChar(c);
        last = c;
    }
    if (last == L'-') out.putChar(L' ');
}

void append(SourceText& out, const SourceText& part)
{
    for (size_t i = 0; i < part.used; i++) out.putChar(part.text[i]);
}

int bitsOf(WORD machine)
{
    return machine == IMAGE_FILE_MACHINE_I386 ? 32 : 64;
}

WORD ownMachine()
{
    return sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
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
    for (int index = 0; index < classCount; index++) {
        if (sameText(clsid, length, classes[index].clsid)) return index;
    }
    if (classCount == MANIFEST_CLASS_CAPACITY) return -1;
    classes[classCount] = ManifestClass{};
    copyWide(classes[classCount].clsid, GUID_TEXT_CAPACITY, clsid, length);
    return classCount++;
}

int SideBySideManifest::findOrAddLibrary(const WCHAR* tlbid, size_t length)
{
    for (int index = 0; index < libraryCount; index++) {
        if (sameText(tlbid, length, libraries[index].tlbid)) return index;
    }
    if (libraryCount == MANIFEST_LIBRARY_CAPACITY) return -1;
    libraries[libraryCount] = ManifestLibrary{};
    copyWide(libraries[libraryCount].tlbid, GUID_TEXT_CAPACITY, tlbid, length);
    return libraryCount++;
}

int SideBySideManifest::findOrAddInterface(const WCHAR* iid, size_t length)
{
    for (int index = 0; index < interfaceCount; index++) {
        if (sameText(iid, length, interfaces[index].iid)) return index;
    }
    if (interfaceCount == MANIFEST_INTERFACE_CAPACITY) return -1;
    interfaces[interfaceCount] = ManifestInterface{};
    copyWide(interfaces[interfaceCount].iid, GUID_TEXT_CAPACITY, iid, length);
    return interfaceCount++;
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
    Segment parts[SEGMENT_CAPACITY];
    int count = splitPath(below, parts);
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

// The key of a class's ProgID, or below it, which the comClass carries.
bool SideBySideManifest::isProgidKey(const ManifestLeftOut& key) const
{
    const WCHAR* below = classesPath(key.root, key.path);
    if (below == nullptr) return false;
    Segment parts[SEGMENT_CAPACITY];
    splitPath(below, parts);
    const Segment& first = parts[0];
    for (LONG index = 0; index < classCount; index++) {
        const ManifestClass& entry = classes[index];
        if (entry.servedByFile && ((entry.progid[0] != L'\0' && sameText(first, entry.progid)) ||
                                   (entry.versionIndependentProgid[0] != L'\0' && sameText(first, entry.versionIndependentProgid)))) {
            return true;
        }
    }
    return false;
}

void SideBySideManifest::putLeftOutComment()
{
    int listed = 0;
    for (int index = 0; index < leftOutCount; index++) {
        if (isProgidKey(leftOut[index])) continue;
        part.put(listed++ == 0 ? L"  <!-- マニフェストで表せないため含まれない登録:\r\n" : L"\r\n");
        part.put(L"       ");
        part.put(CAPTURED_ROOTS[leftOut[index].root].wideName);
        part.putChar(L'\\');
        putCommentText(part, leftOut[index].path);
    }
    if (leftOutUnlisted > 0) {
        WCHAR more[64];
        wsprintfW(more, L"\r\n       ほか %d 個のキー", leftOutUnlisted);
        if (listed++ == 0) part.put(L"  <!-- マニフェストで表せないため含まれない登録:");
        part.put(more);
    }
    if (listed > 0) part.put(L" -->\r\n");
}

void SideBySideManifest::putClass(const ManifestClass& entry)
{
    part.put(L"    <comClass");
    putAttribute(part, L"clsid", entry.clsid);
    putOptionalAttribute(part, L"threadingModel", entry.threadingModel);
    putOptionalAttribute(part, L"progid", entry.progid);
    putOptionalAttribute(part, L"tlbid", entry.tlbid);
    putOptionalAttribute(part, L"description", entry.description);
    if (entry.versionIndependentProgid[0] == L'\0') {
        part.put(L" />\r\n");
        return;
    }
    part.put(L">\r\n      <progid>");
    putEscaped(part, entry.versionIndependentProgid);
    part.put(L"</progid>\r\n    </comClass>\r\n");
}

void SideBySideManifest::putLibrary(const ManifestLibrary& entry)
{
    // The help folder is named relative to the assembly's; one elsewhere cannot be named.
    const WCHAR* helpDirectory = L"";
    size_t length = lstrlenW(entry.helpDirectory);
    if (length + 1 >= folderLength &&
        CompareStringOrdinal(entry.helpDirectory, (int)folderLength - 1, folder, (int)folderLength - 1, TRUE) == CSTR_EQUAL &&
        (length + 1 == folderLength || entry.helpDirectory[folderLength - 1] == L'\\')) {
        helpDirectory = length + 1 == folderLength ? L"" : entry.helpDirectory + folderLength;
    }
    WCHAR flags[64] = L"";
    for (int bit = 0; bit < 4; bit++) {
        if ((entry.flags & (1u << bit)) == 0) continue;
        if (flags[0] != L'\0') lstrcatW(flags, L",");
        lstrcatW(flags, LIBRARY_FLAG_NAMES[bit]);
    }
    part.put(L"    <typelib");
    putAttribute(part, L"tlbid", entry.tlbid);
    putAttribute(part, L"version", entry.version);
    putAttribute(part, L"helpdir", helpDirectory);
    putOptionalAttribute(part, L"flags", flags);
    part.put(L" />\r\n");
}

void SideBySideManifest::putInterface(const ManifestInterface& entry)
{
    part.put(L"  <comInterfaceExternalProxyStub");
    putOptionalAttribute(part, L"name", entry.name);
    putAttribute(part, L"iid", entry.iid);
    putOptionalAttribute(part, L"tlbid", entry.tlbid);
    putAttribute(part, L"proxyStubClsid32", AUTOMATION_MARSHALLER);
    part.put(L" />\r\n");
}

void SideBySideManifest::composePart()
{
    WCHAR key[MAX_PATH];
    for (LONG index = 0; index < classCount; index++) {
        if (classes[index].servedByFile) continue;
        wsprintfW(key, L"CLSID\\%s", classes[index].clsid);
        addLeftOut(OVERLAY_CLASSES_ROOT, key);
    }
    for (int index = 0; index < interfaceCount; index++) {
        if (interfaces[index].automationMarshalled) continue;
        wsprintfW(key, L"Interface\\%s", interfaces[index].iid);
        addLeftOut(OVERLAY_CLASSES_ROOT, key);
    }
    putLeftOutComment();
    part.put(L"  <file");
    putAttribute(part, L"name", relativeName);
    part.put(L">\r\n");
    for (LONG index = 0; index < classCount; index++) {
        if (classes[index].servedByFile) putClass(classes[index]);
    }
    for (int index = 0; index < libraryCount; index++) putLibrary(libraries[index]);
    part.put(L"  </file>\r\n");
    for (int index = 0; index < interfaceCount; index++) {
        if (interfaces[index].automationMarshalled) putInterface(interfaces[index]);
    }
}

void SideBySideManifest::putHead(SourceText& out, WORD assemblyMachine)
{
    out.put(L"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
            L"<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
            L"  <assemblyIdentity type=\"win32\"");
    putAttribute(out, L"name", name);
    out.put(L" version=\"1.0.0.0\"");
    putAttribute(out, L"processorArchitecture", assemblyMachine == IMAGE_FILE_MACHINE_I386 ? L"x86" : L"amd64");
    out.put(L" />\r\n");
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
    append(checkText, body);
    append(checkText, part);
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
        append(body, part);
        if (machine == 0) machine = itemMachine;
    }
    part.used = 0;
}

bool SideBySideManifest::close()
{
    putHead(text, machine != 0 ? machine : ownMachine());
    append(text, body);
    text.put(TAIL);
    if (body.outOfMemory || part.outOfMemory) text.outOfMemory = true;
    freeBlock(body.text);
    freeBlock(part.text);
    body = part = SourceText{};
    return text.writeWhole(false);
}
