#include "core/jobs/job.h"

#include "core/jobs/heap.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

JobSpec* newJobSpec()
{
    return newZeroed<JobSpec>();
}

void freeJobSpec(JobSpec* job)
{
    if (job == nullptr) return;
    PathNode* node = job->pathList.first;
    while (node != nullptr) {
        PathNode* next = node->next;
        freeBlock(node->text);
        freeBlock(node);
        node = next;
    }
    freeBlock(job);
}

bool appendPath(JobSpec* job, const char* text)
{
    if (text[0] == '\0') return true;
    PathNode* node = newZeroed<PathNode>();
    char* copy = (char*)allocateZeroed(PATH_NODE_CAPACITY);
    if (node == nullptr || copy == nullptr) {
        freeBlock(node);
        freeBlock(copy);
        return false;
    }
    copyText(copy, PATH_TEXT_CAPACITY, text);
    // The buffer has room for the one backslash this may add to 259 characters.
    if (isDirectory(copy)) shellPaths().PathAddBackslashA(copy);
    node->text = copy;
    if (job->pathList.last != nullptr) job->pathList.last->next = node;
    else job->pathList.first = node;
    job->pathList.last = node;
    return true;
}
