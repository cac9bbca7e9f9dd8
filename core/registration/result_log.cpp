#include "core/registration/result_log.h"

#include <string.h>

// "[エラー]": the first field of an error line.
static const char ERROR_MARK[] = "[エラー]";

bool ResultLog::create(const char* path)
{
    file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    return file != INVALID_HANDLE_VALUE;
}

void ResultLog::writeText(const char* text)
{
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, nullptr);
}

// One write for the whole line: in a run of items that fail at once, writing each field on
// its own cost more than the rest of the item's work.
void ResultLog::writeItemLine(const ComponentItem* item, bool withDetail)
{
    char path[MAX_PATH];
    char options[OPTION_TEXT_CAPACITY];
    resolvedPath(item, path, sizeof path);
    optionText(item, options, sizeof options);
    const char* fields[] = {path, "\t", options, "\t", item->status, "\t", item->detail};
    int fieldCount = withDetail ? 7 : 5;
    // Every field at its longest, the longest status included, and the line end.
    char line[MAX_PATH + OPTION_TEXT_CAPACITY + 64 + DETAIL_TEXT_CAPACITY + 8];
    int length = 0;
    for (int index = 0; index < fieldCount; index++) {
        int fieldLength = lstrlenA(fields[index]);
        memcpy(line + length, fields[index], (size_t)fieldLength);
        length += fieldLength;
    }
    memcpy(line + length, "\r\n", 3);
    writeText(line);
}

void ResultLog::writeErrorLine(const char* message)
{
    writeText(ERROR_MARK);
    writeText("\t");
    writeText(message);
    writeText("\t");
    writeText("\r\n");
}

void ResultLog::close()
{
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}
