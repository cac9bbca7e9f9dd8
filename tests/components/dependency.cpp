// The helper DLLs that comp_needs_dependency and its twin import; they lie beside those
// components only. Each answers through an entry of its own name.
#include <windows.h>

#ifndef DEPENDENCY_ENTRY
#define DEPENDENCY_ENTRY dependencyAnswer
#endif

extern "C" __declspec(dllexport) int DEPENDENCY_ENTRY()
{
    return 42;
}
