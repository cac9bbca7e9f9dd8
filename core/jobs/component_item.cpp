#include "core/jobs/component_item.h"

#include "core/jobs/heap.h"
#include "core/jobs/path_resolver.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

const char STATUS_PENDING[] = "-";

ComponentItem* newComponentItem()
{
    ComponentItem* item = newZeroed<ComponentItem>();
    if (item != nullptr) item->status = STATUS_PENDING;
    return item;
}

void freeComponentItem(ComponentItem* item)
{
    freeBlock(item);
}

void resolvedPath(const ComponentItem* item, char* out, size_t capacity)
{
    char path[MAX_PATH];
    resolve(item->path, path);
    copyText(out, capacity, path);
}

void optionText(const ComponentItem* item, char* out, size_t capacity)
{
    char text[OPTION_TEXT_CAPACITY];
    text[0] = '\0';
    if (item->switches.perUser) lstrcatA(text, "/c ");
    if (item->switches.check) lstrcatA(text, "/q ");
    if (item->switches.unregister) lstrcatA(text, "/u ");
    if (item->switches.noRegisterServer) lstrcatA(text, "/n ");
    if (item->switches.callInstall) {
        lstrcatA(text, "/i");
        if (item->switches.installCmdLine[0] != '\0') {
            lstrcatA(text, ":");
            lstrcatA(text, item->switches.installCmdLine);
        }
    }
    copyText(out, capacity, text);
}

int displayState(const ComponentItem* item)
{
    char path[MAX_PATH];
    // A text too long to resolve names no file at all.
    if (!resolve(item->path, path)) return DISPLAY_MISSING;
    if (shellPaths().PathIsFileSpecA(path)) return DISPLAY_BARE_NAME;
    return shellPaths().PathFileExistsA(path) ? DISPLAY_EXISTS : DISPLAY_MISSING;
}
