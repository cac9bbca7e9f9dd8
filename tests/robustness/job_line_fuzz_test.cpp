#include <gtest/gtest.h>
#include <random>
#include <string>

#include "core/jobs/job_line_parser.h"
#include "tests/robustness/guarded_text.h"

namespace {

// Bytes that steer the parser into every branch: marks and letters of switches, quotes,
// escapes, separators, lead bytes of code page 932 and the trail byte 0x5C.
std::string randomLine(std::mt19937& random)
{
    static const char pieces[][12] = {
        " ", " ", "\t", "\r", "\n", "\"", "\"", "\\", "\\", "/", "-", ":", "u", "N", "i", "I", "s", "d",
        "f", "F", "l", "L", "x", "a.dll", "<sysdir>", "*", "?", "\x95", "\x83", "\xE0", "\xFC", "\x5C\x22",
        "\x81\x40", "\x95\x5C", "\xFF", "\x80",
    };
    const size_t pieceCount = sizeof pieces / sizeof pieces[0];
    std::string line;
    size_t length = random() % 64;
    for (size_t i = 0; i < length; ++i) {
        size_t choice = random() % (pieceCount + 4);
        if (choice == pieceCount) line += std::string(random() % 400, 'w');
        else if (choice == pieceCount + 1) line.push_back('\0');
        else if (choice >= pieceCount) line.push_back((char)(random() % 256));
        else line += pieces[choice];
    }
    return line;
}

bool terminatedWithin(const char* field, size_t capacity)
{
    return memchr(field, '\0', capacity) != nullptr;
}

}  // namespace

TEST(JobLineFuzz, ParserStaysInsideItsBoundsAndFields)
{
    std::mt19937 random(20261207);
    const int cases = 100000;
    for (int i = 0; i < cases; ++i) {
        GuardedText line(randomLine(random));
        JobSpec* job = newJobSpec();
        ASSERT_TRUE(parseJobLine(job, line.begin(), line.end()));
        ASSERT_TRUE(terminatedWithin(job->switches.installCmdLine, sizeof job->switches.installCmdLine)) << "case " << i;
        ASSERT_TRUE(terminatedWithin(job->listFilePath, sizeof job->listFilePath)) << "case " << i;
        ASSERT_TRUE(terminatedWithin(job->logPath, sizeof job->logPath)) << "case " << i;
        for (const PathNode* node = job->pathList.first; node != nullptr; node = node->next) {
            ASSERT_TRUE(terminatedWithin(node->text, PATH_NODE_CAPACITY)) << "case " << i;
            ASSERT_NE('\0', node->text[0]) << "case " << i;
        }
        freeJobSpec(job);
    }
    printf("job-line fuzz: %d generated lines parsed\n", cases);
}
