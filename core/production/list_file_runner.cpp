#include "core/production/list_file_runner.h"

#include <string.h>

#include "core/jobs/job_line_parser.h"
#include "core/jobs/path_resolver.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "core/production/job_stop.h"
#include "core/production/path_expander.h"

namespace {

// Each follows the list file's path.
const char OPEN_FAILED[] = " がオープンできません";
const char NESTED_TOO_DEEP[] = " の入れ子が深すぎます";
const char MAPPING_FAILED[] = "CreateFileMapping失敗";
const char VIEW_FAILED[] = "MapViewOfFile失敗";

// How many list files are open on this thread, one inside the other.
thread_local int openListFiles = 0;

struct ListFileChoice {
    char path[MAX_PATH];
    BYTE forcedUnregister;
};

void chooseListFile(const JobSpec* job, ListFileChoice* choice)
{
    if (job->listFilePath[0] != '\0') {
        resolve(job->listFilePath, choice->path);
        choice->forcedUnregister = job->switches.unregister;
    } else if (!job->switches.unregister) {
        besideProgram("install.ini", choice->path, sizeof choice->path);
        choice->forcedUnregister = 0;
    } else if (uninstallListExists()) {
        besideProgram("uninstall.ini", choice->path, sizeof choice->path);
        choice->forcedUnregister = 0;
    } else {
        besideProgram("install.ini", choice->path, sizeof choice->path);
        choice->forcedUnregister = 1;
    }
}

void reportListError(const JobOutput* output, const JobSpec* job, const char* message)
{
    output->listError(message, job->silent, output->context);
}

void reportPathError(const JobOutput* output, const JobSpec* job, const char* path, const char* what)
{
    char message[MAX_PATH + 64];
    copyText(message, MAX_PATH, path);
    lstrcatA(message, what);
    reportListError(output, job, message);
}

// Runs every line of a mapped list file. The text ends at the file's size, or at a NUL:
// nothing past the view is ever read.
void runLines(const JobSpec* job, BYTE forcedUnregister, const char* text, const char* textEnd,
              const JobOutput* output)
{
    const char* nul = (const char*)memchr(text, '\0', (size_t)(textEnd - text));
    if (nul != nullptr) textEnd = nul;
    const char* position = text;
    while (position < textEnd && !jobStopRequested()) {
        const char* lineFeed = (const char*)memchr(position, '\n', (size_t)(textEnd - position));
        // Without memory for a line the rest of the file cannot be run either.
        JobSpec* lineJob = newJobSpec();
        if (lineJob == nullptr) return;
        if (!parseJobLine(lineJob, position, lineFeed != nullptr ? lineFeed : textEnd)) {
            freeJobSpec(lineJob);
            return;
        }
        mergeOuterOptions(lineJob, forcedUnregister, job);
        runJob(lineJob, output);
        freeJobSpec(lineJob);
        if (lineFeed == nullptr) return;
        position = lineFeed + 1;
    }
}

}  // namespace

void runJob(const JobSpec* job, const JobOutput* output)
{
    if (job->fromListFile) runListFile(job, output);
    else expandJob(job, output);
}

void runListFile(const JobSpec* job, const JobOutput* output)
{
    ListFileChoice choice;
    chooseListFile(job, &choice);
    if (openListFiles >= MAX_LIST_FILE_DEPTH) {
        reportPathError(output, job, choice.path, NESTED_TOO_DEEP);
        return;
    }

    // Read and write access without sharing: a list file that names itself, directly or
    // through others, cannot be opened again while it runs.
    HANDLE file = CreateFileA(choice.path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reportPathError(output, job, choice.path, OPEN_FAILED);
        return;
    }
    DWORD size = GetFileSize(file, nullptr);
    if (size == 0 || size == INVALID_FILE_SIZE) {
        CloseHandle(file);
        return;
    }
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    CloseHandle(file);
    if (mapping == nullptr) {
        reportListError(output, job, MAPPING_FAILED);
        return;
    }
    const char* view = (const char*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    CloseHandle(mapping);
    if (view == nullptr) {
        reportListError(output, job, VIEW_FAILED);
        return;
    }
    ++openListFiles;
    runLines(job, choice.forcedUnregister, view, view + size, output);
    --openListFiles;
    UnmapViewOfFile(view);
}

void mergeOuterOptions(JobSpec* lineJob, BYTE forcedUnregister, const JobSpec* outer)
{
    ItemSwitches& line = lineJob->switches;
    if (forcedUnregister) line.unregister = 1;
    if (outer->switches.noRegisterServer) line.noRegisterServer = 1;
    if (outer->switches.perUser) line.perUser = 1;
    if (outer->switches.check) line.check = 1;
    if (outer->switches.callInstall) {
        line.callInstall = 1;
        copyText(line.installCmdLine, sizeof line.installCmdLine, outer->switches.installCmdLine);
    }
    if (outer->silent) lineJob->silent = 1;
    if (outer->recurse) lineJob->recurse = 1;
}

bool installListExists()
{
    char path[MAX_PATH];
    return besideProgram("install.ini", path, sizeof path) && shellPaths().PathFileExistsA(path);
}

bool uninstallListExists()
{
    char path[MAX_PATH];
    return besideProgram("uninstall.ini", path, sizeof path) && shellPaths().PathFileExistsA(path);
}
