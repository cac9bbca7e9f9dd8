#include "core/jobs/text_copy.h"

#include <windows.h>

const char* nextChar(const char* p)
{
    if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0') return p + 2;
    return p + 1;
}

void copyTextPart(char* destination, size_t capacity, const char* source, size_t length)
{
    if (capacity == 0) return;
    size_t count = 0;
    while (count < length && source[count] != '\0') count++;
    if (count > capacity - 1) {
        // Keep double-byte characters whole: find where the last kept character starts.
        size_t kept = 0;
        while (kept < capacity - 1) {
            size_t width = IsDBCSLeadByte((BYTE)source[kept]) ? 2 : 1;
            if (kept + width > capacity - 1) break;
            kept += width;
        }
        count = kept;
    }
    CopyMemory(destination, source, count);
    destination[count] = '\0';
}

void copyText(char* destination, size_t capacity, const char* source)
{
    copyTextPart(destination, capacity, source, (size_t)-1);
}
