#include "core/registration/result_log.h"

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

void ResultLog::writeItemLine(const ComponentItem* item, bool withDetail)
{
    char path[MAX_PATH];
    char options[OPTION_TEXT_CAPACITY];
    resolvedPath(item, path, sizeof path);
    optionText(item, options, sizeof options);
    writeText(path);
    writeText("\t");
    writeText(options);
    writeText("\t");
    writeText(item->status);
    if (withDetail) {
        writeText("\t");
        writeText(item->detail);
    }
    writeText("\r\n");
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
