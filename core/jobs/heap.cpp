#include "core/jobs/heap.h"

#include <windows.h>

void* allocateZeroed(size_t size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void freeBlock(void* block)
{
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
