#include "core/capture/manifest_xml.h"

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

void appendText(SourceText& out, const SourceText& part)
{
    for (size_t i = 0; i < part.used; i++) out.putChar(part.text[i]);
}
