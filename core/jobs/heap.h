// The program's records live on the process heap: one way to make them and one to free them.
// Any thread.
#pragma once

#include <stddef.h>

// A block of size bytes, every byte zero; null without memory.
void* allocateZeroed(size_t size);
// Gives a block back to the process heap; null is allowed and does nothing.
void freeBlock(void* block);

// A record of type T with every field zero; null without memory.
template <typename T>
T* newZeroed()
{
    return (T*)allocateZeroed(sizeof(T));
}
