// Times programs from inside Windows, so that what is measured is the program's own run
// (process creation included) and not the Unix-side start of the outer loader.
//
//   launch_timer PLANFILE ROUNDS RESULTFILE
//
// PLANFILE holds one command a line: label, TAB, working folder ("-" for this one's), TAB,
// the command line as CreateProcessA takes it. Each round runs every command once, in plan
// order, so that the commands alternate (A B C A B C ...).
//
// While a command runs, its peak working set is read every 10 ms (an exited process reports
// zeros, so the last reading before the exit is the figure). The readings cost a command
// about one per cent of its time at most, and every command pays them alike.
//
// Appended to RESULTFILE, one line a run, TAB-separated:
//   time  ROUND LABEL MICROSECONDS EXITCODE PEAK_WORKING_SET_BYTES
// A run longer than ten minutes is ended and reported with the exit code "timeout".
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const DWORD RUN_LIMIT_MS = 10 * 60 * 1000;
const DWORD MEMORY_POLL_MS = 10;
const int MAX_COMMANDS = 16;

struct Command {
    char label[64];
    char folder[MAX_PATH];
    char commandLine[32768];
};

struct Outcome {
    double microseconds;
    SIZE_T peakWorkingSet;
    DWORD exitCode;
    bool timedOut;
};

Command commands[MAX_COMMANDS];
int commandCount = 0;

double ticksPerMicrosecond()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)frequency.QuadPart / 1e6;
}

// Splits "label TAB folder TAB command line" in place; false for a malformed line.
bool parsePlanLine(char* line, Command* command)
{
    char* fields[3] = {line, nullptr, nullptr};
    for (int index = 1; index < 3; ++index) {
        char* tab = strchr(fields[index - 1], '\t');
        if (tab == nullptr) return false;
        *tab = '\0';
        fields[index] = tab + 1;
    }
    lstrcpynA(command->label, fields[0], sizeof command->label);
    lstrcpynA(command->folder, fields[1], sizeof command->folder);
    lstrcpynA(command->commandLine, fields[2], sizeof command->commandLine);
    return true;
}

bool readPlan(const char* path)
{
    FILE* plan = fopen(path, "rb");
    if (plan == nullptr) return false;
    static char line[sizeof(Command)];
    while (commandCount < MAX_COMMANDS && fgets(line, sizeof line, plan) != nullptr) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0') continue;
        if (parsePlanLine(line, &commands[commandCount])) ++commandCount;
    }
    fclose(plan);
    return commandCount > 0;
}

// Runs one command to its end, reading its peak working set meanwhile.
Outcome runCommand(const Command& command, double tickScale)
{
    Outcome outcome = {0.0, 0, 0, false};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const char* folder = lstrcmpA(command.folder, "-") == 0 ? nullptr : command.folder;
    static char commandLine[sizeof command.commandLine];
    lstrcpynA(commandLine, command.commandLine, sizeof commandLine);

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process)) {
        outcome.exitCode = GetLastError();
        outcome.timedOut = true;
        return outcome;
    }
    DWORD waited;
    DWORD deadline = GetTickCount() + RUN_LIMIT_MS;
    while ((waited = WaitForSingleObject(process.hProcess, MEMORY_POLL_MS)) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters) &&
            counters.PeakWorkingSetSize > outcome.peakWorkingSet)
            outcome.peakWorkingSet = counters.PeakWorkingSetSize;
        if ((LONG)(GetTickCount() - deadline) > 0) break;
    }
    QueryPerformanceCounter(&end);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        outcome.timedOut = true;
    }
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    outcome.microseconds = (double)(end.QuadPart - start.QuadPart) / tickScale;
    return outcome;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || !readPlan(argv[1])) {
        fprintf(stderr, "usage: launch_timer PLANFILE ROUNDS RESULTFILE\n");
        return 2;
    }
    int rounds = atoi(argv[2]);
    FILE* results = fopen(argv[3], "ab");
    if (results == nullptr) return 2;
    double tickScale = ticksPerMicrosecond();
    for (int round = 1; round <= rounds; ++round) {
        for (int index = 0; index < commandCount; ++index) {
            Outcome outcome = runCommand(commands[index], tickScale);
            fprintf(results, "time\t%d\t%s\t%.0f\t", round, commands[index].label, outcome.microseconds);
            if (outcome.timedOut) fprintf(results, "timeout");
            else fprintf(results, "%lu", (unsigned long)outcome.exitCode);
            fprintf(results, "\t%.0f\n", (double)outcome.peakWorkingSet);
            fflush(results);
        }
    }
    fclose(results);
    return 0;
}
