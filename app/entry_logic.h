// What the process does: the rights check, then the window or the batch run.
#pragma once

// Returns the process exit code.
int runEntryLogic();
