// The worker starters of the item list and the three worker routines.
// Starters run on the user-interface thread; each worker runs on a thread of its own, owns
// and frees its request, reaches the list control only through synchronous messages, and
// posts MSG_SET_BUSY with Idle to the main window as its very last act.
#include <windows.h>
#include <shellapi.h>

#include "core/jobs/text_copy.h"
#include "core/production/job_stop.h"
#include "core/production/list_file_runner.h"
#include "core/production/path_expander.h"
#include "core/registration/isolated_performer.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

struct AddJobRequest {
    HWND owner;
    HWND listView;
    char path[PATH_TEXT_CAPACITY];
    BYTE unregister;
    BYTE noRegisterServer;
    BYTE callInstall;
    char installCmdLine[COMMAND_LINE_CAPACITY];
    BYTE recurse;
    BYTE fromListFile;
    char listFilePath[PATH_TEXT_CAPACITY];
};

struct DropRequest {
    HWND owner;
    HWND listView;
    HDROP drop;
    BYTE ctrlHeld;
    BYTE altHeld;
};

struct RunRequest {
    HWND owner;
    HWND listView;
};

void* allocateRequest(size_t size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void freeRequest(void* request)
{
    HeapFree(GetProcessHeap(), 0, request);
}

void announceIdle(HWND owner)
{
    PostMessageA(owner, MSG_SET_BUSY, Idle, 0);
}

// The list's sink, except that once the window is closing the items are dropped instead:
// nobody will see them, and the list is about to go.
void appendUnlessStopping(ComponentItem* item, void* sinkContext)
{
    if (jobStopRequested()) freeComponentItem(item);
    else appendItem(item, sinkContext);
}

bool startWorkerThread(LPTHREAD_START_ROUTINE routine, void* request)
{
    HANDLE thread = CreateThread(nullptr, 0, routine, request, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

DWORD WINAPI addJobWorker(void* parameter)
{
    AddJobRequest* request = (AddJobRequest*)parameter;
    HWND owner = request->owner;
    JobSpec* job = newJobSpec();
    if (job != nullptr) {
        job->unregister = request->unregister;
        job->noRegisterServer = request->noRegisterServer;
        job->callInstall = request->callInstall;
        copyText(job->installCmdLine, sizeof job->installCmdLine, request->installCmdLine);
        job->recurse = request->recurse;
        job->fromListFile = request->fromListFile;
        copyText(job->listFilePath, sizeof job->listFilePath, request->listFilePath);
        if (appendPath(job, request->path)) runJob(Interactive, owner, job, appendUnlessStopping, request->listView);
        freeJobSpec(job);
    }
    freeRequest(request);
    announceIdle(owner);
    return 0;
}

// Each dropped name read as a list file, one after the other; a name that fails to open is
// reported by the list-file reader and the next name is read all the same.
void readDroppedListFiles(HWND owner, HWND listView, HDROP drop, UINT count)
{
    for (UINT index = 0; index < count && !jobStopRequested(); index++) {
        char name[MAX_PATH];
        // An empty list-file path would mean the default list file, which nobody dropped.
        if (DragQueryFileA(drop, index, name, sizeof name) == 0) continue;
        JobSpec* job = newJobSpec();
        if (job == nullptr) return;
        job->fromListFile = 1;
        copyText(job->listFilePath, sizeof job->listFilePath, name);
        runJob(Interactive, owner, job, appendUnlessStopping, listView);
        freeJobSpec(job);
    }
}

// The dropped names as one job of paths: files become items, folders are listed, and
// with Alt held their subfolders too.
void expandDroppedPaths(HWND listView, HDROP drop, UINT count, BYTE altHeld)
{
    JobSpec* job = newJobSpec();
    if (job == nullptr) return;
    job->recurse = altHeld;
    bool complete = true;
    for (UINT index = 0; index < count && complete && !jobStopRequested(); index++) {
        char name[MAX_PATH];
        if (DragQueryFileA(drop, index, name, sizeof name) == 0) continue;
        complete = appendPath(job, name);
    }
    if (complete && !jobStopRequested()) expandJob(job, appendUnlessStopping, listView);
    freeJobSpec(job);
}

DWORD WINAPI dropWorker(void* parameter)
{
    DropRequest request = *(DropRequest*)parameter;
    freeRequest(parameter);
    if (request.drop != nullptr) {
        UINT count = DragQueryFileA(request.drop, 0xFFFFFFFF, nullptr, 0);
        if (request.ctrlHeld) readDroppedListFiles(request.owner, request.listView, request.drop, count);
        else expandDroppedPaths(request.listView, request.drop, count, request.altHeld);
        DragFinish(request.drop);
    }
    announceIdle(request.owner);
    return 0;
}

ComponentItem* rowItem(HWND listView, int row)
{
    LVITEMA entry = {};
    entry.mask = LVIF_PARAM;
    entry.iItem = row;
    if (!SendMessageA(listView, LVM_GETITEMA, 0, (LPARAM)&entry)) return nullptr;
    return (ComponentItem*)entry.lParam;
}

// Performs every row in list order, redrawing each as soon as it is done and scrolling the
// view along. A close of the window stops the run before the next item.
DWORD WINAPI runWorker(void* parameter)
{
    RunRequest request = *(RunRequest*)parameter;
    freeRequest(parameter);
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    int rowHeight = 0;
    if (SendMessageA(request.listView, LVM_GETITEMRECT, 0, (LPARAM)&bounds)) rowHeight = bounds.bottom - bounds.top;
    int count = (int)SendMessageA(request.listView, LVM_GETITEMCOUNT, 0, 0);
    IsolatedPerformer performer;
    performer.begin(jobStopEvent());
    for (int row = 0; row < count && !jobStopRequested(); row++) {
        ComponentItem* item = rowItem(request.listView, row);
        if (item != nullptr) performer.perform(item);
        SendMessageA(request.listView, LVM_UPDATE, row, 0);
        SendMessageA(request.listView, LVM_SCROLL, 0, rowHeight);
    }
    performer.end();
    announceIdle(request.owner);
    return 0;
}

// Hands the request to a new thread. When no thread can be had the request is freed and the
// state goes back to Idle, as if the worker had ended at once.
bool launch(HWND owner, LPTHREAD_START_ROUTINE routine, void* request)
{
    if (startWorkerThread(routine, request)) return true;
    freeRequest(request);
    announceIdle(owner);
    return false;
}

// Sent, not posted: the window has stored the state and locked its commands before any
// worker exists. A stop asked of an earlier worker does not carry over to this one.
void announceBusy(HWND owner, BusyState state)
{
    SendMessageA(owner, MSG_SET_BUSY, state, 0);
    clearJobStop();
}

}  // namespace

void ItemListView::startAddJob(HWND owner, const char* path, BYTE unregister, BYTE noRegisterServer, BYTE callInstall,
                               const char* installCmdLine, BYTE recurse, BYTE fromListFile, const char* listFilePath)
{
    if (busyState != Idle) return;
    announceBusy(owner, BuildingList);
    AddJobRequest* request = (AddJobRequest*)allocateRequest(sizeof(AddJobRequest));
    if (request == nullptr) {
        announceIdle(owner);
        return;
    }
    request->owner = owner;
    request->listView = window;
    copyText(request->path, sizeof request->path, path);
    request->unregister = unregister;
    request->noRegisterServer = noRegisterServer;
    request->callInstall = callInstall;
    copyText(request->installCmdLine, sizeof request->installCmdLine, installCmdLine);
    request->recurse = recurse;
    request->fromListFile = fromListFile;
    copyText(request->listFilePath, sizeof request->listFilePath, listFilePath);
    launch(owner, addJobWorker, request);
}

void ItemListView::startDrop(HWND owner, HDROP drop)
{
    if (busyState != Idle) {
        if (drop != nullptr) DragFinish(drop);
        return;
    }
    announceBusy(owner, BuildingList);
    DropRequest* request = (DropRequest*)allocateRequest(sizeof(DropRequest));
    if (request == nullptr) {
        if (drop != nullptr) DragFinish(drop);
        announceIdle(owner);
        return;
    }
    request->owner = owner;
    request->listView = window;
    request->drop = drop;
    request->ctrlHeld = GetKeyState(VK_CONTROL) < 0;
    request->altHeld = GetKeyState(VK_MENU) < 0;
    if (!launch(owner, dropWorker, request) && drop != nullptr) DragFinish(drop);
}

void ItemListView::startRun(HWND owner)
{
    if (busyState != Idle) return;
    announceBusy(owner, Running);
    RunRequest* request = (RunRequest*)allocateRequest(sizeof(RunRequest));
    if (request == nullptr) {
        announceIdle(owner);
        return;
    }
    request->owner = owner;
    request->listView = window;
    launch(owner, runWorker, request);
}
