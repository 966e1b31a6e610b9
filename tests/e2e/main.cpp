// The end-to-end tests pump events, so they need the application object.
#include <gtest/gtest.h>

#include <cstdlib>

#include "toolkit.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (InitPlatform(argc, argv) < 0) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
