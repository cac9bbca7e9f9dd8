#include "tests/ui/window_serving.h"

#include "tests/support/top_level_windows.h"
#include "tests/support/wait_until.h"

namespace {

const DWORD SHOT_PATIENCE_MS = 60000;

struct ShotRequest {
    const char* stage;
    void (*takeShot)(const char* stage);
    volatile LONG taken;
};

DWORD WINAPI takeShotOnThread(void* parameter)
{
    ShotRequest* request = (ShotRequest*)parameter;
    request->takeShot(request->stage);
    InterlockedExchange(&request->taken, 1);
    return 0;
}

}  // namespace

bool serveWindowUntil(MainWindow* record, const std::function<bool()>& condition, DWORD limitMs, LoopEnd* end)
{
    LoopEnd ownEnd;
    LoopEnd* loop = end != nullptr ? end : &ownEnd;
    bool held = false;
    auto served = [&] {
        MSG message;
        while (!loop->seen && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                loop->seen = true;
                loop->code = (int)message.wParam;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        held = condition();
        return held || loop->seen;
    };
    // Short slices: some conditions (a thread's end) change without any message.
    waitUntil(served, limitMs, [&](DWORD slice) {
        record->onIdle();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
        return true;
    });
    return held;
}

void takeShotWhileServing(MainWindow* record, const char* stage, void (*takeShot)(const char* stage))
{
    ShotRequest request = {stage, takeShot, 0};
    HANDLE thread = CreateThread(nullptr, 0, takeShotOnThread, &request, 0, nullptr);
    serveWindowUntil(record, [&] { return request.taken != 0; }, SHOT_PATIENCE_MS);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

HWND visibleWindowOfClass(const char* className)
{
    return visibleTopLevelWindow(GetCurrentProcessId(), [&](HWND window) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        return lstrcmpA(name, className) == 0;
    });
}
