#include "ui/background_operations.h"

#include "core/jobs/heap.h"
#include "core/jobs/text_copy.h"
#include "core/production/job_stop.h"
#include "core/production/list_file_runner.h"
#include "core/production/path_expander.h"
#include "core/worker/isolated_performer.h"
#include "resources/resource.h"
#include "ui/item_list_view.h"
#include "ui/main_window.h"

namespace {

// The window a worker serves: the owner that hears its busy state and owns its boxes, and
// the list its rows go to. The list object lives until the window is destroyed, which waits
// for the worker's Idle.
struct WorkerTarget {
    HWND owner;
    const ItemListView* list;
};

struct AddJobRequest {
    WorkerTarget target;
    JobSpec* job;
};

struct RunRequest {
    WorkerTarget target;
    char capturePath[MAX_PATH];  // empty: the rows are registered
};

// The rows to check, in list order; allocated with room for all of them.
struct CheckRequest {
    WorkerTarget target;
    int rowCount;
    int rows[1];
};

struct DropRequest {
    WorkerTarget target;
    HDROP drop;
    BYTE ctrlHeld;
    BYTE altHeld;
};

void announceIdle(HWND owner)
{
    PostMessageA(owner, MSG_SET_BUSY, Idle, 0);
}

// Items become rows, list-file errors warning boxes owned by the window. Once the window is
// closing, items are dropped and errors go unshown: nobody would see them, and the list is
// about to go. A row is run later, when its file may have changed since it was listed.
void appendUnlessStopping(ComponentItem* item, void* context)
{
    item->listing = NOT_LISTED;
    if (jobStopRequested()) freeComponentItem(item);
    else appendItem(item, ((WorkerTarget*)context)->list->window);
}

void warnUnlessStopping(const char* message, BYTE silent, void* context)
{
    if (!silent && !jobStopRequested()) MessageBoxA(((WorkerTarget*)context)->owner, message, PROGRAM_NAME, MB_ICONWARNING);
}

JobOutput windowOutput(WorkerTarget* target)
{
    return JobOutput{appendUnlessStopping, warnUnlessStopping, target};
}

DWORD WINAPI addJobWorker(void* parameter)
{
    AddJobRequest request = *(AddJobRequest*)parameter;
    freeBlock(parameter);
    JobOutput output = windowOutput(&request.target);
    runJob(request.job, &output);
    freeJobSpec(request.job);
    announceIdle(request.target.owner);
    return 0;
}

// Each dropped name read as a list file, one after the other; a name that fails to open is
// reported by the list-file reader and the next name is read all the same.
void readDroppedListFiles(const JobOutput* output, HDROP drop, UINT count)
{
    for (UINT index = 0; index < count && !jobStopRequested(); index++) {
        char name[MAX_PATH];
        // An empty list-file path would mean the default list file, which nobody dropped.
        if (DragQueryFileA(drop, index, name, sizeof name) == 0) continue;
        JobSpec* job = newJobSpec();
        if (job == nullptr) return;
        job->fromListFile = 1;
        copyText(job->listFilePath, sizeof job->listFilePath, name);
        runJob(job, output);
        freeJobSpec(job);
    }
}

// The dropped names as one job of paths: files become items, folders are listed, and
// with Alt held their subfolders too.
void expandDroppedPaths(const JobOutput* output, HDROP drop, UINT count, BYTE altHeld)
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
    if (complete && !jobStopRequested()) expandJob(job, output);
    freeJobSpec(job);
}

DWORD WINAPI dropWorker(void* parameter)
{
    DropRequest request = *(DropRequest*)parameter;
    freeBlock(parameter);
    if (request.drop != nullptr) {
        JobOutput output = windowOutput(&request.target);
        UINT count = DragQueryFileA(request.drop, 0xFFFFFFFF, nullptr, 0);
        if (request.ctrlHeld) readDroppedListFiles(&output, request.drop, count);
        else expandDroppedPaths(&output, request.drop, count, request.altHeld);
        DragFinish(request.drop);
    }
    announceIdle(request.target.owner);
    return 0;
}

// Performs every row in list order, redrawing each as soon as it is done and scrolling the
// view along. A close of the window stops the run before the next item.
void performRows(const WorkerTarget& target, RegistryCapture* capture)
{
    HWND listView = target.list->window;
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    int rowHeight = 0;
    if (SendMessageA(listView, LVM_GETITEMRECT, 0, (LPARAM)&bounds)) rowHeight = bounds.bottom - bounds.top;
    int count = target.list->count();
    IsolatedPerformer performer;
    performer.begin(jobStopEvent(), capture);
    for (int row = 0; row < count && !jobStopRequested(); row++) {
        ComponentItem* item = target.list->itemAt(row);
        if (item != nullptr) performer.perform(item);
        SendMessageA(listView, LVM_UPDATE, row, 0);
        SendMessageA(listView, LVM_SCROLL, 0, rowHeight);
    }
    performer.end();
}

