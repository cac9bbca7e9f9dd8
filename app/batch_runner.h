// The command-line run: the argument text as one job, each item performed, logged and
// reported as it is produced. Everything runs on the initial thread.
#pragma once

#include "core/jobs/component_item.h"

// Runs the text as one job line; the exit code is 0 whatever the items' results.
int runBatch(const char* argumentText);

// The batch item sink: its context is the open ResultLog, or null. Owns the item. The batch
// run's list-file errors go to the same log.
void batchItemSink(ComponentItem* item, void* sinkContext);
