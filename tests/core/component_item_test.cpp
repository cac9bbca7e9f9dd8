#include "core/jobs/component_item.h"

#include <gtest/gtest.h>
#include <string>

#include "core/jobs/job.h"
#include "tests/support/test_paths.h"

namespace {

std::string optionsOf(BYTE unregister, BYTE noRegister, BYTE install, const char* commandLine, BYTE perUser = 0,
                      BYTE check = 0)
{
    ComponentItem* item = newComponentItem();
    item->switches.perUser = perUser;
    item->switches.check = check;
    item->switches.unregister = unregister;
    item->switches.noRegisterServer = noRegister;
    item->switches.callInstall = install;
    lstrcpyA(item->switches.installCmdLine, commandLine);
    char text[272];
    optionText(item, text, sizeof text);
    freeComponentItem(item);
    return text;
}

int stateOf(const std::string& path)
{
    ComponentItem* item = newComponentItem();
    lstrcpyA(item->path, path.c_str());
    int state = displayState(item);
    freeComponentItem(item);
    return state;
}

std::string pathsOf(const JobSpec* job)
{
    std::string joined;
    for (const PathNode* node = job->pathList.first; node != nullptr; node = node->next)
        joined += std::string(node->text) + "|";
    return joined;
}

}  // namespace

TEST(ComponentItem, OptionTextRendersSwitchesInOrder)
{
    EXPECT_EQ("", optionsOf(0, 0, 0, "ignored"));
    EXPECT_EQ("/u ", optionsOf(1, 0, 0, ""));
    EXPECT_EQ("/u /i:X", optionsOf(1, 0, 1, "X"));
    EXPECT_EQ("/n /i", optionsOf(0, 1, 1, ""));
    EXPECT_EQ("/n ", optionsOf(0, 1, 0, "hidden"));
    EXPECT_EQ("/u /n /i:\"a b\"", optionsOf(1, 1, 1, "\"a b\""));
    std::string full(255, 'c');
    EXPECT_EQ("/u /n /i:" + full, optionsOf(1, 1, 1, full.c_str()));
    EXPECT_EQ("/c ", optionsOf(0, 0, 0, "", 1));
    EXPECT_EQ("/c /u /n /i:" + full, optionsOf(1, 1, 1, full.c_str(), 1));
    EXPECT_EQ("/q /u ", optionsOf(1, 0, 0, "", 0, 1));
    EXPECT_EQ("/c /q /u /n /i:" + full, optionsOf(1, 1, 1, full.c_str(), 1, 1));
}

TEST(ComponentItem, OptionTextIsCutToTheCallersCapacity)
{
    ComponentItem* item = newComponentItem();
    item->switches.unregister = 1;
    item->switches.callInstall = 1;
    lstrcpyA(item->switches.installCmdLine, "abcdef");
    char text[6];
    optionText(item, text, sizeof text);
    EXPECT_STREQ("/u /i", text);
    freeComponentItem(item);
}

TEST(ComponentItem, DisplayStateTellsBareNamesExistingAndMissingFiles)
{
    ScratchDirectory scratch("display_state");
    std::string existing = scratch.file("here.dll");
    ASSERT_TRUE(writeFileBytes(existing, "x"));
    std::string before = currentDirectory();
    SetCurrentDirectoryA(scratch.path().c_str());
    EXPECT_EQ(DISPLAY_BARE_NAME, stateOf("here.dll")) << "a bare name is left to the loader, even when it exists here";
    EXPECT_EQ(DISPLAY_EXISTS, stateOf(".\\here.dll"));
    SetCurrentDirectoryA(before.c_str());
    EXPECT_EQ(DISPLAY_EXISTS, stateOf(existing));
    EXPECT_EQ(DISPLAY_MISSING, stateOf(scratch.file("gone.dll")));
    EXPECT_EQ(DISPLAY_MISSING, stateOf("<sysdir>\\" + std::string(255, 'n')));
}

TEST(JobSpec, AppendPathSkipsEmptyTextsAndMarksFolders)
{
    ScratchDirectory scratch("append_path");
    JobSpec* job = newJobSpec();
    ASSERT_TRUE(appendPath(job, ""));
    EXPECT_EQ(nullptr, job->pathList.first);
    appendPath(job, scratch.path().c_str());
    appendPath(job, (scratch.path() + "\\").c_str());
    appendPath(job, "<sysdir>");
    appendPath(job, "missing\\folder");
    EXPECT_EQ(scratch.path() + "\\|" + scratch.path() + "\\|<sysdir>|missing\\folder|", pathsOf(job));
    freeJobSpec(job);
}
