#include "core/capture/side_by_side_manifest.h"

#include "core/capture/captured_roots.h"
#include "core/capture/manifest_xml.h"
#include "core/overlay/overlay_store.h"

namespace {

// The manifest's names of a type library's flags (LIBFLAGS), by bit.
const WCHAR* const LIBRARY_FLAG_NAMES[] = {L"RESTRICTED", L"CONTROL", L"HIDDEN", L"HASDISKIMAGE"};

}  // namespace

// The key of a class's ProgID, or below it, which the comClass carries.
bool SideBySideManifest::isProgidKey(const ManifestLeftOut& key) const
{
    const WCHAR* below = classesPath(key.root, key.path);
    if (below == nullptr) return false;
    KeySegment parts[KEY_SEGMENT_CAPACITY];
    splitKeyPath(below, parts);
    const KeySegment& first = parts[0];
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
