#include <QApplication>
#include <gtest/gtest.h>

// Window tests need a QApplication (offscreen under CTest) before the first
// widget is made.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvis");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
