#include "core/registration/status_texts.h"

#include <string.h>
#include <windows.h>

const char STATUS_LOAD_FAILED[] = "コンポーネントのロード失敗";
const char STATUS_NO_REGISTER_ENTRY[] = "DllRegisterServerの取得失敗";
const char STATUS_NO_UNREGISTER_ENTRY[] = "DllUnregisterServerの取得失敗";
const char STATUS_REGISTER_FAILED[] = "DllRegisterServer失敗";
const char STATUS_UNREGISTER_FAILED[] = "DllUnregisterServer失敗";
const char STATUS_NO_INSTALL_ENTRY[] = "DllInstallの取得失敗";
const char STATUS_INSTALL_FAILED[] = "DllInstall失敗";
const char STATUS_REGISTERED[] = "登録完了";
const char STATUS_UNREGISTERED[] = "解除完了";
const char STATUS_TYPELIB_LOAD_FAILED[] = "タイプライブラリのロード失敗";
const char STATUS_TYPELIB_REGISTER_FAILED[] = "タイプライブラリの登録失敗";
const char STATUS_TYPELIB_UNREGISTER_FAILED[] = "タイプライブラリの解除失敗";
const char STATUS_MANIFEST_CREATE_FAILED[] = "マニフェストでの作成失敗";
const char STATUS_CHECK_REGISTERED[] = "登録済み";
const char STATUS_CHECK_NOT_REGISTERED[] = "未登録";
const char STATUS_CHECK_PARTLY_REGISTERED[] = "一部のみ登録";
const char STATUS_CHECK_OTHER_FILE[] = "別のファイルで登録";

bool isSuccessStatus(const char* status)
{
    return strcmp(status, STATUS_REGISTERED) == 0 || strcmp(status, STATUS_UNREGISTERED) == 0;
}

bool isExpectedResult(const ComponentItem* item)
{
    if (!item->switches.check) return isSuccessStatus(item->status);
    const char* asked = item->switches.unregister ? STATUS_CHECK_NOT_REGISTERED : STATUS_CHECK_REGISTERED;
    return lstrcmpA(item->status, asked) == 0;
}

namespace {

const char* const STATUS_TEXTS[] = {
    STATUS_LOAD_FAILED, STATUS_NO_REGISTER_ENTRY, STATUS_NO_UNREGISTER_ENTRY,
    STATUS_REGISTER_FAILED, STATUS_UNREGISTER_FAILED, STATUS_NO_INSTALL_ENTRY,
    STATUS_INSTALL_FAILED, STATUS_REGISTERED, STATUS_UNREGISTERED, STATUS_TYPELIB_LOAD_FAILED,
    STATUS_TYPELIB_REGISTER_FAILED, STATUS_TYPELIB_UNREGISTER_FAILED, STATUS_MANIFEST_CREATE_FAILED,
    STATUS_CHECK_REGISTERED, STATUS_CHECK_NOT_REGISTERED, STATUS_CHECK_PARTLY_REGISTERED, STATUS_CHECK_OTHER_FILE,
};
const int STATUS_COUNT = sizeof STATUS_TEXTS / sizeof STATUS_TEXTS[0];

}  // namespace

int statusIndex(const char* status)
{
    for (int index = 0; index < STATUS_COUNT; index++) {
        if (STATUS_TEXTS[index] == status) return index;
    }
    return -1;
}

const char* statusAtIndex(int index)
{
    return index >= 0 && index < STATUS_COUNT ? STATUS_TEXTS[index] : nullptr;
}
