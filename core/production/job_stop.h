// Lets the window end a job early once it is closing: a list file stops at its next line, a
// folder listing at its next entry, and no further list-file error is shown to a user who
// has closed the window. Batch runs never ask for it. Any thread.
#pragma once

void requestJobStop();
void clearJobStop();
bool jobStopRequested();
