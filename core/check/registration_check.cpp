#include "core/check/registration_check.h"

#include "core/capture/registry_capture.h"
#include "core/check/difference_text.h"
#include "core/check/registry_comparison.h"
#include "core/jobs/heap.h"
#include "core/registration/per_user_classes.h"
#include "core/registration/registration_engine.h"
#include "core/registration/status_texts.h"

namespace {

const ULONGLONG TICKS_PER_SECOND = 10000000;
const ULONGLONG TICKS_PER_MILLISECOND = 10000;

ULONGLONG systemTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime;
}

// Returns once the clock has left the second in which the first capture ended: a time stamp of
// whole seconds that it wrote, at that second or before, then differs in the second capture.
// Timed from the capture's start instead, a capture longer than the rest of its second would
// let both captures write the same stamp, compared then as if it did not move.
void awaitNextSecond()
{
    ULONGLONG ended = systemTime();
    for (ULONGLONG now = ended; now / TICKS_PER_SECOND == ended / TICKS_PER_SECOND; now = systemTime()) {
        Sleep((DWORD)((TICKS_PER_SECOND - now % TICKS_PER_SECOND) / TICKS_PER_MILLISECOND) + 1);
    }
}

// Registers the item with its writes kept in the scratch keys; true when the registration
// succeeded, otherwise the item has the status of the step that failed.
bool captureRegistration(ComponentItem* item, RegistryCapture* scratch, PerformTrace* trace)
{
    if (!scratch->prepareItem() || !overlayScratchKeys(scratch->scratchKey)) {
        failLoad(item, GetLastError());
        return false;
    }
    performInThisProcess(item, trace);
    removeScratchOverlay();
    return isSuccessStatus(item->status);
}

bool userClassesExist()
{
    HKEY classes;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_READ, &classes) != ERROR_SUCCESS) return false;
    RegCloseKey(classes);
    return true;
}

// With /c the classes are read as the user's programs see them: the user's laid over the
// machine's, which the overlay of /c shows where the system does not merge them itself.
// Without any classes of the user's the machine's are all there is, and nothing is made.
bool compareWithRegistry(const ComponentItem* item, RegistryComparison* comparison)
{
    comparison->userClasses = item->switches.perUser != 0;
    bool overlaid = comparison->userClasses && userClassesExist();
    if (overlaid && !overlayUserClasses()) return false;
    comparison->compare();
    if (overlaid) removeUserClassesOverlay();
    if (!comparison->memoryRanOut) return true;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

void answer(ComponentItem* item, const RegistryComparison& comparison)
{
    const char* status = STATUS_CHECK_PARTLY_REGISTERED;
    const char* difference = comparison.firstDifference;
    if (comparison.differences == 0) {
        status = STATUS_CHECK_REGISTERED;
    } else if (comparison.nothingFound()) {
        status = STATUS_CHECK_NOT_REGISTERED;
    } else if (comparison.otherFile) {
        status = STATUS_CHECK_OTHER_FILE;
        difference = comparison.firstOtherFile;
    }
    describeCheck(difference, comparison.differences, comparison.leftOut, item->detail, sizeof item->detail);
    item->status = status;
}

}  // namespace

void checkInThisProcess(ComponentItem* item, PerformTrace* trace)
{
    ItemSwitches asked = item->switches;
    item->switches.unregister = 0;
    item->switches.check = 0;
    RegistryCapture first = {};
    RegistryCapture second = {};
    first.beginScratch();
    wsprintfA(second.scratchKey, "%s\\Second", first.scratchKey);
    RegistryComparison* comparison = newZeroed<RegistryComparison>();
    if (comparison == nullptr) {
        failLoad(item, ERROR_NOT_ENOUGH_MEMORY);
    } else if (captureRegistration(item, &first, trace)) {
        awaitNextSecond();
        if (captureRegistration(item, &second, trace)) {
            comparison->firstCapture = first.scratchKey;
            comparison->secondCapture = second.scratchKey;
            WCHAR path[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, item->path, -1, path, MAX_PATH);
            if (GetFullPathNameW(path, MAX_PATH, comparison->componentPath, nullptr) >= MAX_PATH) comparison->componentPath[0] = L'\0';
            if (compareWithRegistry(item, comparison)) answer(item, *comparison);
            else failLoad(item, GetLastError());
        }
    }
    item->switches = asked;
    freeBlock(comparison);
    first.end();
}
