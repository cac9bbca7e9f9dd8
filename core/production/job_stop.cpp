#include "core/production/job_stop.h"

#include <windows.h>

namespace {

volatile LONG stopRequested = 0;

}  // namespace

void requestJobStop()
{
    InterlockedExchange(&stopRequested, 1);
}

void clearJobStop()
{
    InterlockedExchange(&stopRequested, 0);
}

bool jobStopRequested()
{
    return InterlockedCompareExchange(&stopRequested, 0, 0) != 0;
}
