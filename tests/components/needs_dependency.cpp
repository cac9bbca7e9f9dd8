// A component that imports a helper DLL lying beside it, as controls shipped with their
// helpers do: it loads only when its own folder is searched for what it imports.
#include <windows.h>

#include "tests/components/call_record.h"

extern "C" __declspec(dllimport) int dependencyAnswer();
#ifdef ALSO_NEEDS_LONG_NAMED_DEPENDENCY
extern "C" __declspec(dllimport) int longNamedDependencyAnswer();
#else
int longNamedDependencyAnswer()
{
    return 42;
}
#endif

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");
    return dependencyAnswer() == 42 && longNamedDependencyAnswer() == 42 ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    recordServerCall("DllUnregisterServer");
    return S_OK;
}
