#include "app/entry_logic.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/batch_runner.h"
#include "app/rights_check.h"
#include "core/jobs/heap.h"
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
    RightsCheck rightsCheck;
    if (!rightsCheck.passes()) return 0;
    const char* argumentText = PathGetArgsA(GetCommandLineA());
    if (argumentText[0] == '\0') return runWindow();
    return runBatch(argumentText);
}
