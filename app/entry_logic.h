// What the process does: the rights check, then the window or the batch run.
#pragma once

// Returns the process exit code.
int runEntryLogic();

// What follows the program's path in a command line: the text after the first blank outside
// quotes, that blank left out; the line's end when there is none. The shell library's
// PathGetArgsA gives the same, but loading that library would cost a run with nothing to do
// more than all its work.
const char* argumentText(const char* commandLine);
