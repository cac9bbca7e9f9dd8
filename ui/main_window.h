// The interactive window: its record, message loop, command dispatch and busy protocol.
// Everything here runs on the user-interface thread; workers reach the window only by
// messages (MSG_SET_BUSY, and synchronous messages to the list control).
#pragma once

#include <windows.h>

struct ItemListView;
struct MainToolbar;
struct StatusBar;

// What the window's one worker is doing; no worker runs while Idle.
enum BusyState { Idle = 0, BuildingList = 1, Running = 2 };

// Private message: the word parameter carries the new BusyState.
const UINT MSG_SET_BUSY = WM_APP + 0x100;

struct MainWindow {
    // Written only by the MSG_SET_BUSY handler; while not Idle every command is dropped.
    LONG busyState;
    HMENU contextMenu;
    BYTE installerMode;
    BYTE uninstallListPresent;
    ItemListView* itemList;
    MainToolbar* toolbar;
    StatusBar* statusBar;
    // The user closed the window while a worker ran: it is hidden, and destroyed at Idle.
    BYTE closePending;

    // Creates the window and runs the message loop until it is destroyed; the exit code.
    int run();
    // The steps of run: registers the class and creates and shows the window (null on
    // failure); runs the loop until the quit message; removes the class again.
    HWND openWindow();
    int runMessageLoop();
    void releaseWindowClass();
    void onIdle();
};

// The one main window of the process, through which the window procedure reaches it.
extern MainWindow* currentMainWindow;
