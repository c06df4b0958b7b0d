// Test entry for tests without windows.
#include "test_support.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

int main(int argc, char** argv) {
    UsePrivateRuntimeDir();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
