// Type libraries (.tlb and .olb files): registered and unregistered through the system's
// type-library functions instead of a component's exports. Runs on the performing thread,
// inside the item's OLE session.
#pragma once

#include "core/jobs/component_item.h"
#include "core/registration/perform_trace.h"

// True for a path whose name ends in .tlb or .olb, in any case.
bool isTypeLibraryPath(const char* path);

// Registers or unregisters the type library at path, for the current user alone with /c;
// returns its status, and for a failure sets the detail to the HRESULT. /n and /i do nothing
// for a type library. The trace's steps: STEP_LOAD while the file is read as a type library,
// STEP_SERVER while the registry is written.
const char* performTypeLibrary(ComponentItem* item, const char* path, PerformTrace* trace);

// The status of a type library's item that ended in the step given, without its own result.
const char* typeLibraryStatusOfStep(const ComponentItem* item, LONG step);
