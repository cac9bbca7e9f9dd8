// Lets a test component leave a trace of every call made into it: one line appended to the
// file named by PLINTHORA_CALL_LOG (nothing when the variable is unset or empty). Several
// processes may append to the same file at once; each line goes out in a single write.
//
//   <dll name>|DllRegisterServer|ole=<0|1>
//   <dll name>|DllUnregisterServer|ole=<0|1>
//   <dll name>|DllInstall|ole=<0|1>|<install 0|1>|<command line or (null)>
//
// The whole line is UTF-8. ole=1 means a single-threaded apartment was active on the calling
// thread. Callable from any thread.
#pragma once

#include <windows.h>

void recordServerCall(const char* exportName);
void recordInstallCall(BOOL install, LPCWSTR commandLine);
