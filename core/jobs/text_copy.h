// Copying into the fixed-size text fields that every record of the program uses, and
// stepping through text of the ANSI code page. Any thread may call these.
#pragma once

#include <stddef.h>

// The character after the one at p: a lead byte takes its trail byte with it, but never the
// text's end.
const char* nextChar(const char* p);

// Copies source into destination, cut to capacity - 1 bytes and always terminated.
// A cut never splits a double-byte character: its lead byte is dropped with it.
void copyText(char* destination, size_t capacity, const char* source);

// The same for the first length bytes of source (a NUL inside them ends the text).
void copyTextPart(char* destination, size_t capacity, const char* source, size_t length);
