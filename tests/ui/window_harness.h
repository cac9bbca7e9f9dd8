// Drives the real main window on the test's own thread: opens it through the same steps as
// the program, pumps its messages (with the idle step) until a condition holds, and reads
// the controls back through their messages. The test thread is the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

#include "core/jobs/component_item.h"
#include "ui/main_window.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void openMainWindow();
    // Processes messages, running the idle step whenever the queue drains, until condition
    // holds or timeoutMs pass; false on timeout. Stops at the quit message.
    bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);
    // Processes what is queued now and runs one idle step.
    void pumpIdle();
    // Closes the window as the user does and runs the program's own loop to its end.
    int closeAndRunToEnd();

    HWND list() const;
    HWND toolbar() const;
    HWND statusBar() const;
    HWND modeCombo() const;
    LONG busyState() const;
    int rowCount() const;
    std::string cell(int row, int column) const;
    int rowImage(int row) const;
    std::string statusText(int part) const;
    void setBusy(LONG state);
    void selectRows(const std::vector<int>& rows);

    // Appends items from a second thread while this one serves the list, as workers do.
    std::vector<ComponentItem*> appendFromWorker(const std::vector<std::string>& paths);

    MainWindow* record = nullptr;
    HWND window = nullptr;
    bool quitSeen = false;
    int quitCode = -1;
};

ComponentItem* newItem(const std::string& path);
// True while block is an allocated block of the process heap.
bool isLiveHeapBlock(const void* block);
// A drop handle as the shell builds it, with ANSI names.
HDROP makeDrop(const std::vector<std::string>& names);
// True once the drop handle has been released.
bool dropReleased(HDROP drop);

// Watches, from a thread of its own, for a dialog of this process; cancels the first one
// that opens and remembers its caption.
// A watcher's own thread and the event that tells it to give up. Declared as the watcher's
// last member, so that the thread starts after, and is joined before, everything it reads.
class WatchThread {
public:
    WatchThread(LPTHREAD_START_ROUTINE routine, void* watcher);
    ~WatchThread();
    // Tells the thread to give up and waits for it; once.
    void finish();
    HANDLE stopEvent() const { return stop_; }

private:
    HANDLE stop_;
    HANDLE thread_;
};

class DialogCanceller {
public:
    DialogCanceller() : watch_(watch, this) {}
    // Waits for the watcher to finish; the caption of the dialog seen, "" when none opened.
    std::string finish();

private:
    static DWORD WINAPI watch(void* self);
    std::string caption_;
    WatchThread watch_;
};

// What a popup menu of this process showed while it was open.
struct SeenMenu {
    std::vector<UINT> ids;     // 0 for a separator
    std::vector<bool> grayed;
    std::string statusWhileHighlighted;  // part 0 of the status bar after the first entry was highlighted
};

// Watches, from a thread of its own, for a popup menu of this process. When one opens it
// records it, highlights the first entry, then sends the key (an entry's mnemonic, or
// VK_ESCAPE to close the menu).
class MenuWatcher {
public:
    MenuWatcher(HWND statusBar, WPARAM key, bool keyIsChar);
    // Waits for the watcher to finish; true when a menu was seen.
    bool finish();
    SeenMenu seen;

private:
    static DWORD WINAPI watch(void* self);
    HWND statusBar_;
    WPARAM key_;
    bool keyIsChar_;
    bool found_ = false;
    WatchThread watch_;
};
