// A component that does nothing but answer with fixed results and record each call. The
// build makes several of them from this one file:
//   SERVER_RESULT   defined: DllRegisterServer and DllUnregisterServer exist and return it;
//   INSTALL_RESULT  defined: DllInstall exists and returns it.
#include <windows.h>

#include "tests/components/call_record.h"

#ifdef SERVER_RESULT
extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");
    return SERVER_RESULT;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    recordServerCall("DllUnregisterServer");
    return SERVER_RESULT;
}
#endif

#ifdef INSTALL_RESULT
extern "C" __declspec(dllexport) HRESULT __stdcall DllInstall(BOOL install, LPCWSTR commandLine)
{
    recordInstallCall(install, commandLine);
    return INSTALL_RESULT;
}
#endif
