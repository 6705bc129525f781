// Test entry for logic tests: a QCoreApplication for event loops and code pages.
#include "base/Formats.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    torv::FixProcessFormats();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
