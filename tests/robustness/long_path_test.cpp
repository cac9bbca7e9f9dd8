#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/jobs/path_resolver.h"
#include "core/production/path_expander.h"
#include "core/registration/result_log.h"
#include "tests/support/test_paths.h"

namespace {

// Creates a file through the wide API, which accepts paths beyond 259 characters.
bool createLongFile(const std::string& path)
{
    std::wstring wide = L"\\\\?\\";
    for (char c : path) wide.push_back((wchar_t)(unsigned char)c);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

void collect(ComponentItem* item, void* context)
{
    ((std::vector<std::string>*)context)->push_back(item->path);
    freeComponentItem(item);
}

}  // namespace

TEST(LongPaths, EveryJoinEitherFitsExactlyOrGivesNoPath)
{
    ScratchDirectory scratch("long_join");
    const struct {
        std::string macro;
        std::string base;
    } bases[] = {
        {"<sysdir>\\", systemDirectory()},
        {"<appdir>\\", executableDirectory()},
        {"", scratch.path()},
    };
    int cases = 0;
    for (const auto& base : bases) {
        for (size_t total : {258u, 259u, 260u, 300u}) {
            std::string name(total - base.base.size() - 1, 'n');
            std::string text = base.macro.empty() ? base.base + "\\" + name : base.macro + name;
            char out[MAX_PATH + 8];
            memset(out, 'G', sizeof out);
            bool ok = resolve(text.c_str(), out);
            EXPECT_EQ('G', out[MAX_PATH]) << "nothing past the 260-byte buffer";
            if (total <= 259) {
                EXPECT_TRUE(ok) << total;
                EXPECT_EQ(base.base + "\\" + name, std::string(out)) << total;
            } else {
                EXPECT_FALSE(ok) << total;
                EXPECT_STREQ("", out) << total;
            }
            ++cases;
        }
    }
    printf("long joins: %d cases\n", cases);
}

TEST(LongPaths, ExpansionNeverYieldsAnItemNamingAnotherFile)
{
    ScratchDirectory scratch("long_tree");
    std::string folder = scratch.makeFolder("d");
    for (size_t total : {257u, 258u, 259u, 260u, 280u}) {
        std::string name(total - folder.size() - 1, 'a' + (char)(total % 26));
        ASSERT_TRUE(createLongFile(folder + "\\" + name)) << total;
    }
    std::string previous = currentDirectory();
    for (const std::string& stored : {folder + "\\", folder + "\\*", std::string("d\\*")}) {
        SetCurrentDirectoryA(scratch.path().c_str());
        JobSpec* job = newJobSpec();
        appendPath(job, stored.c_str());
        std::vector<std::string> items;
        JobOutput output = {collect, nullptr, &items};
        expandJob(job, &output);
        freeJobSpec(job);
        EXPECT_EQ(3u, items.size()) << stored << ": the three names that fit a path";
        for (const std::string& item : items) {
            char resolved[MAX_PATH];
            ASSERT_TRUE(resolve(item.c_str(), resolved)) << item;
            EXPECT_TRUE(PathFileExistsA(resolved)) << item;
        }
        SetCurrentDirectoryA(previous.c_str());
    }
}

TEST(LongPaths, LogLineOfTheLongestPathIsWhole)
{
    ScratchDirectory scratch("long_log");
    ComponentItem* item = newComponentItem();
    std::string path = scratch.path() + "\\" + std::string(259 - scratch.path().size() - 1, 'z');
    lstrcpyA(item->path, path.c_str());
    item->switches.unregister = item->switches.noRegisterServer = item->switches.callInstall = 1;
    std::string commandLine(255, 'c');
    lstrcpyA(item->switches.installCmdLine, commandLine.c_str());
    ResultLog log;
    ASSERT_TRUE(log.create(scratch.file("log.txt").c_str()));
    log.writeItemLine(item);
    log.close();
    EXPECT_EQ(path + "\t/u /n /i:" + commandLine + "\t-\r\n", readFileBytes(scratch.file("log.txt")));
    freeComponentItem(item);
}