void warnAboutCaptureFile(WorkerTarget* target, const char* path, const char* what)
{
    char message[MAX_PATH + 80];
    wsprintfA(message, "%s%s", path, what);
    warnUnlessStopping(message, 0, target);
}

DWORD WINAPI runWorker(void* parameter)
{
    RunRequest request = *(RunRequest*)parameter;
    freeBlock(parameter);
    if (request.capturePath[0] == '\0') {
        performRows(request.target, nullptr);
        announceIdle(request.target.owner);
        return 0;
    }
    RegistryCapture capture = {};
    if (!capture.begin(request.capturePath)) {
        warnAboutCaptureFile(&request.target, request.capturePath, captureBeginFailure(GetLastError()));
    } else {
        performRows(request.target, &capture);
        if (!capture.end()) warnAboutCaptureFile(&request.target, request.capturePath, CAPTURE_WRITE_FAILED);
    }
    announceIdle(request.target.owner);
    return 0;
}

// Each row is checked as a copy with /q, whose answer is then given to the row: the row's
// switches never change, not even for a moment that a repaint could show.
DWORD WINAPI checkWorker(void* parameter)
{
    CheckRequest* request = (CheckRequest*)parameter;
    const ItemListView* list = request->target.list;
    IsolatedPerformer performer;
    performer.begin(jobStopEvent());
    ComponentItem* probe = newComponentItem();
    for (int index = 0; probe != nullptr && index < request->rowCount && !jobStopRequested(); index++) {
        int row = request->rows[index];
        ComponentItem* item = list->itemAt(row);
        if (item == nullptr) continue;
        *probe = *item;
        probe->switches.check = 1;
        performer.perform(probe);
        copyText(item->detail, sizeof item->detail, probe->detail);
        item->status = probe->status;
        SendMessageA(list->window, LVM_UPDATE, row, 0);
    }
    performer.end();
    freeComponentItem(probe);
    HWND owner = request->target.owner;
    freeBlock(request);
    announceIdle(owner);
    return 0;
}

// Announces the state, sent rather than posted: the window has stored it and locked its
// commands before any worker exists. A stop asked of an earlier worker does not carry over.
// Then hands the request to a new thread; without a request or a thread the state goes back
// to Idle at once, as if the worker had ended, and the result is false.
bool launch(HWND owner, BusyState state, LPTHREAD_START_ROUTINE routine, void* request)
{
    SendMessageA(owner, MSG_SET_BUSY, state, 0);
    clearJobStop();
    HANDLE thread = request != nullptr ? CreateThread(nullptr, 0, routine, request, 0, nullptr) : nullptr;
    if (thread != nullptr) {
        CloseHandle(thread);
        return true;
    }
    freeBlock(request);
    announceIdle(owner);
    return false;
}

}  // namespace

void startAddJob(HWND owner, const ItemListView* list, JobSpec* job)
{
    AddJobRequest* request = newZeroed<AddJobRequest>();
    if (request != nullptr) *request = {{owner, list}, job};
    if (!launch(owner, BuildingList, addJobWorker, request)) freeJobSpec(job);
}

void startDrop(HWND owner, const ItemListView* list, HDROP drop)
{
    DropRequest* request = newZeroed<DropRequest>();
    if (request != nullptr) *request = {{owner, list}, drop, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0};
    if (!launch(owner, BuildingList, dropWorker, request) && drop != nullptr) DragFinish(drop);
}

void startRun(HWND owner, const ItemListView* list)
{
    startCaptureRun(owner, list, "");
}

void startCaptureRun(HWND owner, const ItemListView* list, const char* path)
{
    RunRequest* request = newZeroed<RunRequest>();
    if (request != nullptr) {
        request->target = {owner, list};
        copyText(request->capturePath, sizeof request->capturePath, path);
    }
    launch(owner, Running, runWorker, request);
}

void startCheckRun(HWND owner, const ItemListView* list)
{
    int selected = (int)SendMessageA(list->window, LVM_GETSELECTEDCOUNT, 0, 0);
    CheckRequest* request = (CheckRequest*)allocateZeroed(sizeof(CheckRequest) + (size_t)selected * sizeof(int));
    if (request != nullptr) {
        request->target = {owner, list};
        for (int row = list->nextSelectedRow(-1); row >= 0 && request->rowCount < selected; row = list->nextSelectedRow(row)) {
            request->rows[request->rowCount++] = row;
        }
    }
    launch(owner, Running, checkWorker, request);
}
