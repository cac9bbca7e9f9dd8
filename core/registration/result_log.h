// A result log file: TAB-separated item lines and error lines, each ending in CR LF.
// Used by one thread at a time; the file is held without sharing while open.
#pragma once

#include <windows.h>
#include "core/jobs/component_item.h"

struct ResultLog {
    HANDLE file;

    ResultLog() : file(INVALID_HANDLE_VALUE) {}

    // Creates or truncates the file; true when it is open.
    bool create(const char* path);
    void writeText(const char* text);
    // With withDetail, the item's detail follows its status as a fourth field.
    void writeItemLine(const ComponentItem* item, bool withDetail = false);
    void writeErrorLine(const char* message);
    void close();
};
