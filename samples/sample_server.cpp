// A minimal in-process COM server to try registration on: one class whose objects implement
// IUnknown, handed out by a class factory. DllRegisterServer enters the class under
// HKEY_CLASSES_ROOT\CLSID with this DLL as its apartment-threaded server, DllUnregisterServer
// removes the entry again, DllInstall accepts any command and does nothing. Every export may
// be called from any thread.
//
// The test suite builds a copy of this file with PLINTHORA_TEST_COMPONENT defined. That copy
// records each call it receives and registers under a class id of its own, so that running
// the tests never disturbs a registered sample.
#include <windows.h>
#include <objbase.h>

#include <new>

#ifdef PLINTHORA_TEST_COMPONENT
#include "tests/components/call_record.h"
#endif

// The base address of this DLL.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

#ifdef PLINTHORA_TEST_COMPONENT
// {68E2845A-D929-47E3-9A91-B81448E5A0BD}
const CLSID CLSID_SampleObject = {
    0x68e2845a, 0xd929, 0x47e3, {0x9a, 0x91, 0xb8, 0x14, 0x48, 0xe5, 0xa0, 0xbd}};
const char CLASS_KEY[] = "CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}";
const char SERVER_KEY[] = "CLSID\\{68E2845A-D929-47E3-9A91-B81448E5A0BD}\\InprocServer32";
const char CLASS_NAME[] = "Plinthora Sample Object (test build)";
#else
// {B5FFEF1A-C842-4125-8949-E2FBACC17A07}
const CLSID CLSID_SampleObject = {
    0xb5ffef1a, 0xc842, 0x4125, {0x89, 0x49, 0xe2, 0xfb, 0xac, 0xc1, 0x7a, 0x07}};
const char CLASS_KEY[] = "CLSID\\{B5FFEF1A-C842-4125-8949-E2FBACC17A07}";
const char SERVER_KEY[] = "CLSID\\{B5FFEF1A-C842-4125-8949-E2FBACC17A07}\\InprocServer32";
const char CLASS_NAME[] = "Plinthora Sample Object";

void recordServerCall(const char*) {}
void recordInstallCall(BOOL, LPCWSTR) {}
#endif

// The DLL may be unloaded only when both are zero.
LONG g_liveObjects = 0; // objects created and not yet released
LONG g_serverLocks = 0; // LockServer(TRUE) calls and references to the factory

class SampleObject final : public IUnknown {
public:
    SampleObject() { InterlockedIncrement(&g_liveObjects); }
    ~SampleObject() { InterlockedDecrement(&g_liveObjects); }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }

    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

private:
    LONG references_ = 1;
};

// One factory for the whole DLL; its references count as locks on the server.
class SampleFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&g_serverLocks); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&g_serverLocks); }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        SampleObject* created = new (std::nothrow) SampleObject;
        if (created == nullptr) return E_OUTOFMEMORY;
        HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock) {
            InterlockedIncrement(&g_serverLocks);
        } else {
            InterlockedDecrement(&g_serverLocks);
        }
        return S_OK;
    }
};

SampleFactory g_factory;

// Sets a string value; a null name sets the key's default value.
LONG setString(HKEY key, const char* name, const char* value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, lstrlenA(value) + 1);
}

LONG writeClassKeys(const char* modulePath)
{
    HKEY classKey;
    LONG error = RegCreateKeyExA(HKEY_CLASSES_ROOT, CLASS_KEY, 0, nullptr, 0, KEY_WRITE,
                                 nullptr, &classKey, nullptr);
    if (error != ERROR_SUCCESS) return error;
    error = setString(classKey, nullptr, CLASS_NAME);
    RegCloseKey(classKey);
    if (error != ERROR_SUCCESS) return error;

    HKEY serverKey;
    error = RegCreateKeyExA(HKEY_CLASSES_ROOT, SERVER_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &serverKey, nullptr);
    if (error != ERROR_SUCCESS) return error;
    error = setString(serverKey, nullptr, modulePath);
    if (error == ERROR_SUCCESS) error = setString(serverKey, "ThreadingModel", "Apartment");
    RegCloseKey(serverKey);
    return error;
}

// A key that is already gone counts as deleted.
LONG deleteKey(const char* path)
{
    LONG error = RegDeleteKeyA(HKEY_CLASSES_ROOT, path);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

LONG deleteClassKeys()
{
    LONG error = deleteKey(SERVER_KEY);
    if (error != ERROR_SUCCESS) return error;
    return deleteKey(CLASS_KEY);
}

} // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                      LPVOID* object)
{
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_SampleObject)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, object);
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow()
{
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    recordServerCall("DllRegisterServer");

    char modulePath[MAX_PATH * 2];
    DWORD length = GetModuleFileNameA((HMODULE)&__ImageBase, modulePath, sizeof modulePath);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length == sizeof modulePath) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    LONG error = writeClassKeys(modulePath);
    if (error == ERROR_SUCCESS) return S_OK;
    deleteClassKeys(); // leave no half-written entry behind
    return HRESULT_FROM_WIN32(error);
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    recordServerCall("DllUnregisterServer");
    LONG error = deleteClassKeys();
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllInstall(BOOL install, LPCWSTR commandLine)
{
    recordInstallCall(install, commandLine);
    return S_OK;
}
