#include "core/production/path_expander.h"

#include <string.h>

#include "core/jobs/path_resolver.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"
#include "core/production/job_stop.h"

namespace {

// An item text may gain a backslash beyond its 259 characters before it is resolved again.
const size_t ITEM_TEXT_CAPACITY = PATH_NODE_CAPACITY;

void produceItem(const JobSpec* job, const char* path, const JobOutput* output, BYTE listing = NOT_LISTED)
{
    ComponentItem* item = newComponentItem();
    if (item == nullptr) return;
    copyText(item->path, sizeof item->path, path);
    item->switches = job->switches;
    item->silent = job->silent;
    item->listing = listing;
    output->item(item, output->context);
}

// Cuts the last component and the separator before it, keeping a root: "表\*.dll" and "表\"
// give "表", "C:\*" gives "C:\", "*.dll" gives "". This is what PathRemoveFileSpecA does, but
// some versions of it cut a double-byte character whose trail byte is the backslash (表, ソ).
void removeLastComponent(char* path)
{
    char* last = endsWithBackslash(path) ? path + lstrlenA(path) : shellPaths().PathFindFileNameA(path);
    *last = '\0';
    shellPaths().PathRemoveBackslashA(path);
}

// The stored text less its last component: the folder part that listed entries are joined to.
// A text with no folder part keeps what ends its first macro, or stays whole.
void storedFolderOf(const char* stored, char* folder)
{
    copyText(folder, ITEM_TEXT_CAPACITY, stored);
    removeLastComponent(folder);
    if (folder[0] != '\0') return;
    copyText(folder, ITEM_TEXT_CAPACITY, stored);
    char* macroEnd = shellPaths().StrChrA(folder, '>');
    if (macroEnd != nullptr) macroEnd[1] = '\0';
}

bool isDotEntry(const char* name)
{
    return lstrcmpA(name, ".") == 0 || lstrcmpA(name, "..") == 0;
}

void expandText(const JobSpec* job, const char* text, const JobOutput* output, bool walkedInto);

// walkedInto: a folder the walk listed, which need not be asked whether it is one.
void listPath(const JobSpec* job, const char* stored, char* pattern, const JobOutput* output, bool walkedInto)
{
    if ((walkedInto || isDirectory(pattern)) && !shellPaths().PathAppendA(pattern, "*")) return;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE) return;

    char folder[ITEM_TEXT_CAPACITY];
    storedFolderOf(stored, folder);
    char listedFolder[MAX_PATH];
    copyText(listedFolder, sizeof listedFolder, pattern);
    removeLastComponent(listedFolder);
    int longestFolder = lstrlenA(folder) > lstrlenA(listedFolder) ? lstrlenA(folder) : lstrlenA(listedFolder);
    do {
        bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDirectory && (!job->recurse || isDotEntry(entry.cFileName))) continue;
        // An entry whose path, stored or resolved, would not fit is left out: cut, it would
        // name some other file, and the loader could not reach it anyway.
        if (longestFolder + 1 + lstrlenA(entry.cFileName) >= (int)MAX_PATH) continue;
        char itemText[ITEM_TEXT_CAPACITY];
        copyText(itemText, MAX_PATH, folder);
        if (!shellPaths().PathAppendA(itemText, entry.cFileName)) continue;
        if (isDirectory) {
            shellPaths().PathAddBackslashA(itemText);
            expandText(job, itemText, output, true);
        } else {
            bool empty = entry.nFileSizeLow == 0 && entry.nFileSizeHigh == 0;
            produceItem(job, itemText, output, empty ? LISTED_EMPTY : LISTED_WITH_CONTENT);
        }
    } while (!jobStopRequested() && FindNextFileA(listing, &entry));
    FindClose(listing);
}

void expandText(const JobSpec* job, const char* text, const JobOutput* output, bool walkedInto)
{
    char resolved[MAX_PATH + 2];
    if (!resolve(text, resolved)) {
        produceItem(job, text, output);
        return;
    }
    if (shellPaths().PathIsFileSpecA(resolved)) {
        produceItem(job, text, output);
        return;
    }
    if (endsWithBackslash(resolved) || shellPaths().StrPBrkA(resolved, "*?") != nullptr) {
        listPath(job, text, resolved, output, walkedInto && endsWithBackslash(resolved));
        return;
    }
    produceItem(job, text, output);
}

}  // namespace

bool endsWithBackslash(const char* text)
{
    size_t length = strlen(text);
    if (length == 0 || text[length - 1] != '\\') return false;
    size_t leadBytes = 0;
    for (size_t i = length - 1; i > 0 && IsDBCSLeadByte((BYTE)text[i - 1]); --i) ++leadBytes;
    return leadBytes % 2 == 0;
}

void expandPath(const JobSpec* job, const char* text, const JobOutput* output)
{
    expandText(job, text, output, false);
}

void expandJob(const JobSpec* job, const JobOutput* output)
{
    for (const PathNode* node = job->pathList.first; node != nullptr && !jobStopRequested(); node = node->next)
        expandPath(job, node->text, output);
}
