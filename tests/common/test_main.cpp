#include <QCoreApplication>
#include <gtest/gtest.h>

// Models, engines and components need an event loop but never a window, so
// their programs run as headless as quorvis-cli does: no QGuiApplication, no
// platform plugin loaded.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Quorvis");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
