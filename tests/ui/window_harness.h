// Drives the real main window on the test's own thread: opens it through the same steps as
// the program, serves it as its loop does until a condition holds, works its commands, drops
// and dialogs, and reads the controls back through their messages. The test thread is the
// user-interface thread. Every "Plinthora" box the window owns is answered with OK while the
// window is served, and its text kept in boxTexts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

#include "core/jobs/component_item.h"
#include "tests/ui/window_serving.h"
#include "ui/main_window.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void openMainWindow();
    // Serves the window until condition holds, and no box is open, or timeoutMs pass; false
    // on timeout and once the loop has ended.
    bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
    bool pumpUntilIdle(DWORD timeoutMs = 20000);
    // Processes what is queued now and runs one idle step.
    void pumpIdle();
    // Closes the window as the user does and serves it until its loop has ended; the loop's
    // exit code, -1 when it did not end.
    int closeAsTheUserDoes();
    // A new main window after the previous one has ended.
    void reopen();

    HWND list() const;
    HWND toolbar() const;
    HWND statusBar() const;
    HWND modeCombo() const;
    LONG busyState() const;
    int rowCount() const;
    ComponentItem* item(int row) const;
    std::vector<std::string> rowPaths() const;
    std::string cell(int row, int column) const;
    int rowImage(int row) const;
    std::string statusText(int part) const;
    void setBusy(LONG state);
    void selectRows(const std::vector<int>& rows);

    // Appends items from a second thread while this one serves the list, as workers do.
    std::vector<ComponentItem*> appendFromWorker(const std::vector<std::string>& paths);
    // Drops names on the window with Ctrl and Alt held or not, and serves it until the drop
    // is done.
    void drop(const std::vector<std::string>& names, bool ctrl, bool alt);
    // Sends command to the window while script works the dialog it opens (caption null: any
    // dialog the window owns), then serves the window until Idle.
    void commandWithDialog(int command, const char* caption, const std::function<void(HWND)>& script);

    MainWindow* record = nullptr;
    HWND window = nullptr;
    LoopEnd loopEnd;
    std::vector<std::string> boxTexts;
};

ComponentItem* newItem(const std::string& path);
// True while block is an allocated block of the process heap.
bool isLiveHeapBlock(const void* block);
// Bytes of the process heap in use.
size_t heapBytesInUse();
int threadsOfThisProcess();
// A drop handle as the shell builds it, with ANSI names.
HDROP makeDrop(const std::vector<std::string>& names);
// True once the drop handle has been released.
bool dropReleased(HDROP drop);

// A watcher's own thread and the event that tells it to give up. Declared as the watcher's
// last member, so that the thread starts after, and is joined before, everything it reads.
class WatchThread {
public:
    WatchThread(LPTHREAD_START_ROUTINE routine, void* watcher);
    ~WatchThread();
    // Tells the thread to give up and waits for it; once.
    void finish();
    // Waits until condition holds; false when it did not within the limit or the thread was
    // told to give up.
    bool waitFor(const std::function<bool()>& condition);

private:
    HANDLE stop_;
    HANDLE thread_;
};

// Watches, from a thread of its own, for a dialog of this process; cancels the first one
// that opens and remembers its caption.
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
