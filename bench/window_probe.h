// The measuring side of the window benchmarks, shared by the window floor and the driver of
// Plinthora's own window. A control thread drives two phases, add and run, on a window whose
// user-interface thread is the process's main thread:
//   - it calls the program's starter on the user-interface thread (by a sent message) and
//     waits until the main window receives the message that says the worker has ended;
//   - meanwhile an answer probe, a thread of its own, sends WM_NULL to the window with
//     SendMessageTimeout every few milliseconds and keeps the longest time an answer took;
//   - a counter on the list control counts its WM_PAINT messages.
// At the end it appends one line to the result file and closes the window.
//
// Both window programs take the same arguments: FOLDER ROUND RESULTFILE [run]. The result
// line, TAB-separated: "window", round, label, then for the add the microseconds, the
// longest answer in microseconds, the probes and the list's paints, the same four for the
// run (zeros when it was not asked for), the peak working set in bytes, the rows listed,
// and "ok" or what went wrong.
#pragma once

#include <windows.h>

// What a window program supplies. Both starters run on the user-interface thread.
struct WindowBenchProgram {
    const char* label;
    // Waits until the main window and its list exist and are shown; false after a time-out.
    bool (*waitForWindow)(HWND* mainWindow, HWND* listControl);
    void (*startAdd)(HWND mainWindow);
    void (*startRun)(HWND mainWindow);
    // True for the message, received by the main window, that ends a worker's operation.
    bool (*endsOperation)(UINT message, WPARAM wordParam);
};

struct WindowBenchSettings {
    int round;
    const char* resultPath;
    bool measureRun;  // after the add, run the listed items too
};

// Reads "FOLDER ROUND RESULTFILE [run]" from the process's arguments; false when they are
// not that. The folder is copied into folder (MAX_PATH bytes).
bool readWindowBenchArguments(char* folder, WindowBenchSettings* settings);

// Starts the control thread; the caller then runs its message loop until the window is
// destroyed, and calls finishWindowBench before it exits.
bool startWindowBench(const WindowBenchProgram* program, const WindowBenchSettings* settings);
void finishWindowBench();

