#include "core/capture/inno_setup_script.h"

#include <wchar.h>

#include "core/overlay/overlay_store.h"

namespace {

const WCHAR VALUE_FLAGS[] = L"; Flags: uninsdeletevalue uninsdeletekeyifempty\r\n";
const WCHAR KEY_FLAGS[] = L"; Flags: uninsdeletekeyifempty\r\n";
const WCHAR KEY_REMOVAL_FLAGS[] = L"; Flags: deletekey\r\n";
const WCHAR VALUE_REMOVAL_FLAGS[] = L"; Flags: deletevalue\r\n";

// By the overlay's roots.
const WCHAR* const INNO_ROOTS[OVERLAY_ROOT_COUNT] = {L"HKCR", L"HKLM", L"HKCU", L"HKU", L"HKCC"};

// A script line carries no control characters, and UTF-8 no lone surrogates.
bool isLineText(const WCHAR* text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        WCHAR c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) i++;
        else if (c < L' ' || (c >= 0xD800 && c < 0xE000)) return false;
    }
    return true;
}

}  // namespace

bool InnoSetupScript::open(const char* path)
{
    component.succeeded = false;
    keyPath = nullptr;
    if (!text.open(path)) return false;
    text.put(L"[Registry]\r\n");
    return true;
}

void InnoSetupScript::putComment(const WCHAR* comment)
{
    text.put(L"; ");
    for (; *comment != L'\0'; comment++) text.putChar(isLineText(comment, 1) ? *comment : L'?');
    text.put(L"\r\n");
}

void InnoSetupScript::beginItem(const char* path, const char* status)
{
    component.take(path, status);
    text.put(L"\r\n");
    putComment(component.comment);
}

void InnoSetupScript::putEscaped(const WCHAR* value, size_t length, bool referToFile)
{
    for (size_t i = 0; i < length; i++) {
        if (referToFile && component.pathAt(value + i, length - i)) {
            text.put(L"{app}\\");
            putEscaped(component.fileName, lstrlenW(component.fileName), false);
            i += component.pathLength - 1;
            continue;
        }
        // A brace opens a constant and a quote ends the parameter: each is doubled to stand for itself.
        if (value[i] == L'{' || value[i] == L'"') text.putChar(value[i]);
        text.putChar(value[i]);
    }
}

void InnoSetupScript::putQuoted(const WCHAR* value, bool referToFile)
{
    text.putChar(L'"');
    putEscaped(value, lstrlenW(value), referToFile);
    text.putChar(L'"');
}

bool InnoSetupScript::takeKey(int rootIndex, const WCHAR* path)
{
    keyPath = nullptr;
    if (!component.succeeded) return false;
    if (!isLineText(path, lstrlenW(path))) {
        putComment(L"制御文字を含む名前のキーは Inno Setup で表せないため省略");
        return false;
    }
    root = INNO_ROOTS[rootIndex];
    keyPath = path;
    keyHasLines = false;
    return true;
}

void InnoSetupScript::beginKey(int rootIndex, const WCHAR* path)
{
    takeKey(rootIndex, path);
}

void InnoSetupScript::removedKey(int rootIndex, const WCHAR* path)
{
    if (!takeKey(rootIndex, path)) return;
    putKeyStart();
    text.put(KEY_REMOVAL_FLAGS);
    keyPath = nullptr;
}

void InnoSetupScript::removedValue(const WCHAR* name)
{
    // A key only values were removed from is no key the component made.
    keyHasLines = true;
    if (!isLineText(name, lstrlenW(name))) {
        if (component.succeeded) putComment(L"制御文字を含む名前の値の削除は Inno Setup で表せないため省略");
        return;
    }
    if (keyPath == nullptr) return;
    putKeyStart();
    text.put(L"; ValueType: none; ValueName: ");
    putQuoted(name, false);
    text.put(VALUE_REMOVAL_FLAGS);
}

void InnoSetupScript::putKeyStart()
{
    text.put(L"Root: ");
    text.put(root);
    text.put(component.builtFor32Bit ? L"32" : L"64");
    text.put(L"; Subkey: \"");
    putEscaped(keyPath, lstrlenW(keyPath), false);
    text.putChar(L'"');
}

void InnoSetupScript::value(const WCHAR* name, DWORD type, const BYTE* data, DWORD size)
{
    if (keyPath == nullptr) return;
    TextValue value;
    value.read(type, data, size, isLineText);
    bool plainNumber = (type == REG_DWORD && size == sizeof(DWORD)) || (type == REG_QWORD && size == 2 * sizeof(DWORD));
    if (!isLineText(name, lstrlenW(name)) || !(value.plainString || value.plainMulti || plainNumber || type == REG_BINARY)) {
        WCHAR comment[320];
        wsprintfW(comment, L"値 \"%.255s\" (種類 %lu) は Inno Setup で表せないため省略", name, type);
        putComment(comment);
        return;
    }
    keyHasLines = true;
    putKeyStart();
    const WCHAR* typeName = type == REG_SZ          ? L"string"
                            : type == REG_EXPAND_SZ ? L"expandsz"
                            : type == REG_MULTI_SZ  ? L"multisz"
                            : type == REG_DWORD     ? L"dword"
                            : type == REG_QWORD     ? L"qword"
                                                    : L"binary";
    text.put(L"; ValueType: ");
    text.put(typeName);
    text.put(L"; ValueName: ");
    putQuoted(name, false);
    text.put(L"; ValueData: ");
    if (value.plainString) {
        text.putChar(L'"');
        putEscaped(value.strings, value.length, true);
        text.putChar(L'"');
    } else if (value.plainMulti) {
        text.putChar(L'"');
        for (int at = 0; at < value.multiLength; at += lstrlenW(value.strings + at) + 1) {
            if (at > 0) text.put(L"{break}");
            putEscaped(value.strings + at, lstrlenW(value.strings + at), true);
        }
        text.putChar(L'"');
    } else if (plainNumber) {
        text.put(L"\"$");
        for (DWORD i = size; i > 0; i--) text.putHexByte(data[i - 1]);
        text.putChar(L'"');
    } else {
        text.putChar(L'"');
        for (DWORD i = 0; i < size; i++) {
            if (i > 0) text.putChar(L' ');
            text.putHexByte(data[i]);
        }
        text.putChar(L'"');
    }
    text.put(VALUE_FLAGS);
}

void InnoSetupScript::endKey()
{
    if (keyPath != nullptr && !keyHasLines) {
        putKeyStart();
        text.put(KEY_FLAGS);
    }
    keyPath = nullptr;
}

void InnoSetupScript::note(const WCHAR* comment)
{
    putComment(comment);
}

void InnoSetupScript::endItem()
{
    component.succeeded = false;
}

bool InnoSetupScript::close()
{
    return text.writeWhole(true);
}
