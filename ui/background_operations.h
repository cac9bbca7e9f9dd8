// The window's four workers: the add (and the installer view's list load), the drop, the
// run (which may capture) and the check of the selected rows. The starters run on the user-interface thread, and only while the window is Idle (its
// handlers make sure); each sends MSG_SET_BUSY with its state to the owner before its thread
// exists. A worker runs on a thread of its own, owns and frees its request, reaches the list
// only through synchronous messages, and posts MSG_SET_BUSY with Idle to the owner as its
// very last act.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "core/jobs/job.h"

struct ItemListView;

// Runs the job (its list file, or its paths expanded) into new rows; owns the job from the
// call on.
void startAddJob(HWND owner, const ItemListView* list, JobSpec* job);
// Makes rows of dropped names: with Ctrl held each name is read as a list file, with Alt held
// folders are listed with their subfolders. The drop handle is released whatever happens.
void startDrop(HWND owner, const ItemListView* list, HDROP drop);
// Performs every row in list order.
void startRun(HWND owner, const ItemListView* list);
// The same with each row's registry writes captured into the file at path, not registered;
// a file that cannot be written is reported in a box, and nothing is performed.
void startCaptureRun(HWND owner, const ItemListView* list, const char* path);
// Checks the rows selected now, each as /q would, and shows each answer in its status and
// detail; the rows' own switches stay as they are.
void startCheckRun(HWND owner, const ItemListView* list);
