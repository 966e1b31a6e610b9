// gtest main for test folders that pump events without widgets.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>

inline int RunQtCoreTests(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
