// core/check owns /q: an item's registration captured without reaching the registry and
// compared, key by key and value by value, with what the registry holds. It reaches
// core/capture, core/registration, core/overlay and core/jobs, never core/worker.
//
// A check runs in the worker of the component's own architecture, which sees the registry in
// the component's view: a 32-bit component's classes where 32-bit programs find them. The item
// is registered twice into scratch keys, the second time in a later second of the clock, and
// what it would write is compared with the registry; a value the two captures wrote
// differently is a value of the moment (a time stamp, a random id) and is left out. With /u the
// question is "is it gone?": the registration is compared all the same, and only what counts
// as the expected answer changes. The scratch keys are removed whatever became of the item.
// Worker thread, one item at a time.
#pragma once

#include "core/jobs/component_item.h"
#include "core/registration/perform_trace.h"

// Sets the item's status to the answer (登録済み, 未登録, 一部のみ登録 or 別のファイルで登録)
// and its detail to the first difference and the counts; a registration that fails keeps the
// status of the step that failed. The item's switches are as they were afterwards.
void checkInThisProcess(ComponentItem* item, PerformTrace* trace);
