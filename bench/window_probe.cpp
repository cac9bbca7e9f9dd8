#include "bench/window_probe.h"

#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

// A private message of the bench: the word parameter says which operation to start.
const UINT MSG_BENCH_START = WM_APP + 0x7F0;
enum Operation { OPERATION_ADD = 1, OPERATION_RUN = 2 };

const DWORD PROBE_INTERVAL_MS = 5;
const UINT ANSWER_LIMIT_MS = 60 * 1000;
const DWORD OPERATION_LIMIT_MS = 10 * 60 * 1000;

struct OperationFigures {
    double microseconds;
    double longestAnswer;  // microseconds
    LONG probes;
    LONG paints;
};

const WindowBenchProgram* program = nullptr;
WindowBenchSettings settings = {0, nullptr, false};
HWND mainWindow = nullptr;
HWND listControl = nullptr;
WNDPROC mainProcedure = nullptr;
WNDPROC listProcedure = nullptr;
HANDLE controlThread = nullptr;
HANDLE operationEnded = nullptr;
double ticksPerMicrosecond = 1.0;

// Written on the user-interface thread, read by the control thread after operationEnded.
LARGE_INTEGER operationStart;
LARGE_INTEGER operationEnd;
volatile LONG operationActive = 0;
volatile LONG paints = 0;

// Written by the probe thread, read after it has been joined.
volatile LONG probeStop = 0;
double longestAnswer = 0.0;
LONG probes = 0;

double microsecondsBetween(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    return (double)(end.QuadPart - start.QuadPart) / ticksPerMicrosecond;
}

LRESULT CALLBACK benchMainProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam)
{
    if (message == MSG_BENCH_START) {
        InterlockedExchange(&operationActive, 1);
        QueryPerformanceCounter(&operationStart);
        if (wordParam == OPERATION_ADD) program->startAdd(window);
        else program->startRun(window);
        return 0;
    }
    LRESULT result = CallWindowProcA(mainProcedure, window, message, wordParam, longParam);
    if (operationActive && program->endsOperation(message, wordParam)) {
        QueryPerformanceCounter(&operationEnd);
        InterlockedExchange(&operationActive, 0);
        SetEvent(operationEnded);
    }
    return result;
}

LRESULT CALLBACK paintCountingProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam)
{
    if (message == WM_PAINT) InterlockedIncrement(&paints);
    return CallWindowProcA(listProcedure, window, message, wordParam, longParam);
}

DWORD WINAPI answerProbe(void*)
{
    while (!probeStop) {
        LARGE_INTEGER sent, answered;
        DWORD_PTR ignored;
        QueryPerformanceCounter(&sent);
        SendMessageTimeoutA(mainWindow, WM_NULL, 0, 0, SMTO_NORMAL, ANSWER_LIMIT_MS, &ignored);
        QueryPerformanceCounter(&answered);
        double answer = microsecondsBetween(sent, answered);
        if (answer > longestAnswer) longestAnswer = answer;
        ++probes;
        Sleep(PROBE_INTERVAL_MS);
    }
    return 0;
}

bool measureOperation(Operation operation, OperationFigures* figures)
{
    probeStop = 0;
    longestAnswer = 0.0;
    probes = 0;
    InterlockedExchange(&paints, 0);
    ResetEvent(operationEnded);
    HANDLE probe = CreateThread(nullptr, 0, answerProbe, nullptr, 0, nullptr);
    SendMessageA(mainWindow, MSG_BENCH_START, operation, 0);
    bool ended = WaitForSingleObject(operationEnded, OPERATION_LIMIT_MS) == WAIT_OBJECT_0;
    probeStop = 1;
    if (probe != nullptr) {
        WaitForSingleObject(probe, INFINITE);
        CloseHandle(probe);
    }
    figures->microseconds = ended ? microsecondsBetween(operationStart, operationEnd) : 0.0;
    figures->longestAnswer = longestAnswer;
    figures->probes = probes;
    figures->paints = paints;
    return ended;
}

double peakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0.0;
    return (double)counters.PeakWorkingSetSize;
}

void writeResult(const OperationFigures& add, const OperationFigures& run, int rows, const char* outcome)
{
    FILE* results = fopen(settings.resultPath, "ab");
    if (results == nullptr) return;
    fprintf(results, "window\t%d\t%s\t%.0f\t%.0f\t%ld\t%ld\t%.0f\t%.0f\t%ld\t%ld\t%.0f\t%d\t%s\n", settings.round,
            program->label, add.microseconds, add.longestAnswer, (long)add.probes, (long)add.paints,
            run.microseconds, run.longestAnswer, (long)run.probes, (long)run.paints, peakWorkingSet(), rows,
            outcome);
    fclose(results);
}

DWORD WINAPI controlWindowBench(void*)
{
    OperationFigures add = {}, run = {};
    const char* outcome = "ok";
    int rows = 0;
    if (!program->waitForWindow(&mainWindow, &listControl)) {
        writeResult(add, run, rows, "no-window");
        return 0;
    }
    mainProcedure = (WNDPROC)SetWindowLongPtrA(mainWindow, GWLP_WNDPROC, (LONG_PTR)benchMainProc);
    listProcedure = (WNDPROC)SetWindowLongPtrA(listControl, GWLP_WNDPROC, (LONG_PTR)paintCountingProc);
    // One round trip, so the window has painted and settled before the clock starts.
    SendMessageA(mainWindow, WM_NULL, 0, 0);
    if (!measureOperation(OPERATION_ADD, &add)) outcome = "add-timeout";
    rows = (int)SendMessageA(listControl, LVM_GETITEMCOUNT, 0, 0);
    if (settings.measureRun && add.microseconds > 0.0 && !measureOperation(OPERATION_RUN, &run))
        outcome = "run-timeout";
    writeResult(add, run, rows, outcome);
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

bool readWindowBenchArguments(char* folder, WindowBenchSettings* benchSettings)
{
    if (__argc != 4 && __argc != 5) return false;
    if (__argc == 5 && lstrcmpA(__argv[4], "run") != 0) return false;
    lstrcpynA(folder, __argv[1], MAX_PATH);
    benchSettings->round = atoi(__argv[2]);
    benchSettings->resultPath = __argv[3];
    benchSettings->measureRun = __argc == 5;
    return true;
}

bool startWindowBench(const WindowBenchProgram* benchProgram, const WindowBenchSettings* benchSettings)
{
    program = benchProgram;
    settings = *benchSettings;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerMicrosecond = (double)frequency.QuadPart / 1e6;
    operationEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (operationEnded == nullptr) return false;
    controlThread = CreateThread(nullptr, 0, controlWindowBench, nullptr, 0, nullptr);
    return controlThread != nullptr;
}

void finishWindowBench()
{
    if (controlThread == nullptr) return;
    WaitForSingleObject(controlThread, INFINITE);
    CloseHandle(controlThread);
    controlThread = nullptr;
}
