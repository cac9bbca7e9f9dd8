#include "tests/support/process_runner.h"

namespace {

const char CAPTION[] = "Plinthora";
const DWORD POLL_MS = 20;
// How long a box may take to be drawn, and to close once answered.
const DWORD BOX_PATIENCE_MS = 10000;

}  // namespace

ProcessRun runProcess(const std::string& program, const std::string& commandLine, const RunSettings& settings)
{
    ProcessRun run;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const char* directory = settings.currentDirectory.empty() ? nullptr : settings.currentDirectory.c_str();
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &process))
        return run;
    run.started = true;
    CloseHandle(process.hThread);

    DWORD start = GetTickCount();
    bool timedOut = false;
    while (WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_TIMEOUT) {
        if (GetTickCount() - start >= settings.timeoutMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 5000);
            timedOut = true;
            break;
        }
        run.otherWindowSeen = run.otherWindowSeen || hasOtherVisibleWindow(process.dwProcessId, CAPTION);
        HWND box = findMessageBox(process.dwProcessId, CAPTION);
        if (box == nullptr) continue;
        SeenBox seen = readMessageBox(box, BOX_PATIENCE_MS);
        run.boxes.push_back(seen);
        int answer = settings.onBox ? settings.onBox(seen) : defaultAnswer(seen);
        answerMessageBox(box, answer, BOX_PATIENCE_MS);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.finished = !timedOut;
    run.exitCode = code;
    CloseHandle(process.hProcess);
    return run;
}

std::vector<PROCESSENTRY32> runningProcesses()
{
    std::vector<PROCESSENTRY32> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        processes.push_back(entry);
    }
    CloseHandle(snapshot);
    return processes;
}
