// Turns a job's path texts into items: single files, folders and wildcard patterns,
// with /d depth first. Items keep the stored form of the path (macro or relative).
// Runs on the thread that produces the job; items reach the sink at once.
#pragma once

#include "core/jobs/job.h"

void expandJob(const JobSpec* job, const JobOutput* output);
void expandPath(const JobSpec* job, const char* text, const JobOutput* output);
bool endsWithBackslash(const char* text);
