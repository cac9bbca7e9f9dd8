#include <windows.h>

#include <gtest/gtest.h>
#include <random>
#include <string>

#include "core/production/list_file_runner.h"
#include "core/registration/result_log.h"
#include "tests/support/test_paths.h"

namespace {

struct Counts {
    int items = 0;
};

void countingSink(ComponentItem* item, void* context)
{
    ++((Counts*)context)->items;
    freeComponentItem(item);
}

void logError(const char* message, BYTE, void* context)
{
    ((ResultLog*)context)->writeErrorLine(message);
}

// Runs a list file silently; returns the error lines it reported, as a log receives them.
std::string runListFileLogged(const ScratchDirectory& scratch, const std::string& listFile)
{
    JobSpec* job = newJobSpec();
    job->fromListFile = 1;
    job->silent = 1;
    lstrcpyA(job->listFilePath, listFile.c_str());
    std::string logPath = scratch.file("errors.log");
    ResultLog log;
    log.create(logPath.c_str());
    JobOutput output = {[](ComponentItem* item, void*) { freeComponentItem(item); }, logError, &log};
    runJob(job, &output);
    log.close();
    freeJobSpec(job);
    return readFileBytes(logPath);
}

void runCounting(const std::string& listFile, Counts* counts)
{
    JobSpec* job = newJobSpec();
    job->fromListFile = 1;
    job->silent = 1;
    lstrcpyA(job->listFilePath, listFile.c_str());
    JobOutput output = {countingSink, [](const char*, BYTE, void*) {}, counts};
    runJob(job, &output);
    freeJobSpec(job);
}

// Garbage without colons and backslashes, so that no line can name another drive or a network
// share and list all of it.
std::string garbage(std::mt19937& random, size_t size)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = (char)(random() % 256);
        if (c == ':' || c == '\\') c = ';';
    }
    return bytes;
}

size_t countOf(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

class ListFileFuzz : public ::testing::Test {
protected:
    ScratchDirectory scratch{"list_fuzz"};
    std::string previousDirectory = currentDirectory();
    void SetUp() override { SetCurrentDirectoryA(scratch.path().c_str()); }
    void TearDown() override { SetCurrentDirectoryA(previousDirectory.c_str()); }
};

}  // namespace

TEST_F(ListFileFuzz, SizesAroundThePageEndWithoutLineFeedReadNothingBeyond)
{
    int cases = 0;
    for (size_t size : {1u, 100u, 4095u, 4096u, 4097u, 8191u, 8192u, 65536u}) {
        // One item per line of "x.dll" and blanks, and a last line that runs to the file's end.
        std::string text;
        while (text.size() + 6 <= size) text += "x.dll\n";
        text += std::string(size - text.size(), 'y');
        std::string path = scratch.file("page.txt");
        ASSERT_TRUE(writeFileBytes(path, text));
        Counts counts;
        runCounting(path, &counts);
        int expected = (int)(size / 6) + (size % 6 != 0 ? 1 : 0);
        EXPECT_EQ(expected, counts.items) << "size " << size;
        ++cases;
    }
    printf("list-file page sizes: %d files\n", cases);
}

TEST_F(ListFileFuzz, GarbageHugeLinesAndNulBytesEndEveryRun)
{
    std::mt19937 random(7);
    std::string path = scratch.file("garbage.txt");
    int cases = 0;
    for (size_t size : {1u, 7u, 512u, 4096u, 70000u, 3u * 1024 * 1024}) {
        ASSERT_TRUE(writeFileBytes(path, garbage(random, size)));
        Counts counts;
        runCounting(path, &counts);
        ++cases;
    }
    std::string oneHugeLine(4 * 1024 * 1024, 'w');
    for (size_t i = 100; i < oneHugeLine.size(); i += 1000) oneHugeLine[i] = ' ';
    ASSERT_TRUE(writeFileBytes(path, oneHugeLine));
    Counts counts;
    runCounting(path, &counts);
    EXPECT_EQ((int)countOf(oneHugeLine, " ") + 1, counts.items);
    ++cases;

    ASSERT_TRUE(writeFileBytes(path, std::string("a.dll\nb.dll\0c.dll\nd.dll", 23)));
    Counts beforeNul;
    runCounting(path, &beforeNul);
    EXPECT_EQ(2, beforeNul.items) << "a NUL byte ends the text";
    ++cases;
    printf("list-file garbage: %d files\n", cases);
}

TEST_F(ListFileFuzz, NestingLoopsEndWithAnErrorLine)
{
    // One file naming itself.
    ASSERT_TRUE(writeFileBytes(scratch.file("self.txt"), "/f:self.txt\r\na.dll\r\n"));
    std::string errors = runListFileLogged(scratch, scratch.file("self.txt"));
    EXPECT_EQ(1u, countOf(errors, "[エラー]")) << errors;

    // Two files naming each other.
    ASSERT_TRUE(writeFileBytes(scratch.file("one.txt"), "/f:two.txt\n"));
    ASSERT_TRUE(writeFileBytes(scratch.file("two.txt"), "/f:one.txt\n"));
    errors = runListFileLogged(scratch, scratch.file("one.txt"));
    EXPECT_EQ(1u, countOf(errors, "[エラー]")) << errors;

    // A chain of distinct files deeper than the bound.
    const int chain = MAX_LIST_FILE_DEPTH + 8;
    for (int i = 0; i < chain; ++i) {
        std::string next = "/f:chain" + std::to_string(i + 1) + ".txt\n";
        ASSERT_TRUE(writeFileBytes(scratch.file("chain" + std::to_string(i) + ".txt"), next));
    }
    errors = runListFileLogged(scratch, scratch.file("chain0.txt"));
    EXPECT_EQ(1u, countOf(errors, "の入れ子が深すぎます")) << errors;
    printf("list-file nesting: 3 loops\n");
}
