// A small client for tools/run.sh: creates a class through a side-by-side manifest alone, as an
// application declaring that assembly would, and prints what CoCreateInstance answered.
//   create_through_manifest.exe MANIFEST CLSID
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        printf("usage: create_through_manifest.exe MANIFEST {CLSID}\n");
        return 2;
    }
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.lpSource = argv[1];
    HANDLE activation = CreateActCtxA(&context);
    if (activation == INVALID_HANDLE_VALUE) {
        printf("the system refused the manifest: error %lu\n", GetLastError());
        return 1;
    }
    ULONG_PTR cookie = 0;
    ActivateActCtx(activation, &cookie);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WCHAR text[64];
    MultiByteToWideChar(CP_ACP, 0, argv[2], -1, text, 64);
    CLSID classId = {};
    HRESULT result = IIDFromString(text, &classId);
    IUnknown* object = nullptr;
    if (SUCCEEDED(result)) result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object);
    if (object != nullptr) object->Release();
    printf("CoCreateInstance(%s) through %s: HRESULT 0x%08lX\n", argv[2], argv[1], (unsigned long)result);
    CoUninitialize();
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
    return SUCCEEDED(result) ? 0 : 1;
}
