// The texts a check tells its answer with, in the code page of the program's texts: where a
// difference lies, what the registry holds there and what the registration would write, and
// the item's detail that names the first difference and counts them. Any thread.
#pragma once

#include <windows.h>

// What the registry holds, or the registration would write, where a key or value is concerned.
extern const char TEXT_KEY_MISSING[];
extern const char TEXT_VALUE_MISSING[];
extern const char TEXT_KEY_PRESENT[];
extern const char TEXT_DELETED[];

// "HKCR\CLSID\{…}\InprocServer32" for a key's default value, "… [ThreadingModel]" for a named
// one; name may be null for the key itself.
void describePlace(int root, const WCHAR* path, const WCHAR* name, char* out, size_t capacity);
// A value as the registry editor's file would show it, but strings without quotes:
// "C:\ctl.ocx", "dword:0000000a", "hex(3):01,02".
void describeData(DWORD type, const BYTE* data, DWORD size, char* out, size_t capacity);
// "<place> : <there> (登録では <written>)"
void describeDifference(const char* place, const char* there, const char* written, char* out, size_t capacity);
// The item's detail: the difference, cut so that the counts always fit, then "、相違 3 件"
// and, when values of the moment were left out, "、毎回変わる値 1 件は比較せず".
void describeCheck(const char* difference, DWORD differences, DWORD leftOut, char* out, size_t capacity);
