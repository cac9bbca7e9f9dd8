// Runs a program as a separate process with an exact command line, answering its message
// boxes as they come, and reports how it ended. Called from the test's own thread.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/message_boxes.h"

struct RunSettings {
    std::string currentDirectory;  // empty: the caller's
    DWORD timeoutMs = 60000;
    // Called while each box is still open; returns the button to press. Unset: OK, else No.
    std::function<int(const SeenBox&)> onBox;
};

struct ProcessRun {
    bool started = false;
    bool finished = false;   // false: still running at the deadline, so it was ended by force
    DWORD exitCode = 0;      // the full code, as the platform reports it
    std::vector<SeenBox> boxes;  // every box with the caption "Plinthora", in the order shown
    bool otherWindowSeen = false;  // some other visible top-level window of the process
};

// Starts program with commandLine passed exactly as given (the caller quotes the program
// path) and waits for it within the timeout. The program inherits this process's environment,
// where CallRecord has set PLINTHORA_CALL_LOG.
ProcessRun runProcess(const std::string& program, const std::string& commandLine, const RunSettings& settings);

// The processes running now.
std::vector<PROCESSENTRY32> runningProcesses();
