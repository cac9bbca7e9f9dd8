// Performs one item: loads its module, calls the exports its switches select, sets status.
// Runs wholly on the calling thread, with an OLE session of its own for each item.
#pragma once

#include "core/jobs/component_item.h"

void perform(ComponentItem* item);
