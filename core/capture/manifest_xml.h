// A manifest's XML as text: attribute values and comments written so that any captured text
// keeps the file well-formed.
#pragma once

#include <windows.h>

#include "core/capture/source_text.h"

// Text as XML text; a character XML cannot carry as '?'.
void putEscaped(SourceText& out, const WCHAR* text);
// ' name="value"'.
void putAttribute(SourceText& out, const WCHAR* name, const WCHAR* value);
// Nothing for an empty value.
void putOptionalAttribute(SourceText& out, const WCHAR* name, const WCHAR* value);
// Text inside a comment, which may hold neither "--" nor a control character, nor end in '-'.
void putCommentText(SourceText& out, const WCHAR* text);
void appendText(SourceText& out, const SourceText& part);
