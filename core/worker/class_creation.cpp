#include "core/worker/class_creation.h"

#include <objbase.h>

#include "core/registration/failure_details.h"
#include "core/registration/status_texts.h"

namespace {

void hideFromRegistry(const char* classId)
{
    char key[64 + GUID_TEXT_CAPACITY];
    wsprintfA(key, "CLSID\\%s", classId);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    wsprintfA(key, "Software\\Classes\\CLSID\\%s", classId);
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
}

// The class, then the HRESULT with its message.
void failClass(ComponentItem* item, const char* classId, HRESULT result)
{
    item->status = STATUS_MANIFEST_CREATE_FAILED;
    int length = wsprintfA(item->detail, "%s : ", classId);
    describeResult(result, item->detail + length, sizeof item->detail - length);
}

void failSystem(ComponentItem* item, DWORD error)
{
    item->status = STATUS_MANIFEST_CREATE_FAILED;
    describeSystemError(error, item->detail, sizeof item->detail);
}

HRESULT createAndRelease(const char* classId)
{
    WCHAR text[GUID_TEXT_CAPACITY];
    CLSID classIdentity;
    MultiByteToWideChar(CP_ACP, 0, classId, -1, text, GUID_TEXT_CAPACITY);
    HRESULT result = IIDFromString(text, &classIdentity);
    IUnknown* object = nullptr;
    if (SUCCEEDED(result)) result = CoCreateInstance(classIdentity, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object);
    if (object != nullptr) object->Release();
    return result;
}

}  // namespace

void createClassesThroughManifest(const ManifestCheck& check, ComponentItem* item)
{
    for (LONG index = 0; index < check.classCount; index++) hideFromRegistry(check.classIds[index]);
    item->status = STATUS_REGISTERED;
    item->detail[0] = '\0';
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.lpSource = check.manifestPath;
    HANDLE activation = CreateActCtxA(&context);
    if (activation == INVALID_HANDLE_VALUE) {
        failSystem(item, GetLastError());
        return;
    }
    ULONG_PTR cookie = 0;
    if (!ActivateActCtx(activation, &cookie)) {
        failSystem(item, GetLastError());
        ReleaseActCtx(activation);
        return;
    }
    HRESULT session = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (LONG index = 0; index < check.classCount && item->status == STATUS_REGISTERED; index++) {
        HRESULT result = createAndRelease(check.classIds[index]);
        if (FAILED(result)) failClass(item, check.classIds[index], result);
    }
    if (SUCCEEDED(session)) CoUninitialize();
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
}
