// The single entry through which every job runs: list files (/f) line by line, with the
// outer switches merged in and nesting, or path expansion. Runs on the job's thread.
#pragma once

#include <windows.h>
#include "core/jobs/job.h"

// List files may name list files; deeper nesting than this is reported as an error.
const int MAX_LIST_FILE_DEPTH = 32;

void runJob(const JobSpec* job, const JobOutput* output);
void runListFile(const JobSpec* job, const JobOutput* output);
void mergeOuterOptions(JobSpec* lineJob, BYTE forcedUnregister, const JobSpec* outer);
bool installListExists();
bool uninstallListExists();
