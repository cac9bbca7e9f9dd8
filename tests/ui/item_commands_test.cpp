// The Edit and Save-log commands on the real window: Edit of one row and of several, and
// the saved log against the one a batch run writes.
#include <gtest/gtest.h>

#include <atomic>

#include "core/registration/status_texts.h"
#include "resources/resource.h"
#include "tests/support/process_runner.h"
#include "tests/support/test_paths.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/item_list_view.h"

namespace {

class Commands : public MainWindowTest {
protected:
    // Save log into path through the save dialog, answering the overwrite question with Yes;
    // whether that question was asked.
    bool saveLogAs(const std::string& path)
    {
        std::atomic<bool> done(false);
        bool asked = false;
        runWithDialog(nullptr, window,
                      [&] {
                          SendMessageA(window, WM_COMMAND, IDC_SAVE_LOG, 0);
                          done = true;
                          return 0;
                      },
                      [&](HWND picker) {
                          setText(picker, fileNameControl(picker), path);
                          pressLater(picker, IDOK);
                          waitUntil([&] {
                              if (HWND question = waitForOwnedDialog(picker, 0)) {
                                  asked = true;
                                  PostMessageA(question, WM_COMMAND, IDYES, 0);
                                  waitUntil([&] { return !IsWindow(question); });
                              }
                              if (HWND box = findDialog(PROGRAM_NAME, window)) {
                                  boxTexts.push_back(messageBoxText(box));
                                  PostMessageA(box, WM_COMMAND, IDOK, 0);
                                  waitUntil([&] { return !IsWindow(box); });
                              }
                              return done.load();
                          });
                      });
        return asked;
    }

    ScratchDirectory scratch{"commands"};
};

}  // namespace

TEST_F(Commands, EditOfOneRowShowsAndChangesThatItemOnly)
{
    appendFromWorker({"one.dll", "two.dll", "three.dll"});
    item(1)->switches.callInstall = 1;
    lstrcpyA(item(1)->switches.installCmdLine, "old");
    item(1)->status = STATUS_REGISTERED;
    selectRows({1});
    commandWithDialog(IDM_EDIT, "編集", [](HWND dialog) {
        EXPECT_EQ(controlText(dialog, IDC_PATH_LABEL), "ファイル(&A):");
        EXPECT_FALSE(isVisible(dialog, IDC_METHOD));
        EXPECT_TRUE(isEnabled(dialog, IDC_PATH));
        EXPECT_EQ(controlText(dialog, IDC_PATH), "two.dll");
        EXPECT_TRUE(isChecked(dialog, IDC_OPT_I));
        EXPECT_EQ(controlText(dialog, IDC_CMDLINE), "old");
        setText(dialog, IDC_PATH, "renamed.dll");
        click(dialog, IDC_OPT_U);
        setText(dialog, IDC_CMDLINE, "new");
        pressLater(dialog, IDOK);
    });
    EXPECT_EQ(rowPaths(), (std::vector<std::string>{"one.dll", "renamed.dll", "three.dll"}));
    EXPECT_EQ(cell(1, 1), "/u /i:new");
    EXPECT_EQ(cell(1, 2), STATUS_REGISTERED) << "Edit keeps the result until the next run";
    EXPECT_EQ(cell(0, 1), "");
}

// The dialog's switches replace those of every selected item; each keeps its own path.
TEST_F(Commands, EditOfSeveralRowsGivesThemAllTheDialogsSwitches)
{
    appendFromWorker({"one.dll", "two.dll", "three.dll", "four.dll"});
    item(0)->switches.unregister = 1;
    item(2)->switches.unregister = 1;
    item(3)->switches.perUser = 1;
    selectRows({0, 1, 3});
    commandWithDialog(IDM_EDIT, "編集", [](HWND dialog) {
        // No path is needed, so none can be given.
        EXPECT_FALSE(isEnabled(dialog, IDC_PATH));
        EXPECT_FALSE(isEnabled(dialog, IDC_BROWSE));
        EXPECT_EQ(controlText(dialog, IDC_PATH), "");
        EXPECT_FALSE(isChecked(dialog, IDC_OPT_U));
        EXPECT_FALSE(isChecked(dialog, IDC_OPT_C));
        click(dialog, IDC_OPT_N);
        click(dialog, IDC_OPT_C);
        setText(dialog, IDC_CMDLINE, "c");
        pressLater(dialog, IDOK);
    });
    EXPECT_EQ(rowPaths(), (std::vector<std::string>{"one.dll", "two.dll", "three.dll", "four.dll"}));
    const char* options[] = {"/c /n /i:c", "/c /n /i:c", "/u ", "/c /n /i:c"};
    for (int row = 0; row < 4; row++) EXPECT_EQ(cell(row, 1), options[row]) << "row " << row;
}

TEST_F(Commands, EditWithNothingSelectedOpensNoDialog)
{
    appendFromWorker({"one.dll"});
    selectRows({});
    DialogCanceller dialogs;
    SendMessageA(window, WM_COMMAND, IDM_EDIT, 0);
    EXPECT_EQ(dialogs.finish(), "");
}

TEST_F(Commands, SavedLogIsTheLogABatchRunWrites)
{
    CallRecord calls(scratch);
    const std::vector<std::string> paths = {componentPath("comp_ok.dll"), componentPath("comp_server_fails.dll"),
                                            scratch.file("missing.dll")};
    std::string arguments;
    for (const std::string& path : paths) arguments += " \"" + path + "\"";
    ProcessRun batch = runProcess(plinthoraExePath(),
                                  "\"" + plinthoraExePath() + "\" /s /l:\"" + scratch.file("batch.txt") + "\"" + arguments, {});
    ASSERT_TRUE(batch.finished);

    appendFromWorker(paths);
    SendMessageA(window, WM_COMMAND, IDC_RUN, 0);
    ASSERT_TRUE(pumpUntilIdle());
    saveLogAs(scratch.file("saved.txt"));
    std::string saved = readFileBytes(scratch.file("saved.txt"));
    EXPECT_EQ(saved, readFileBytes(scratch.file("batch.txt")));
    EXPECT_NE(saved.find(STATUS_REGISTER_FAILED), std::string::npos) << saved;
}

TEST_F(Commands, SaveLogAsksBeforeItReplacesAnExistingFileAndAnEmptyListWritesNothing)
{
    writeFileBytes(scratch.file("old.txt"), "old content");
    EXPECT_TRUE(saveLogAs(scratch.file("old.txt"))) << "no question before the file was replaced";
    EXPECT_TRUE(fileExists(scratch.file("old.txt")));
    EXPECT_EQ(readFileBytes(scratch.file("old.txt")), "");
    EXPECT_TRUE(boxTexts.empty());
}

TEST_F(Commands, SaveLogThatCannotCreateTheFileWarnsAndWritesNothing)
{
    appendFromWorker({"one.dll"});
    std::string held = scratch.file("held.txt");
    writeFileBytes(held, "kept");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    saveLogAs(held);
    CloseHandle(holder);
    EXPECT_EQ(boxTexts, std::vector<std::string>{"ファイルが作成できません"});
    EXPECT_EQ(readFileBytes(held), "kept");
}
