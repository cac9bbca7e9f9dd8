#include "core/capture/wix_source.h"

#include <wchar.h>

#include <initializer_list>

#include "core/overlay/overlay_store.h"

namespace {

const WCHAR HEAD[] =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    L"<Wix xmlns=\"http://wixtoolset.org/schemas/v4/wxs\">\r\n"
    L"  <Fragment>\r\n"
    L"    <ComponentGroup Id=\"PlinthoraCapture\" Directory=\"INSTALLFOLDER\">\r\n";
const WCHAR TAIL[] = L"    </ComponentGroup>\r\n  </Fragment>\r\n</Wix>\r\n";

struct WixRoot {
    const WCHAR* wixRoot;
    const WCHAR* keyPrefix;
};

// By the overlay's roots. WiX has no root for HKEY_CURRENT_CONFIG; it is the current hardware
// profile's key under HKEY_LOCAL_MACHINE, which gives the same key on the installed machine.
const WixRoot WIX_ROOTS[OVERLAY_ROOT_COUNT] = {
    {L"HKCR", L""}, {L"HKLM", L""}, {L"HKCU", L""}, {L"HKU", L""},
    {L"HKLM", L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\"},
};

// Characters XML can carry: no control characters but tab and line ends, no lone surrogates.
bool isXmlText(const WCHAR* text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        WCHAR c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) i++;
        else if ((c < L' ' && c != L'\t' && c != L'\n' && c != L'\r') || (c >= 0xD800 && c < 0xE000) || c >= 0xFFFE) return false;
    }
    return true;
}

bool isIdentifierChar(WCHAR c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' || c == L'.';
}

// The text at c begins a variable of WiX's binder: !(loc.x), !(wix.x) or !(bind.x), with its
// closing parenthesis somewhere after it.
bool startsBindVariable(const WCHAR* c, size_t length)
{
    if (length < 2 || c[0] != L'!' || c[1] != L'(') return false;
    for (const WCHAR* ns : {L"loc.", L"wix.", L"bind."}) {
        size_t nsLength = lstrlenW(ns);
        if (length >= 2 + nsLength && wcsncmp(c + 2, ns, nsLength) == 0) return wmemchr(c + 2, L')', length - 2) != nullptr;
    }
    return false;
}

// A character of text as XML that WiX gives back as itself: its preprocessor reads "$$" as
// "$" (and "$(" as a variable), its binder "!!(" before a variable as "!(".
void putLiteralChar(SourceText& text, const WCHAR* c, size_t length)
{
    if (*c == L'$' || startsBindVariable(c, length)) text.putChar(*c);
    text.putXmlChar(*c);
}

void putXml(SourceText& text, const WCHAR* part)
{
    for (size_t length = lstrlenW(part); *part != L'\0'; part++, length--) putLiteralChar(text, part, length);
}

}  // namespace

bool WixSource::open(const char* path)
{
    itemNumber = 0;
    component.succeeded = keyPending = keyStarted = false;
    if (!text.open(path)) return false;
    text.put(HEAD);
    return true;
}

void WixSource::putComment(const WCHAR* comment)
{
    text.put(L"<!-- ");
    WCHAR last = L'\0';
    for (; *comment != L'\0'; comment++) {
        WCHAR c = isXmlText(comment, 1) ? *comment : L'?';
        // "--" may not stand inside a comment.
        if (c == L'-' && last == L'-') text.putChar(L' ');
        text.putChar(c);
        last = c;
    }
    text.put(L" -->\r\n");
}

void WixSource::putIdentifier(const WCHAR* prefix, const WCHAR* fileName)
{
    WCHAR identifier[WIX_IDENTIFIER_CAPACITY];
    int length = wsprintfW(identifier, L"%s%d_", prefix, itemNumber);
    for (; *fileName != L'\0' && length < WIX_IDENTIFIER_CAPACITY - 1; fileName++) {
        identifier[length++] = isIdentifierChar(*fileName) ? *fileName : L'_';
    }
    identifier[length] = L'\0';
    text.put(identifier);
    lstrcpyW(fileId, identifier);
}

void WixSource::beginItem(const char* path, const char* status)
{
    itemNumber++;
    component.take(path, status);
    text.put(L"      ");
    putComment(component.comment);
    if (!component.succeeded) return;
    text.put(L"      <Component Id=\"");
    putIdentifier(L"PlinthoraComponent", component.fileName);
    text.put(component.builtFor32Bit ? L"\" Bitness=\"always32\">\r\n" : L"\" Bitness=\"always64\">\r\n");
    text.put(L"        <File Id=\"");
    putIdentifier(L"PlinthoraFile", component.fileName);
    text.put(L"\" Source=\"");
    putXml(text, component.path);
    text.put(L"\" KeyPath=\"yes\" />\r\n");
}

void WixSource::putFormatted(const WCHAR* value, size_t length, bool referToFile)
{
    // Braces around text without brackets stay as they are (a class key's "{...}"); where the
    // text will hold brackets they would group it, and are written as themselves too.
    bool bracketed = false;
    for (size_t i = 0; i < length && !bracketed; i++) {
        bracketed = value[i] == L'[' || value[i] == L']' ||
                    (referToFile && component.pathAt(value + i, length - i));
    }
    for (size_t i = 0; i < length; i++) {
        if (referToFile && component.pathAt(value + i, length - i)) {
            text.put(L"[#");
            text.put(fileId);
            text.putChar(L']');
            i += component.pathLength - 1;
            continue;
        }
        // [\x] is Windows Installer's way of writing x itself. WiX doubles a leading '#' of a
        // string value on its own, which would otherwise be read as a type mark.
        WCHAR c = value[i];
        if (c == L'[' || c == L']' || (bracketed && (c == L'{' || c == L'}'))) {
            text.put(L"[\\");
            text.putChar(c);
            text.putChar(L']');
        } else {
            putLiteralChar(text, value + i, length - i);
        }
    }
}

