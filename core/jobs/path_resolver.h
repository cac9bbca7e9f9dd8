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

// The same for a plain file name (no folder part, no dots to fold), the way the program finds
// its own files: config.ini, the default list files and log, the help file. It needs no
// shell library, so that a run with nothing to do never loads one.
bool besideProgram(const char* fileName, char* out, size_t capacity);
