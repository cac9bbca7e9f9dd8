// Serving the real main window from the thread that owns it while something else happens:
// the program's own loop steps (messages, then the idle step) until a condition holds.
#pragma once

#include <windows.h>

#include "ui/main_window.h"

// Serves the window until condition holds or patienceMs pass.
template <typename Condition>
void serveWindowUntil(MainWindow* record, Condition condition, DWORD patienceMs = 60000)
{
    for (DWORD start = GetTickCount(); !condition() && GetTickCount() - start < patienceMs;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        record->onIdle();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

struct ShotRequest {
    const char* stage;
    void (*takeShot)(const char* stage);
    volatile LONG taken;
};

inline DWORD WINAPI takeShotOnThread(void* parameter)
{
    ShotRequest* request = (ShotRequest*)parameter;
    request->takeShot(request->stage);
    InterlockedExchange(&request->taken, 1);
    return 0;
}

// Takes a picture on a thread of its own, so that the window keeps painting meanwhile.
inline void takeShotWhileServing(MainWindow* record, const char* stage, void (*takeShot)(const char* stage))
{
    ShotRequest request = {stage, takeShot, 0};
    HANDLE thread = CreateThread(nullptr, 0, takeShotOnThread, &request, 0, nullptr);
    serveWindowUntil(record, [&] { return request.taken != 0; });
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// A visible window of this process with the given class, or null.
inline HWND visibleWindowOfClass(const char* className)
{
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, className, nullptr)) != nullptr) {
        DWORD processId = 0;
        GetWindowThreadProcessId(candidate, &processId);
        if (processId == GetCurrentProcessId() && IsWindowVisible(candidate)) return candidate;
    }
    return nullptr;
}
