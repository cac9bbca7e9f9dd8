// Plinthora's own window under the window probe (window_probe.h): the real main window and
// message loop, with the add made through the same worker the Add command starts for its
// folder method (startAddJob with a job of the folder and no switches), and the run through
// the Run command's starter. Only the dialog is left out.
//
//   window_driver FOLDER ROUND RESULTFILE [run]
#include <windows.h>

#include "core/worker/worker_server.h"
#include "bench/window_probe.h"
#include "core/jobs/heap.h"
#include "ui/background_operations.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

char folder[MAX_PATH];

MainWindow* volatile shownWindow = nullptr;

bool waitForMainWindow(HWND* window, HWND* list)
{
    for (int attempt = 0; attempt < 3000; ++attempt) {
        MainWindow* main = shownWindow;
        ItemListView* items = main != nullptr ? main->itemList : nullptr;
        HWND parent = items != nullptr && items->window != nullptr ? GetParent(items->window) : nullptr;
        if (parent != nullptr && IsWindowVisible(parent)) {
            *window = parent;
            *list = items->window;
            return true;
        }
        Sleep(10);
    }
    return false;
}

void startAdd(HWND window)
{
    JobSpec* job = newJobSpec();
    if (job != nullptr && appendPath(job, folder)) startAddJob(window, currentMainWindow->itemList, job);
    else freeJobSpec(job);
}

void startRun(HWND window)
{
    startRun(window, currentMainWindow->itemList);
}

bool endsOperation(UINT message, WPARAM wordParam)
{
    return message == MSG_SET_BUSY && wordParam == Idle;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The window's runs start their workers from this program's own file.
    if (serveAsWorker()) return 0;
    WindowBenchSettings settings;
    if (!readWindowBenchArguments(folder, &settings)) return 2;
    static const WindowBenchProgram program = {"plinthora", waitForMainWindow, startAdd, startRun, endsOperation};

    MainWindow* window = newZeroed<MainWindow>();
    if (window == nullptr || !startWindowBench(&program, &settings)) return 1;
    currentMainWindow = window;
    shownWindow = window;
    int exitCode = window->run();
    currentMainWindow = nullptr;
    finishWindowBench();
    freeBlock(window);
    return exitCode;
}
