#include "app/QuorvisApplication.h"

#include <gtest/gtest.h>

// This program runs on the real application object, so events that reach a
// throwing handler go through the same error reporting as in the program.
// (Defining main here keeps the common QApplication main out of this test.)
int main(int argc, char **argv)
{
    QuorvisApplication app(argc, argv);
    QApplication::setApplicationName("Quorvis");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
