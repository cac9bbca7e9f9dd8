// core/registration owns one item performed in this process: this engine, type libraries, the
// per-user classes (laid on core/overlay), what a component's file says about itself, failure
// details, status texts, and the result log. It reaches neither core/capture nor core/worker.
//
// Performs one item: loads its module, calls the exports its switches select, sets status,
// and for a failure the detail that says why. Runs wholly on the calling thread, with an OLE
// session of its own for each item.
#pragma once

#include "core/jobs/component_item.h"
#include "core/registration/perform_trace.h"

// The item's path is performed as given: the run resolved it, and a path resolved twice may
// name another file (a folder macro's value can hold text that reads as a macro again).
// A file named as a type library is registered as one (type_library.h), any other as a
// component.
void performInThisProcess(ComponentItem* item, PerformTrace* trace);

// Gives the item the status of a failed load, with the system's error as its detail: for an
// item answered, or refused, without being loaded.
void failLoad(ComponentItem* item, DWORD error);
