// The single entry through which every job runs: list files (/f) line by line, with the
// outer switches merged in and nesting, or path expansion. Runs on the job's thread.
#pragma once

#include <windows.h>
#include "core/jobs/job.h"

// List files may name list files; deeper nesting than this is reported as an error.
const int MAX_LIST_FILE_DEPTH = 32;

void runJob(RunMode runMode, HWND owner, const JobSpec* job, ItemSink sink, void* sinkContext);
void runListFile(RunMode runMode, HWND owner, const JobSpec* job, ItemSink sink, void* sinkContext);
void mergeOuterOptions(JobSpec* lineJob, BYTE forcedUnregister, const JobSpec* outer);
void reportListError(RunMode runMode, HWND owner, const JobSpec* job, const char* text, void* sinkContext);
bool installListExists();
bool uninstallListExists();
