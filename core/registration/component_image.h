// What a component's file says about itself, read from its PE headers without loading it:
// the machine it is built for and the DLLs it imports. Every offset is checked against the
// file's size, so a damaged or hostile file gives "unknown", never a fault. Any thread.
#pragma once

#include <windows.h>

// The machine field of the file's header; 0 when the file has none.
WORD componentMachine(const char* path);

// The first DLL in the file's import table that the loader would not find, searched as a
// component named by a path is loaded: its own folder, the system and Windows folders, the
// current folder and PATH. False, with name empty, when every import is found or the table
// cannot be read.
bool firstMissingImport(const char* path, char* name, size_t capacity);
