#include <QCoreApplication>
#include <gtest/gtest.h>

// The ThreadSanitizer build runs engine tests only: no widgets, so no
// QApplication and nothing of Qt Widgets in the process.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Quorvis");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
