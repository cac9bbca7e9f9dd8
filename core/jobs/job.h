// One parsed job: its switches, option values and the ordered path texts it names.
// Whoever creates a job owns it with its path list and frees it with freeJobSpec.
#pragma once

#include <windows.h>
#include "core/jobs/component_item.h"

// Room for a 259-character token, the backslash appendPath may add, and the terminator.
const size_t PATH_NODE_CAPACITY = 261;

struct PathNode {
    char* text;
    PathNode* next;
};

struct PathList {
    PathNode* first;
    PathNode* last;
};

struct JobSpec {
    PathList pathList;
    ItemSwitches switches;
    BYTE silent;
    BYTE recurse;
    BYTE fromListFile;
    char listFilePath[PATH_TEXT_CAPACITY];
    BYTE writeLog;
    char logPath[PATH_TEXT_CAPACITY];
    // Like /l, these count on the command line only: /v adds failed items' details to the
    // log, /e makes the exit code the number of failures, /x captures what the items would
    // write to the registry into a registry file instead.
    BYTE logDetails;
    BYTE countFailures;
    BYTE capture;
    char capturePath[PATH_TEXT_CAPACITY];
};

// Receives each produced item and owns it from then on.
typedef void (*ItemSink)(ComponentItem* item, void* context);
// Receives the message about a list file that cannot be run (it cannot be opened or read, or
// it lies nested too deep); silent is the /s of the job that names the file.
typedef void (*ListErrorSink)(const char* message, BYTE silent, void* context);

// Where a running job's results go: both sinks are called on the thread that runs the job,
// each time with this context.
struct JobOutput {
    ItemSink item;
    ListErrorSink listError;
    void* context;
};

// A job with every field at its initial value, on the process heap; null without memory.
JobSpec* newJobSpec();
void freeJobSpec(JobSpec* job);

// Appends a path text (cut to 259 characters); an existing directory gains a trailing
// backslash. An empty text adds nothing. False only when memory runs out.
bool appendPath(JobSpec* job, const char* text);
