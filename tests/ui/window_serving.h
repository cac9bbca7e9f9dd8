// Serving the real main window from the thread that owns it while something else happens, as
// the program's own loop does: every queued message, then the idle step. Shared by the window
// tests and the screenshot driver.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/main_window.h"

// The quit message that ends the window's loop: seen or not, and its code.
struct LoopEnd {
    bool seen = false;
    int code = -1;
};

// Serves the window until condition, checked after each round of messages, holds or limitMs
// pass; true when it held. A quit message is not dispatched: it ends the serving, now and in
// later calls given the same end.
bool serveWindowUntil(MainWindow* record, const std::function<bool()>& condition, DWORD limitMs, LoopEnd* end = nullptr);

// Takes a picture on a thread of its own, so that the window keeps painting meanwhile.
void takeShotWhileServing(MainWindow* record, const char* stage, void (*takeShot)(const char* stage));

// A visible top-level window of this process with the given class, or null.
HWND visibleWindowOfClass(const char* className);
