#include "core/production/job_stop.h"

#include <windows.h>

namespace {

volatile LONG stopRequested = 0;
HANDLE volatile stopEvent = nullptr;

}  // namespace

HANDLE jobStopEvent()
{
    if (stopEvent == nullptr) {
        HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (InterlockedCompareExchangePointer((void* volatile*)&stopEvent, created, nullptr) != nullptr) {
            CloseHandle(created);
        }
    }
    return stopEvent;
}

void requestJobStop()
{
    InterlockedExchange(&stopRequested, 1);
    if (jobStopEvent() != nullptr) SetEvent(stopEvent);
}

void clearJobStop()
{
    InterlockedExchange(&stopRequested, 0);
    if (jobStopEvent() != nullptr) ResetEvent(stopEvent);
}

bool jobStopRequested()
{
    return InterlockedCompareExchange(&stopRequested, 0, 0) != 0;
}
