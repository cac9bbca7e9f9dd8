// The helper DLL that comp_needs_dependency imports; it lies beside that component only.
#include <windows.h>

extern "C" __declspec(dllexport) int dependencyAnswer()
{
    return 42;
}