bool WixSource::putKeyStart(const WCHAR* element, int root, const WCHAR* path)
{
    if (!component.succeeded) return false;
    size_t length = lstrlenW(path);
    if (!isXmlText(path, length)) {
        text.put(L"        ");
        putComment(L"XML で表せない名前のキーは省略");
        return false;
    }
    text.put(L"        <");
    text.put(element);
    text.put(L" Root=\"");
    text.put(WIX_ROOTS[root].wixRoot);
    text.put(L"\" Key=\"");
    text.put(WIX_ROOTS[root].keyPrefix);
    putFormatted(path, length, false);
    text.putChar(L'"');
    return true;
}

void WixSource::beginKey(int root, const WCHAR* path)
{
    keyRoot = root;
    keyPath = path;
    keyPending = true;
    keyStarted = keyTagClosed = keyHadRemovals = false;
}

bool WixSource::startKey()
{
    if (keyPending) keyStarted = putKeyStart(L"RegistryKey", keyRoot, keyPath);
    keyPending = false;
    return keyStarted;
}

void WixSource::removedKey(int root, const WCHAR* path)
{
    if (putKeyStart(L"RemoveRegistryKey", root, path)) text.put(L" Action=\"removeOnInstall\" />\r\n");
}

void WixSource::removedValue(const WCHAR* name)
{
    keyHadRemovals = true;
    if (!isXmlText(name, lstrlenW(name))) {
        if (component.succeeded) putValueLeftOut(name, REG_NONE);
        return;
    }
    if (!putKeyStart(L"RemoveRegistryValue", keyRoot, keyPath)) return;
    if (name[0] != L'\0') {
        text.put(L" Name=\"");
        putFormatted(name, lstrlenW(name), false);
        text.putChar(L'"');
    }
    text.put(L" />\r\n");
}

void WixSource::putValueLeftOut(const WCHAR* name, DWORD type)
{
    WCHAR comment[320];
    wsprintfW(comment, L"値 \"%.255s\" (種類 %lu) は WiX で表せないため省略", name, type);
    text.put(L"          ");
    putComment(comment);
}

void WixSource::value(const WCHAR* name, DWORD type, const BYTE* data, DWORD size)
{
    if (!startKey()) return;
    TextValue value;
    value.read(type, data, size, isXmlText);
    bool plainNumber = type == REG_DWORD && size == sizeof(DWORD);
    bool expressible = isXmlText(name, lstrlenW(name)) && (value.plainString || value.plainMulti || plainNumber || type == REG_BINARY);
    // A key whose values are all left out is still made, as the component made it.
    if (!keyTagClosed) text.put(expressible ? L">\r\n" : L" ForceCreateOnInstall=\"yes\">\r\n");
    keyTagClosed = true;
    if (!expressible) {
        putValueLeftOut(name, type);
        return;
    }
    text.put(L"          <RegistryValue");
    if (name[0] != L'\0') {
        text.put(L" Name=\"");
        putFormatted(name, lstrlenW(name), false);
        text.putChar(L'"');
    }
    if (value.plainMulti) {
        text.put(L" Type=\"multiString\">\r\n");
        for (int at = 0; at < value.multiLength; at += lstrlenW(value.strings + at) + 1) {
            // WiX refuses an empty attribute; an element without one stands for an empty string.
            const WCHAR* member = value.strings + at;
            if (*member == L'\0') {
                text.put(L"            <MultiStringValue />\r\n");
                continue;
            }
            text.put(L"            <MultiStringValue Value=\"");
            putFormatted(member, lstrlenW(member), true);
            text.put(L"\" />\r\n");
        }
        text.put(L"          </RegistryValue>\r\n");
        return;
    }
    if (value.plainString) {
        text.put(type == REG_SZ ? L" Type=\"string\" Value=\"" : L" Type=\"expandable\" Value=\"");
        putFormatted(value.strings, value.length, true);
    } else if (plainNumber) {
        // Windows Installer reads the number as signed.
        text.put(L" Type=\"integer\" Value=\"");
        text.putDecimal(*(const LONG*)data);
    } else {
        text.put(L" Type=\"binary\" Value=\"");
        for (DWORD i = 0; i < size; i++) text.putHexByte(data[i]);
    }
    text.put(L"\" />\r\n");
}

void WixSource::endKey()
{
    if (keyPending && keyHadRemovals) keyPending = false;
    if (!startKey()) return;
    // A key without values is one the component made: it is made on install as well.
    text.put(keyTagClosed ? L"        </RegistryKey>\r\n" : L" ForceCreateOnInstall=\"yes\" />\r\n");
    keyStarted = false;
}

void WixSource::note(const WCHAR* comment)
{
    text.put(L"      ");
    putComment(comment);
}

void WixSource::endItem()
{
    if (component.succeeded) text.put(L"      </Component>\r\n");
    component.succeeded = false;
}

bool WixSource::close()
{
    text.put(TAIL);
    return text.writeWhole(false);
}
