#include "core/jobs/job_line_parser.h"

#include <string.h>

#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c;
}

// A switch whose letter stands at p; returns the cursor on the last character consumed.
const char* readSwitch(JobSpec* job, const char* p)
{
    char* valueField = nullptr;
    size_t valueCapacity = 0;
    switch (lowerAscii(*p)) {
    case 'd': job->recurse = 1; return p;
    case 'n': job->switches.noRegisterServer = 1; return p;
    case 's': job->silent = 1; return p;
    case 'u': job->switches.unregister = 1; return p;
    case 'c': job->switches.perUser = 1; return p;
    case 'q': job->switches.check = 1; return p;
    case 'v': job->logDetails = 1; return p;
    case 'e': job->countFailures = 1; return p;
    case 'f':
        job->fromListFile = 1;
        valueField = job->listFilePath;
        valueCapacity = sizeof job->listFilePath;
        break;
    case 'i':
        job->switches.callInstall = 1;
        valueField = job->switches.installCmdLine;
        valueCapacity = sizeof job->switches.installCmdLine;
        break;
    case 'l':
        job->writeLog = 1;
        valueField = job->logPath;
        valueCapacity = sizeof job->logPath;
        break;
    case 'x':
        job->capture = 1;
        valueField = job->capturePath;
        valueCapacity = sizeof job->capturePath;
        break;
    default:
        return nextChar(p) - 1;
    }
    if (p[1] != ':') return p;
    return readToken(p + 2, valueField, valueCapacity);
}

// A path word at p; returns the cursor on the last character consumed.
const char* readPathWord(JobSpec* job, const char* p, bool* memoryOk)
{
    char word[PATH_TEXT_CAPACITY];
    const char* cursor = readToken(p, word, sizeof word);
    shellPaths().PathUnquoteSpacesA(word);
    if (!appendPath(job, word)) *memoryOk = false;
    return cursor;
}

}  // namespace

const char* readToken(const char* cursor, char* out, size_t capacity)
{
    const char* start = cursor;
    if (*start == '\0') {
        out[0] = '\0';
        return cursor;
    }
    bool quoted = *start == '"';
    char terminator = quoted ? '"' : ' ';
    const char* p = nextChar(start);
    const char* tokenEnd;
    for (;;) {
        if (*p == '\0') {
            tokenEnd = p;
            break;
        }
        if (*p == terminator) {
            tokenEnd = p + 1;
            break;
        }
        if (quoted && *p == '\\') {
            // The escaped character is taken whole, so a trail byte 0x5C cannot escape again.
            ++p;
            if (*p != '\0') p = nextChar(p);
            continue;
        }
        p = nextChar(p);
    }
    copyTextPart(out, capacity, start, (size_t)(tokenEnd - start));
    shellPaths().PathRemoveBlanksA(out);
    return p;
}

bool parseJobLine(JobSpec* job, const char* text, const char* end)
{
    size_t length;
    if (end != nullptr) {
        const char* nul = (const char*)memchr(text, '\0', (size_t)(end - text));
        length = (size_t)((nul != nullptr ? nul : end) - text);
    } else {
        length = strlen(text);
    }
    char* line = (char*)HeapAlloc(GetProcessHeap(), 0, length + 1);
    if (line == nullptr) return false;
    CopyMemory(line, text, length);
    line[length] = '\0';
    if (length > 0 && line[length - 1] == '\r') line[length - 1] = '\0';

    bool memoryOk = true;
    const char* p = line;
    while (*p != '\0') {
        if (isSeparator(*p)) {
            ++p;
            continue;
        }
        if (*p == '/' || *p == '-') {
            if (p[1] == '\0') break;
            p = readSwitch(job, p + 1);
        } else {
            p = readPathWord(job, p, &memoryOk);
        }
        if (*p != '\0') ++p;
    }
    HeapFree(GetProcessHeap(), 0, line);
    return memoryOk;
}
