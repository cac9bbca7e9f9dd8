#include "help/help_launcher.h"

#include <htmlhelp.h>

#include "core/jobs/path_resolver.h"
#include "core/jobs/shell_paths.h"
#include "core/jobs/text_copy.h"

namespace {

typedef HWND (WINAPI* HtmlHelpEntry)(HWND owner, LPCSTR file, UINT command, DWORD_PTR data);

const char CONTROL_LOCATION_KEY[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const char CONTROL_FILE_NAME[] = "hhctrl.ocx";
const WORD HTML_HELP_A_ORDINAL = 14;
const char HELP_TARGET[] = "plinthora.chm::/index.html";

// Set up empty at start; the program never resets it.
struct LauncherState {
    HMODULE controlModule;
    HtmlHelpEntry entryPoint;
    bool failed;
};
LauncherState launcher = {nullptr, nullptr, false};

// Where the control is looked for. Only resetHelpLauncherForTests changes these.
HKEY locationRoot = HKEY_CLASSES_ROOT;
char locationKey[MAX_PATH] = "";
char fallbackModule[MAX_PATH] = "";

const char* currentLocationKey()
{
    return locationKey[0] != '\0' ? locationKey : CONTROL_LOCATION_KEY;
}

// The system's own copy of the control, named by its full path. A bare name would be searched
// for in the executable's folder and the current directory as well, and a file of that name
// lying there (say, in a downloads folder) would be loaded and run in its place.
bool fallbackPath(char* out)
{
    if (fallbackModule[0] != '\0') {
        copyText(out, MAX_PATH, fallbackModule);
        return true;
    }
    UINT length = GetSystemDirectoryA(out, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return shellPaths().PathAppendA(out, CONTROL_FILE_NAME) != FALSE;
}

// A registry text need not carry its terminator. One that fills the whole buffer without it
// cannot be used as a path (it would be read past the buffer), and an empty one names nothing.
bool terminateValue(char* buffer, DWORD size)
{
    if (size < HELP_CONTROL_PATH_CAPACITY) {
        buffer[size] = '\0';
    } else if (buffer[HELP_CONTROL_PATH_CAPACITY - 1] != '\0') {
        buffer[0] = '\0';
        return false;
    }
    return buffer[0] != '\0';
}

HMODULE loadControl()
{
    char location[HELP_CONTROL_PATH_CAPACITY];
    HMODULE module = nullptr;
    if (findHelpControl(location)) module = LoadLibraryA(location);
    if (module == nullptr) {
        char fallback[MAX_PATH];
        if (fallbackPath(fallback)) module = LoadLibraryA(fallback);
    }
    return module;
}

}  // namespace

void showHelp()
{
    char target[MAX_PATH];
    if (!besideProgram(HELP_TARGET, target, sizeof target)) return;
    callHtmlHelp(GetDesktopWindow(), target, HH_DISPLAY_TOC, 0);
}

HWND callHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data)
{
    if (launcher.controlModule == nullptr && !launcher.failed) {
        launcher.controlModule = loadControl();
        if (launcher.controlModule == nullptr) {
            launcher.failed = true;
            return nullptr;
        }
    }
    if (launcher.controlModule == nullptr) return nullptr;

    if (launcher.entryPoint == nullptr) {
        launcher.entryPoint = (HtmlHelpEntry)(void*)GetProcAddress(launcher.controlModule,
                                                                   MAKEINTRESOURCEA(HTML_HELP_A_ORDINAL));
        if (launcher.entryPoint == nullptr) {
            launcher.failed = true;
            return nullptr;
        }
    }
    return launcher.entryPoint(owner, file, command, data);
}

bool findHelpControl(char* buffer)
{
    buffer[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(locationRoot, currentLocationKey(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = HELP_CONTROL_PATH_CAPACITY;
    LONG result = RegQueryValueExA(key, "", nullptr, nullptr, (BYTE*)buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return false;
    }
    return terminateValue(buffer, size);
}

void resetHelpLauncherForTests(HKEY root, const char* key, const char* fallback)
{
    if (launcher.controlModule != nullptr) FreeLibrary(launcher.controlModule);
    launcher.controlModule = nullptr;
    launcher.entryPoint = nullptr;
    launcher.failed = false;
    locationRoot = root != nullptr && key != nullptr ? root : HKEY_CLASSES_ROOT;
    copyText(locationKey, sizeof locationKey, root != nullptr && key != nullptr ? key : "");
    copyText(fallbackModule, sizeof fallbackModule, fallback != nullptr ? fallback : "");
}
