#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets a QApplication (offscreen under CTest) so model,
// engine and window tests can share one process and the event loop.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvis");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
