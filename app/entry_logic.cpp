#include "app/entry_logic.h"

#include <windows.h>

#include "app/batch_runner.h"
#include "app/rights_check.h"
#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/worker/worker_server.h"
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

const char* argumentText(const char* commandLine)
{
    bool quoted = false;
    const char* p = commandLine;
    for (; *p != '\0'; p = nextChar(p)) {
        if (*p == ' ' && !quoted) return p + 1;
        if (*p == '"') quoted = !quoted;
    }
    return p;
}

int runEntryLogic()
{
    // A worker serves the run that started it and nothing else: no rights check, no boxes.
    if (serveAsWorker()) return 0;
    const char* arguments = argumentText(GetCommandLineA());
    // Reading how to use the program needs no right to register anything.
    if (isUsageRequest(arguments)) return showUsage();
    if (arguments[0] != '\0') return runBatch(arguments);
    RightsCheck rightsCheck;
    if (!rightsCheck.passes()) return 0;
    return runWindow();
}
