// The one way the tests and their tools wait: a condition is checked again and again until it
// holds, never a guessed length of time. Any thread.
#pragma once

#include <windows.h>

#include <functional>

// How long a wait goes on unless told otherwise: far longer than anything takes, even under load.
const DWORD WAIT_LIMIT_MS = 15000;

// Checks condition until it holds or limitMs have passed; true when it held. Between two checks
// pause(sliceMs) waits at most that long for whatever may change the condition, and returns
// false to give up; without a pause the time simply passes.
bool waitUntil(const std::function<bool()>& condition, DWORD limitMs = WAIT_LIMIT_MS,
               const std::function<bool(DWORD sliceMs)>& pause = nullptr);
