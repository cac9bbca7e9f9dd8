#include "core/jobs/job.h"

#include <shlwapi.h>

#include "core/jobs/text_copy.h"

JobSpec* newJobSpec()
{
    return (JobSpec*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(JobSpec));
}

void freeJobSpec(JobSpec* job)
{
    if (job == nullptr) return;
    HANDLE heap = GetProcessHeap();
    PathNode* node = job->pathList.first;
    while (node != nullptr) {
        PathNode* next = node->next;
        HeapFree(heap, 0, node->text);
        HeapFree(heap, 0, node);
        node = next;
    }
    HeapFree(heap, 0, job);
}

bool appendPath(JobSpec* job, const char* text)
{
    if (text[0] == '\0') return true;
    HANDLE heap = GetProcessHeap();
    PathNode* node = (PathNode*)HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(PathNode));
    char* copy = (char*)HeapAlloc(heap, 0, PATH_NODE_CAPACITY);
    if (node == nullptr || copy == nullptr) {
        if (node != nullptr) HeapFree(heap, 0, node);
        if (copy != nullptr) HeapFree(heap, 0, copy);
        return false;
    }
    copyText(copy, PATH_TEXT_CAPACITY, text);
    // The buffer has room for the one backslash this may add to 259 characters.
    if (PathIsDirectoryA(copy)) PathAddBackslashA(copy);
    node->text = copy;
    if (job->pathList.last != nullptr) job->pathList.last->next = node;
    else job->pathList.first = node;
    job->pathList.last = node;
    return true;
}
