// Turns a stored path text (macro, relative path or bare name) into the path to use now.
// Stateless; any thread may call it. Relative texts follow the current directory of the moment.
#pragma once

#include <stddef.h>

// Writes the usable path for text (up to 260 characters) into out (260 bytes).
// Returns false, with out empty, when the result would not fit a path; an empty
// path names no file, so a text that overflows never turns into another file's name.
bool resolve(const char* text, char* out);

// The executable's directory joined with name, into out of capacity bytes (at least 260).
// Returns false, with out empty, when the join does not fit.
bool appDirPath(const char* name, char* out, size_t capacity);
