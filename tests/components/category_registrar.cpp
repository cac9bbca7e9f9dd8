// A component that registers its class in a component category of its own through the
// system's categories manager, as controls that announce themselves safe for scripting do,
// and removes both again. Its class key it writes itself under HKEY_CLASSES_ROOT.
#include <windows.h>
#include <comcat.h>

#include "tests/components/category_registrar.h"

namespace {

ICatRegister* categoriesManager()
{
    ICatRegister* manager = nullptr;
    CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister, (void**)&manager);
    return manager;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer()
{
    if (RegSetValueA(HKEY_CLASSES_ROOT, CATEGORY_CLASS_KEY, REG_SZ, "Plinthora category test", 0) != ERROR_SUCCESS) return E_FAIL;
    ICatRegister* manager = categoriesManager();
    if (manager == nullptr) return E_FAIL;
    CATEGORYINFO category = {CATID_PlinthoraTest, 0x409, L"Plinthora test category"};
    CATID implemented[] = {CATID_PlinthoraTest};
    HRESULT result = manager->RegisterCategories(1, &category);
    if (SUCCEEDED(result)) result = manager->RegisterClassImplCategories(CLSID_CategoryTest, 1, implemented);
    manager->Release();
    return result;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    ICatRegister* manager = categoriesManager();
    if (manager == nullptr) return E_FAIL;
    CATID implemented[] = {CATID_PlinthoraTest};
    manager->UnRegisterClassImplCategories(CLSID_CategoryTest, 1, implemented);
    manager->UnRegisterCategories(1, implemented);
    manager->Release();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, CATEGORY_CLASS_KEY);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, CATEGORY_CLASS_KEY);
    return S_OK;
}
