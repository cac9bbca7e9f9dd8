// A component that misbehaves at one point of its life, as broken controls do:
//   MISBEHAVE_AT   1: DllMain when loaded, 2: DllRegisterServer and DllUnregisterServer,
//                  3: DllInstall
//   MISBEHAVIOUR   1: an access violation, 2: ExitProcess, 3: never returns, 4: fails (DllMain
//                  returns FALSE)
// Its other entries succeed and record their calls.
#include <windows.h>

#include "tests/components/call_record.h"

namespace {

void misbehave()
{
#if MISBEHAVIOUR == 1
    *(volatile int*)nullptr = 0;
#elif MISBEHAVIOUR == 2
    ExitProcess(3);
#elif MISBEHAVIOUR == 3
    Sleep(INFINITE);
#endif
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
#if MISBEHAVE_AT == 1
    if (reason == DLL_PROCESS_ATTACH) misbehave();
    if (reason == DLL_PROCESS_ATTACH && MISBEHAVIOUR == 4) return FALSE;
#else
    (void)reason;
#endif
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");
    if (MISBEHAVE_AT == 2) misbehave();
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    recordServerCall("DllUnregisterServer");
    if (MISBEHAVE_AT == 2) misbehave();
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllInstall(BOOL install, LPCWSTR commandLine)
{
    recordInstallCall(install, commandLine);
    if (MISBEHAVE_AT == 3) misbehave();
    return S_OK;
}
