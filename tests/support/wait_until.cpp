#include "tests/support/wait_until.h"

namespace {

const DWORD SLICE_MS = 10;

}  // namespace

bool waitUntil(const std::function<bool()>& condition, DWORD limitMs, const std::function<bool(DWORD sliceMs)>& pause)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        DWORD waited = GetTickCount() - start;
        if (waited >= limitMs) return false;
        DWORD slice = limitMs - waited < SLICE_MS ? limitMs - waited : SLICE_MS;
        if (!pause) Sleep(slice);
        else if (!pause(slice)) return false;
    }
}
