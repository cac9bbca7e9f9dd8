// The Add/Edit dialog driven for real over a plain owner window: its two forms, the /n and /i
// coupling, what OK stores, the empty-path warning, the field limits, its placement and the
// pickers behind Browse.
#include "ui/item_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>
#include <string>

#include "core/jobs/text_copy.h"
#include "resources/resource.h"
#include "tests/support/test_paths.h"
#include "tests/ui/dialog_driver.h"

namespace {

const char ADD_CAPTION[] = "追加";
const char EDIT_CAPTION[] = "編集";

// Common-dialog controls: the file-type combo and the file-name field (a combo on newer
// layouts, an edit on older ones).
const int FILTER_COMBO = cmb1;
const int FILE_NAME_COMBO = cmb13;
const int FILE_NAME_EDIT = edt1;

INT_PTR CALLBACK plainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

FILETIME lastAccess(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastAccessTime;
}

class ItemDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 300, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        buffer = newComponentItem();
        context = {buffer, 0, 0, 0};
    }

    void TearDown() override
    {
        freeComponentItem(buffer);
        DestroyWindow(owner);
    }

    void editing(LONG selectedCount)
    {
        context.editing = 1;
        context.selectedCount = selectedCount;
    }

    void fill(const char* path, BYTE unregister, BYTE noRegister, BYTE install, const char* commandLine, BYTE perUser = 0)
    {
        buffer->switches.perUser = perUser;
        copyText(buffer->path, sizeof buffer->path, path);
        buffer->switches.unregister = unregister;
        buffer->switches.noRegisterServer = noRegister;
        buffer->switches.callInstall = install;
        copyText(buffer->switches.installCmdLine, sizeof buffer->switches.installCmdLine, commandLine);
    }

    int show(const std::function<void(HWND)>& script)
    {
        const char* caption = context.editing ? EDIT_CAPTION : ADD_CAPTION;
        return runWithDialog(caption, owner, [&] { return showItemDialog(&context, owner); }, script);
    }

    // Presses Browse, finds the picker it opens, lets pick work it, and waits until it is gone.
    static void browse(HWND dialog, const std::function<void(HWND picker)>& pick)
    {
        pressLater(dialog, IDC_BROWSE);
        HWND picker = waitForOwnedDialog(dialog);
        ASSERT_NE(picker, nullptr) << "Browse opened no dialog";
        SendMessageA(picker, WM_NULL, 0, 0);
        pick(picker);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(picker); })) << "the picker did not close";
        closeIfOpen(picker);
    }

    // The folder that the browser's tree has selected.
    static std::string selectedFolderName(HWND picker)
    {
        HWND tree = FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
        HTREEITEM selected = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        char text[MAX_PATH] = "";
        TVITEMA entry = {};
        entry.mask = TVIF_TEXT;
        entry.hItem = selected;
        entry.pszText = text;
        entry.cchTextMax = sizeof text;
        if (selected != nullptr) SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&entry);
        return text;
    }

    static void chooseFileName(HWND picker, const std::string& name)
    {
        if (GetDlgItem(picker, FILE_NAME_COMBO) != nullptr) setText(picker, FILE_NAME_COMBO, name);
        else setText(picker, FILE_NAME_EDIT, name);
        pressLater(picker, IDOK);
    }

    HWND owner = nullptr;
    ComponentItem* buffer = nullptr;
    ItemDialogContext context = {};
};

}  // namespace

TEST_F(ItemDialog, AddFormShowsTheMethodsAndTheBufferAndCancelKeepsTheBuffer)
{
    fill("C:\\tools\\a.dll", 1, 0, 1, "cmd", 1);
    int result = show([](HWND dialog) {
        EXPECT_EQ(windowText(dialog), ADD_CAPTION);
        EXPECT_EQ(controlText(dialog, IDC_PATH_LABEL), "追加方法(&A):");
        EXPECT_TRUE(isVisible(dialog, IDC_METHOD));
        const char* methods[] = {"ファイル", "フォルダ", "フォルダ（サブフォルダも検索）", "リストファイルから読み込み"};
        ASSERT_EQ(SendDlgItemMessageA(dialog, IDC_METHOD, CB_GETCOUNT, 0, 0), 4);
        for (int index = 0; index < 4; index++) {
            char text[128] = "";
            SendDlgItemMessageA(dialog, IDC_METHOD, CB_GETLBTEXT, index, (LPARAM)text);
            EXPECT_STREQ(text, methods[index]) << "method " << index;
        }
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_METHOD, CB_GETCURSEL, 0, 0), AddFile);
        EXPECT_EQ(controlText(dialog, IDC_PATH), "C:\\tools\\a.dll");
        EXPECT_TRUE(isEnabled(dialog, IDC_PATH));
        EXPECT_TRUE(isEnabled(dialog, IDC_BROWSE));
        EXPECT_TRUE(isChecked(dialog, IDC_OPT_U));
        EXPECT_FALSE(isChecked(dialog, IDC_OPT_N));
        EXPECT_TRUE(isChecked(dialog, IDC_OPT_I));
        EXPECT_TRUE(isChecked(dialog, IDC_OPT_C));
        EXPECT_EQ(controlText(dialog, IDC_CMDLINE), "cmd");
        EXPECT_TRUE(isEnabled(dialog, IDC_CMDLINE));
        EXPECT_TRUE(isEnabled(dialog, IDC_CMDLINE_LABEL));
        setText(dialog, IDC_PATH, "changed");
        click(dialog, IDC_OPT_U);
        pressLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(buffer->path, "C:\\tools\\a.dll");
    EXPECT_EQ(buffer->switches.unregister, 1);
}

