// The job language: one line of switches and path texts into a JobSpec.
// Works on a private copy of the line; any thread may call it.
#pragma once

#include <stddef.h>
#include "core/jobs/job.h"

// Reads text up to end (not included), or to its terminator when end is null; a NUL
// inside the bounds also ends the line. Only adds to the job. False when memory runs out.
bool parseJobLine(JobSpec* job, const char* text, const char* end);

// Reads one token starting at cursor into out (capacity bytes, cut and blank-trimmed).
// Returns the cursor on the last character consumed: the terminator, or the line's end.
const char* readToken(const char* cursor, char* out, size_t capacity);
