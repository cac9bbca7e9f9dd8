// The floor of the window's add and run: a plain window with a report list of three
// columns and row pictures, whose cells come from the rows' records when the list asks.
// A worker thread lists a folder and inserts one row per file with a synchronous
// LVM_INSERTITEMA; a second worker performs every row (its own OLE session, load, register
// export, free) and has the row redrawn and the list scrolled by synchronous messages.
// Nothing else: no status bar, no toolbar, no idle step.
//
//   window_floor FOLDER ROUND RESULTFILE [run]
//
// The figures are measured and written by the window probe (window_probe.h).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "bench/window_probe.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* ServerEntry)();

const char WINDOW_CLASS[] = "PlinthoraBenchFloor";
const UINT MSG_WORKER_ENDED = WM_APP + 1;
const int LIST_ID = 100;
const char PENDING[] = "-";
const char LOAD_FAILED[] = "コンポーネントのロード失敗";
const char DONE[] = "登録完了";
const char FAILED_CALL[] = "DllRegisterServer失敗";

struct Row {
    char path[MAX_PATH];
    const char* status;
};

// Filled by the add worker, read by the run worker and, for painting, the user-interface
// thread; the two workers never run at once.
Row** rows = nullptr;
int rowCount = 0;
int rowCapacity = 0;

char folder[MAX_PATH];
HWND mainWindow = nullptr;
HWND listControl = nullptr;

bool keepRow(Row* row)
{
    if (rowCount == rowCapacity) {
        int capacity = rowCapacity == 0 ? 1024 : rowCapacity * 2;
        Row** grown = (Row**)realloc(rows, sizeof(Row*) * capacity);
        if (grown == nullptr) return false;
        rows = grown;
        rowCapacity = capacity;
    }
    rows[rowCount++] = row;
    return true;
}

DWORD WINAPI addWorker(void*)
{
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            Row* row = (Row*)HeapAlloc(GetProcessHeap(), 0, sizeof(Row));
            if (row == nullptr) break;
            wsprintfA(row->path, "%s\\%s", folder, entry.cFileName);
            row->status = PENDING;
            LVITEMA item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            item.iItem = rowCount;
            item.pszText = LPSTR_TEXTCALLBACKA;
            item.iImage = I_IMAGECALLBACK;
            item.lParam = (LPARAM)row;
            if (!keepRow(row)) break;
            SendMessageA(listControl, LVM_INSERTITEMA, 0, (LPARAM)&item);
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
    }
    PostMessageA(mainWindow, MSG_WORKER_ENDED, 0, 0);
    return 0;
}

const char* performRow(const char* path)
{
    OleInitialize(nullptr);
    const char* status = LOAD_FAILED;
    HMODULE module = LoadLibraryA(path);
    if (module != nullptr) {
        ServerEntry server = (ServerEntry)(void*)GetProcAddress(module, "DllRegisterServer");
        status = server != nullptr && SUCCEEDED(server()) ? DONE : FAILED_CALL;
        FreeLibrary(module);
    }
    OleUninitialize();
    return status;
}

DWORD WINAPI runWorker(void*)
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    SendMessageA(listControl, LVM_GETITEMRECT, 0, (LPARAM)&bounds);
    int rowHeight = bounds.bottom - bounds.top;
    for (int index = 0; index < rowCount; ++index) {
        rows[index]->status = performRow(rows[index]->path);
        SendMessageA(listControl, LVM_UPDATE, index, 0);
        SendMessageA(listControl, LVM_SCROLL, 0, rowHeight);
    }
    PostMessageA(mainWindow, MSG_WORKER_ENDED, 0, 0);
    return 0;
}

void startWorker(LPTHREAD_START_ROUTINE routine)
{
    HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

HIMAGELIST makeRowPictures()
{
    HIMAGELIST pictures = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 0);
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    for (int index = 0; index < 3; ++index) ImageList_AddMasked(pictures, picture, RGB(255, 0, 255));
    DeleteObject(picture);
    return pictures;
}

void createList(HWND parent)
{
    RECT client;
    GetClientRect(parent, &client);
    listControl = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                  WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0, 0,
                                  client.right, client.bottom, parent, (HMENU)(UINT_PTR)LIST_ID,
                                  GetModuleHandleA(nullptr), nullptr);
    SendMessageA(listControl, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    SendMessageA(listControl, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)makeRowPictures());
    const char* headers[] = {"ファイル名", "オプション", "状態"};
    const int widths[] = {230, 70, 175};
    for (int index = 0; index < 3; ++index) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = widths[index];
        column.pszText = const_cast<char*>(headers[index]);
        column.iSubItem = index;
        SendMessageA(listControl, LVM_INSERTCOLUMNA, index, (LPARAM)&column);
    }
}

LRESULT onGetDispInfo(NMLVDISPINFOA* info)
{
    const Row* row = (const Row*)info->item.lParam;
    if (row == nullptr) return 0;
    if ((info->item.mask & LVIF_TEXT) && info->item.cchTextMax > 0) {
        const char* text = info->item.iSubItem == 0 ? row->path : info->item.iSubItem == 2 ? row->status : "";
        lstrcpynA(info->item.pszText, text, info->item.cchTextMax);
    }
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = 1;
    return 0;
}

LRESULT CALLBACK floorWindowProc(HWND window, UINT message, WPARAM wordParam, LPARAM longParam)
{
    switch (message) {
    case WM_CREATE: createList(window); return 0;
    case WM_SIZE: MoveWindow(listControl, 0, 0, LOWORD(longParam), HIWORD(longParam), TRUE); return 0;
    case WM_NOTIFY:
        if (((NMHDR*)longParam)->code == LVN_GETDISPINFOA) return onGetDispInfo((NMLVDISPINFOA*)longParam);
        break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wordParam, longParam);
}

bool waitForFloorWindow(HWND* window, HWND* list)
{
    for (int attempt = 0; attempt < 3000; ++attempt) {
        if (mainWindow != nullptr && listControl != nullptr && IsWindowVisible(mainWindow)) {
            *window = mainWindow;
            *list = listControl;
            return true;
        }
        Sleep(10);
    }
    return false;
}

void startAdd(HWND)
{
    startWorker(addWorker);
}

void startRun(HWND)
{
    startWorker(runWorker);
}

bool endsOperation(UINT message, WPARAM)
{
    return message == MSG_WORKER_ENDED;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WindowBenchSettings settings;
    if (!readWindowBenchArguments(folder, &settings)) return 2;
    static const WindowBenchProgram program = {"floor", waitForFloorWindow, startAdd, startRun, endsOperation};

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = floorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WINDOW_CLASS;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, WINDOW_CLASS, "floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 500,
                                  300, nullptr, nullptr, instance, nullptr);
    if (window == nullptr || !startWindowBench(&program, &settings)) return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    mainWindow = window;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    finishWindowBench();
    return 0;
}
