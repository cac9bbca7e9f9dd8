#include "tests/ui/dialog_driver.h"

#include <dlgs.h>

#include <gtest/gtest.h>
#include <thread>

#include "tests/support/top_level_windows.h"

HWND findDialog(const char* caption, HWND owner)
{
    return visibleTopLevelWindow(GetCurrentProcessId(), [&](HWND window) {
        char className[16];
        GetClassNameA(window, className, sizeof className);
        return lstrcmpA(className, "#32770") == 0 && (owner == nullptr || GetWindow(window, GW_OWNER) == owner) &&
               (caption == nullptr || windowText(window) == caption);
    });
}

HWND waitForDialog(const char* caption, HWND owner, DWORD limitMs)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(caption, owner)) != nullptr; }, limitMs);
    return found;
}

HWND waitForOwnedDialog(HWND owner, DWORD limitMs)
{
    return waitForDialog(nullptr, owner, limitMs);
}

std::string windowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int control)
{
    return windowText(GetDlgItem(dialog, control));
}

std::string messageBoxText(HWND box)
{
    return controlText(box, 0xFFFF);
}

bool isChecked(HWND dialog, int control)
{
    return SendDlgItemMessageA(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool isEnabled(HWND dialog, int control)
{
    return IsWindowEnabled(GetDlgItem(dialog, control)) != FALSE;
}

bool isVisible(HWND dialog, int control)
{
    return IsWindowVisible(GetDlgItem(dialog, control)) != FALSE;
}

void click(HWND dialog, int control)
{
    SendDlgItemMessageA(dialog, control, BM_CLICK, 0, 0);
}

void pressLater(HWND dialog, int control)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), (LPARAM)GetDlgItem(dialog, control));
}

int fileNameControl(HWND picker)
{
    return GetDlgItem(picker, cmb13) != nullptr ? cmb13 : edt1;
}

void setText(HWND dialog, int control, const std::string& text)
{
    SendDlgItemMessageA(dialog, control, WM_SETTEXT, 0, (LPARAM)text.c_str());
}

void typeInto(HWND dialog, int control, char character, int count)
{
    HWND edit = GetDlgItem(dialog, control);
    for (int i = 0; i < count; i++) SendMessageA(edit, WM_CHAR, (BYTE)character, 1);
}

void closeIfOpen(HWND dialog)
{
    if (!IsWindow(dialog)) return;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    waitUntil([&] { return !IsWindow(dialog); });
}

int runWithDialog(const char* caption, HWND owner, const std::function<int()>& showing,
                  const std::function<void(HWND dialog)>& script)
{
    std::thread driver([&] {
        HWND dialog = waitForDialog(caption, owner);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog captioned \"" << caption << "\" appeared";
            return;
        }
        // Served only once the dialog's thread is back in its loop, so the dialog has been
        // set up completely before the script looks at it.
        SendMessageA(dialog, WM_NULL, 0, 0);
        script(dialog);
        // A script that stopped half-way leaves the dialog open.
        if (!waitUntil([&] { return !IsWindow(dialog); })) closeIfOpen(dialog);
    });
    int result = showing();
    driver.join();
    return result;
}
