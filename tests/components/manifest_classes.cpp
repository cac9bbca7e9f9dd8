// A component whose registration has every part a side-by-side manifest carries, and some it
// cannot: see manifest_classes.h. Its one in-process class hands out a plain object.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "tests/components/manifest_classes.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

using namespace manifest_classes;

const CLSID CLSID_ManifestTest = {0x3e0c7b52, 0x6a1d, 0x4f38, {0x9c, 0x24, 0x8d, 0x5b, 0x1e, 0x7a, 0x0f, 0x61}};

// One object for every request: the tests only create and release it.
struct PlainObject final : IClassFactory {
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory) ? this : nullptr;
        return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** object) override { return QueryInterface(riid, object); }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
} plainObject;

struct KeyValue {
    std::string key;
    const char* name;
    const char* value;  // null: the component's own path
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    *object = nullptr;
    return IsEqualCLSID(clsid, CLSID_ManifestTest) ? plainObject.QueryInterface(riid, object) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow()
{
    return S_FALSE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    char self[MAX_PATH];
    GetModuleFileNameA((HMODULE)&__ImageBase, self, sizeof self);
    const std::string cls = std::string("CLSID\\") + CLASS_ID;
    const std::string local = std::string("CLSID\\") + LOCAL_CLASS_ID;
    const std::string automation = std::string("Interface\\") + AUTOMATION_INTERFACE_ID;
    const std::string own = std::string("Interface\\") + OWN_MARSHALLER_INTERFACE_ID;
    const std::string progid = PROGID;
    const KeyValue values[] = {
        {cls, nullptr, "Plinthora manifest test <&>"},
        {cls + "\\InprocServer32", nullptr, nullptr},
        {cls + "\\InprocServer32", "ThreadingModel", "Both"},
        {cls + "\\ProgID", nullptr, PROGID},
        {cls + "\\VersionIndependentProgID", nullptr, VERSION_INDEPENDENT_PROGID},
        {cls + "\\TypeLib", nullptr, LIBRARY_ID},
        {cls + "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}", nullptr, ""},
        {progid + "\\CLSID", nullptr, CLASS_ID},
        {local, nullptr, "Plinthora manifest test, out of process"},
        {local + "\\LocalServer32", nullptr, "C:\\server.exe"},
        {automation, nullptr, "IPlinthoraAutomation"},
        {automation + "\\ProxyStubClsid32", nullptr, "{00020424-0000-0000-C000-000000000046}"},
        {automation + "\\TypeLib", nullptr, LIBRARY_ID},
        {own, nullptr, "IPlinthoraOwnMarshaller"},
        {own + "\\ProxyStubClsid32", nullptr, LOCAL_CLASS_ID},
        {".plinthora-manifest-test", nullptr, PROGID},
    };
    for (const KeyValue& entry : values) {
        const char* value = entry.value != nullptr ? entry.value : self;
        if (RegSetKeyValueA(HKEY_CLASSES_ROOT, entry.key.c_str(), entry.name, REG_SZ, value, lstrlenA(value) + 1) != ERROR_SUCCESS) {
            return E_FAIL;
        }
    }
    return S_OK;
}
