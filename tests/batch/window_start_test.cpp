// The program started without arguments opens its window. The libraries the window needs are
// loaded only when it first calls into them (a run with nothing to do never does), so a fault
// in that loading would show here and nowhere else.
#include <windows.h>

#include <string>

#include "tests/batch/batch_run.h"
#include "tests/support/top_level_windows.h"
#include "tests/support/wait_until.h"

namespace {

const DWORD WINDOW_PATIENCE_MS = 30000;

HWND waitForMainWindow(DWORD processId)
{
    HWND found = nullptr;
    waitUntil(
        [&] {
            found = visibleTopLevelWindow(processId, [](HWND window) {
                char className[64] = "";
                GetClassNameA(window, className, sizeof className);
                return lstrcmpA(className, "Plinthora") == 0;
            });
            return found != nullptr;
        },
        WINDOW_PATIENCE_MS);
    return found;
}

}  // namespace

TEST_F(BatchRun, WithoutArgumentsTheWindowComesUpWithToolbarListAndStatusBar)
{
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               scratch.path().c_str(), &startup, &process));
    CloseHandle(process.hThread);

    HWND window = waitForMainWindow(process.dwProcessId);
    EXPECT_NE(nullptr, window) << "no main window within " << WINDOW_PATIENCE_MS << " ms";
    if (window != nullptr) {
        for (const char* control : {"ToolbarWindow32", "SysListView32", "msctls_statusbar32"})
            EXPECT_NE(nullptr, FindWindowExA(window, nullptr, control, nullptr)) << "the window has no " << control;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }

    bool ended = WaitForSingleObject(process.hProcess, WINDOW_PATIENCE_MS) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 0xDEAD);
    DWORD exitCode = 0xDEAD;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(ended) << "the window did not close";
    EXPECT_EQ(0u, exitCode);
}