// /c comes between the command line and the buttons, in the tab order as on the screen.
TEST_F(ItemDialog, PerUserHasARowBelowTheOptionsAndOkStoresIt)
{
    fill("a.dll", 0, 0, 0, "");
    int result = show([](HWND dialog) {
        HWND perUser = GetDlgItem(dialog, IDC_OPT_C);
        EXPECT_EQ(controlText(dialog, IDC_OPT_C), "このユーザーのみ (/c)");
        EXPECT_EQ(GetWindow(GetDlgItem(dialog, IDC_CMDLINE), GW_HWNDNEXT), perUser);
        EXPECT_EQ(GetWindow(perUser, GW_HWNDNEXT), GetDlgItem(dialog, IDOK));
        EXPECT_FALSE(isChecked(dialog, IDC_OPT_C));
        click(dialog, IDC_OPT_C);
        pressLater(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(buffer->switches.perUser, 1);
}

TEST_F(ItemDialog, ClicksNeverLeaveNWithoutI)
{
    struct Step {
        int clicked;
        bool n, i;
    };
    // Checking /n checks /i; unchecking /n leaves /i; unchecking /i clears /n.
    const Step steps[] = {
        {IDC_OPT_N, true, true}, {IDC_OPT_N, false, true}, {IDC_OPT_N, true, true},
        {IDC_OPT_I, false, false}, {IDC_OPT_I, false, true}, {IDC_OPT_I, false, false},
    };
    show([&](HWND dialog) {
        EXPECT_FALSE(isEnabled(dialog, IDC_CMDLINE));
        int number = 0;
        for (const Step& step : steps) {
            click(dialog, step.clicked);
            SCOPED_TRACE("after click " + std::to_string(++number));
            EXPECT_EQ(isChecked(dialog, IDC_OPT_N), step.n);
            EXPECT_EQ(isChecked(dialog, IDC_OPT_I), step.i);
            // The command line and its label follow /i.
            EXPECT_EQ(isEnabled(dialog, IDC_CMDLINE), step.i);
            EXPECT_EQ(isEnabled(dialog, IDC_CMDLINE_LABEL), step.i);
        }
        pressLater(dialog, IDCANCEL);
    });
}

TEST_F(ItemDialog, NWithoutIFromTheBufferIsShownAndStoredAsItIs)
{
    editing(1);
    fill("a.dll", 0, 1, 0, "");
    int result = show([](HWND dialog) {
        EXPECT_TRUE(isChecked(dialog, IDC_OPT_N));
        EXPECT_FALSE(isChecked(dialog, IDC_OPT_I));
        EXPECT_FALSE(isEnabled(dialog, IDC_CMDLINE));
        pressLater(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(buffer->switches.noRegisterServer, 1);
    EXPECT_EQ(buffer->switches.callInstall, 0);
}

// The Add form, and the Edit form of one row whose path was cleared.
TEST_F(ItemDialog, EmptyPathWarnsAndKeepsTheDialogOpenWithWhatWasTyped)
{
    for (LONG selectedCount : {0, 1}) {
        SCOPED_TRACE(selectedCount == 0 ? "Add" : "Edit of one row");
        if (selectedCount == 1) editing(1);
        fill("a.dll", 0, 0, 0, "");
        int result = show([](HWND dialog) {
            setText(dialog, IDC_PATH, "");
            click(dialog, IDC_OPT_I);
            setText(dialog, IDC_CMDLINE, "typed");
            pressLater(dialog, IDOK);
            HWND box = waitForDialog(PROGRAM_NAME, dialog);
            ASSERT_NE(box, nullptr) << "no warning owned by the dialog";
            EXPECT_EQ(messageBoxText(box), "アイテムを指定してください。");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(waitUntil([&] { return !IsWindow(box); }));
            ASSERT_TRUE(IsWindow(dialog)) << "the warning closed the dialog";
            EXPECT_EQ(controlText(dialog, IDC_CMDLINE), "typed");
            EXPECT_TRUE(isChecked(dialog, IDC_OPT_I));
            // Blanks are a path like any other.
            setText(dialog, IDC_PATH, "  ");
            pressLater(dialog, IDOK);
        });
        EXPECT_EQ(result, 1);
        EXPECT_STREQ(buffer->path, "  ");
        EXPECT_STREQ(buffer->switches.installCmdLine, "typed");
    }
}

// The fields take exactly what the item keeps: nothing typed is lost at OK.
TEST_F(ItemDialog, FieldsAcceptWhatTheItemKeepsAndOkKeepsAllOfIt)
{
    int result = show([](HWND dialog) {
        typeInto(dialog, IDC_PATH, 'p', 300);
        click(dialog, IDC_OPT_I);
        typeInto(dialog, IDC_CMDLINE, 'c', 300);
        EXPECT_EQ(controlText(dialog, IDC_PATH).size(), 259u);
        EXPECT_EQ(controlText(dialog, IDC_CMDLINE).size(), 255u);
        pressLater(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(buffer->path), std::string(259, 'p'));
    EXPECT_EQ(std::string(buffer->switches.installCmdLine), std::string(255, 'c'));
}

TEST_F(ItemDialog, OpensCentredOverItsOwnerWhenItsFirstPlaceIsOnTheScreen)
{
    RECT dialogRect = {};
    show([&](HWND dialog) {
        GetWindowRect(dialog, &dialogRect);
        pressLater(dialog, IDCANCEL);
    });
    RECT ownerRect;
    GetWindowRect(owner, &ownerRect);
    int width = dialogRect.right - dialogRect.left;
    int height = dialogRect.bottom - dialogRect.top;
    EXPECT_EQ(dialogRect.left, ownerRect.right - (ownerRect.right - ownerRect.left) / 2 - width / 2);
    EXPECT_EQ(dialogRect.top, ownerRect.bottom - (ownerRect.bottom - ownerRect.top) / 2 - height / 2);
}

TEST_F(ItemDialog, StaysWhereThePlatformPutItWhenThatTouchesTheScreenEdge)
{
    SetWindowPos(owner, nullptr, -300, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // The same template made without the dialog's own placement.
    HWND plain = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ITEM), owner, plainDialogProc, 0);
    ASSERT_NE(plain, nullptr);
    RECT platformPlace;
    GetWindowRect(plain, &platformPlace);
    DestroyWindow(plain);
    ASSERT_LE(platformPlace.left, 0) << "the test needs a first place on the screen edge";

    RECT dialogRect = {};
    show([&](HWND dialog) {
        GetWindowRect(dialog, &dialogRect);
        pressLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(dialogRect.left, platformPlace.left);
    EXPECT_EQ(dialogRect.top, platformPlace.top);
}

TEST_F(ItemDialog, BrowseOffersTheFilterOfTheMethodAndFillsInTheChosenFile)
{
    ScratchDirectory scratch("dialog_browse");
    struct Row {
        int method;
        const char* filter;
        const char* file;
    };
    const Row rows[] = {
        {AddFile, "コンポーネントファイル(*.dll;*.ocx)", "picked.ocx"},
        {AddListFile, "リストファイル(*.txt)", "list.txt"},
    };
    for (const Row& row : rows) {
        std::string chosen;
        show([&](HWND dialog) {
            SendDlgItemMessageA(dialog, IDC_METHOD, CB_SETCURSEL, row.method, 0);
            setText(dialog, IDC_PATH, "not offered to the open dialog");
            browse(dialog, [&](HWND picker) {
                EXPECT_EQ(controlText(picker, FILTER_COMBO), row.filter);
                // Only the folder must exist.
                chooseFileName(picker, scratch.file(row.file));
            });
            chosen = controlText(dialog, IDC_PATH);
            pressLater(dialog, IDCANCEL);
        });
        EXPECT_EQ(chosen, scratch.file(row.file)) << "method " << row.method;
    }
}

TEST_F(ItemDialog, FolderBrowserStartsAtTheFolderOfTheFieldAndReturnsItWithABackslash)
{
    // On the prefix's own drive: the browser cannot walk to folders of the mapped Unix root.
    const std::string root = "C:\\plinthora_browse";
    removeTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    std::string folder = root + "\\inner";
    CreateDirectoryA(folder.c_str(), nullptr);
    // Wine's browser finds the folder to select by comparing times that include the last
    // access, and the first listing of a folder after a change sets that time: a browser
    // opened two seconds after the folders were made would list them itself and then miss
    // them. So the folders are listed until a listing no longer changes their times.
    for (const std::string& made : {root, folder}) {
        ASSERT_TRUE(waitUntil([&] {
            FILETIME before = lastAccess(made);
            WIN32_FIND_DATAA entry;
            HANDLE listing = FindFirstFileA((made + "\\*").c_str(), &entry);
            if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
            FILETIME after = lastAccess(made);
            return CompareFileTime(&before, &after) == 0;
        }));
    }
    for (int method : {AddFolder, AddFolderTree}) {
        std::string chosen;
        show([&](HWND dialog) {
            SendDlgItemMessageA(dialog, IDC_METHOD, CB_SETCURSEL, method, 0);
            setText(dialog, IDC_PATH, folder + "\\x.dll");
            browse(dialog, [](HWND picker) {
                EXPECT_TRUE(waitUntil([&] { return selectedFolderName(picker) == "inner"; }))
                    << "the browser did not open at the folder of the field";
                pressLater(picker, IDOK);
            });
            chosen = controlText(dialog, IDC_PATH);
            pressLater(dialog, IDCANCEL);
        });
        EXPECT_EQ(chosen, folder + "\\") << "method " << method;
    }
    removeTree(root);
}
