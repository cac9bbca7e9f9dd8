// The command-line run: the argument text as one job, each item performed, logged and
// reported as it is produced. Everything runs on the initial thread.
#pragma once

// Runs the text as one job line. The exit code is 0, or with /e the number of items that did
// not succeed plus the number of list files that could not be run.
int runBatch(const char* argumentText);

// True for an argument text that is "/?" (or "-?") alone, which asks for the usage box.
bool isUsageRequest(const char* argumentText);
// Shows the job language in brief; the exit code.
int showUsage();
