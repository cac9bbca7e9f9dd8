// The record of one component to register or unregister, and the operations that the
// list view, the registration engine and the result log share.
// An item belongs to one thread at a time, except status: the run worker stores it while
// the user-interface thread may read it to draw the row (one pointer to a constant text).
#pragma once

#include <windows.h>
#include "core/jobs/text_limits.h"

// The platform headers use this name for a numeric status code that this program never needs.
#undef STATUS_PENDING

extern const char STATUS_PENDING[];

// What performing an item does: /u, /n, /i, the /i value, /c and /q. Jobs, items, the item
// dialog's buffer and the Add command carry them as this one record and copy it whole.
struct ItemSwitches {
    BYTE unregister;
    BYTE noRegisterServer;
    BYTE callInstall;
    // /c: the item's classes are the current user's own, not the machine's.
    BYTE perUser;
    // /q: nothing is registered; the item's registration is compared with the registry.
    BYTE check;
    char installCmdLine[COMMAND_LINE_CAPACITY];
};

// What the folder listing that produced an item showed of its file. It holds for the run that
// follows the listing at once, not for an item kept to be run later, which keeps NOT_LISTED.
enum ListingFact : BYTE { NOT_LISTED = 0, LISTED_EMPTY = 1, LISTED_WITH_CONTENT = 2 };

struct ComponentItem {
    char path[PATH_TEXT_CAPACITY];
    ItemSwitches switches;
    BYTE silent;
    BYTE listing;  // a ListingFact
    const char* status;
    // Why the item failed, empty otherwise. Written by the run worker before the status; a
    // reader on another thread may see it half-written, never unterminated: its last byte
    // stays zero.
    char detail[DETAIL_TEXT_CAPACITY];
};

// Picture index of an item's row: a bare name, an existing file, a missing file.
enum DisplayState { DISPLAY_BARE_NAME = 0, DISPLAY_EXISTS = 1, DISPLAY_MISSING = 2 };

// A new item on the process heap, every field at its initial value; null without memory.
ComponentItem* newComponentItem();
void freeComponentItem(ComponentItem* item);

void resolvedPath(const ComponentItem* item, char* out, size_t capacity);
void optionText(const ComponentItem* item, char* out, size_t capacity);
int displayState(const ComponentItem* item);
