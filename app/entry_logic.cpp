#include "app/entry_logic.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/batch_runner.h"
#include "app/rights_check.h"
#include "core/jobs/heap.h"
#include "core/registration/worker_process.h"
#include "ui/main_window.h"

namespace {

int runWindow()
{
    MainWindow* window = newZeroed<MainWindow>();
    if (window == nullptr) return 0;
    currentMainWindow = window;
    int exitCode = window->run();
    currentMainWindow = nullptr;
    freeBlock(window);
    return exitCode;
}

}  // namespace

int runEntryLogic()
{
    // A worker serves the run that started it and nothing else: no rights check, no boxes.
    if (serveAsWorker()) return 0;
    const char* argumentText = PathGetArgsA(GetCommandLineA());
    // Reading how to use the program needs no right to register anything.
    if (isUsageRequest(argumentText)) return showUsage();
    RightsCheck rightsCheck;
    if (!rightsCheck.passes()) return 0;
    if (argumentText[0] == '\0') return runWindow();
    return runBatch(argumentText);
}
