// The main of every test program. A test program that drives the window starts workers from
// its own executable, as the program does, so it serves as a worker when started as one.
#include <gtest/gtest.h>

#include "core/worker/worker_server.h"

int main(int argc, char** argv)
{
    if (serveAsWorker()) return 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
