// The real main window with its workers and dialogs: drops with chosen keys, commands whose
// dialogs a second thread works, and the message boxes that workers show, answered while
// this thread serves the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ui/window_harness.h"

class WindowWork : public MainWindowTest {
protected:
    ComponentItem* item(int row) const;
    std::vector<std::string> rowPaths() const;
    // Serves the window until condition holds, answering every "Plinthora" box that the
    // window owns with OK; their texts go to boxTexts.
    bool serveUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
    bool serveUntilIdle(DWORD timeoutMs = 20000);
    // Drops names on the window with Ctrl and Alt held or not, and serves it until the drop
    // is done.
    void drop(const std::vector<std::string>& names, bool ctrl, bool alt);
    // Sends command to the window while script works the dialog it opens (caption null: any
    // dialog the window owns), then serves the window until Idle.
    void commandWithDialog(int command, const char* caption, const std::function<void(HWND)>& script);
    // Closes the window as the user does and serves it until its loop has ended.
    void closeAsTheUserDoes();
    // A new main window after the previous one has ended.
    void reopen();

    std::vector<std::string> boxTexts;
};

// Bytes of the process heap in use.
size_t heapBytesInUse();
int threadsOfThisProcess();
