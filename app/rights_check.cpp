#include "app/rights_check.h"

#include <lmcons.h>

#include "core/jobs/path_resolver.h"
#include "core/jobs/text_copy.h"
#include "resources/resource.h"

namespace {

const char USER_PREFIX[] = "ユーザ";
const char INFORM_TEXT[] =
    "にはコンポーネントを登録または解除するための権限がない可能性があります。\n"
    "管理者などの適切な権限を持つユーザとして再度実行してください。";
const char ASK_TEXT[] =
    "にはコンポーネントを登録または解除するための権限がない可能性があります。\n"
    "Plinthoraを一度終了し、管理者などの適切な権限を持つユーザとして再度実行してください。\n\n"
    "終了せずにこのまま実行を続けることもできますが、コンポーネントを適切に登録または解除できない可能性があります。\n\n"
    "Plinthoraを終了しますか？";

bool platformMayWriteClasses()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

int platformShowMessage(const char* text, UINT type)
{
    return MessageBoxA(nullptr, text, PROGRAM_NAME, type);
}

}  // namespace

RightsCheck::RightsCheck() : mayWriteClasses(platformMayWriteClasses), showMessage(platformShowMessage) {}

int readCheckType()
{
    char path[MAX_PATH];
    if (!besideProgram("config.ini", path, sizeof path)) return CHECK_ASK;
    return (int)GetPrivateProfileIntA("RegCheck", "CheckType", CHECK_ASK, path);
}

void composeRightsMessage(int checkType, const char* userName, char* out)
{
    const char* text = checkType == CHECK_INFORM ? INFORM_TEXT : ASK_TEXT;
    size_t fixedLength = lstrlenA(USER_PREFIX) + lstrlenA(text);
    char name[RIGHTS_MESSAGE_CAPACITY];
    copyText(name, RIGHTS_MESSAGE_CAPACITY - fixedLength, userName);
    wsprintfA(out, "%s%s", USER_PREFIX, name);
    lstrcatA(out, text);
}

bool RightsCheck::passes()
{
    int checkType = readCheckType();
    if (checkType == CHECK_SKIP) return true;
    if (mayWriteClasses()) return true;

    char userName[UNLEN + 1];
    DWORD length = sizeof userName;
    if (!GetUserNameA(userName, &length)) userName[0] = '\0';
    char message[RIGHTS_MESSAGE_CAPACITY];
    composeRightsMessage(checkType, userName, message);
    if (checkType == CHECK_INFORM) {
        showMessage(message, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return showMessage(message, MB_YESNO | MB_ICONQUESTION) != IDYES;
}
