#include "app/AppIcons.h"
#include "app/QuorvisApplication.h"
#include "app/TMainForm.h"

#include <QTimer>

int main(int argc, char **argv)
{
    QuorvisApplication app(argc, argv);
    QApplication::setApplicationName("Quorvis");
    QApplication::setWindowIcon(AppIcons::Product());
    // Wayland shows no window icon of its own: the compositor takes the icon
    // from the desktop entry of this name.
    QGuiApplication::setDesktopFileName("org.example.quorvis");

    // The launcher is the only window created at start-up; closing it ends
    // the application. Nothing is saved at exit.
    TMainForm launcher;
    MainForm = &launcher;
    launcher.show();

    // For the package check (scripts/package-check.sh): QUORVIS_CLOSE_AFTER_MS=N
    // closes every window after N ms, as the user's close boxes would, so a
    // start under a virtual display ends on its own through the normal exit.
    bool timed = false;
    const int closeAfter = qEnvironmentVariableIntValue("QUORVIS_CLOSE_AFTER_MS", &timed);
    if (timed)
        QTimer::singleShot(closeAfter, &app, &QApplication::closeAllWindows);

    const int result = QApplication::exec();
    MainForm = nullptr;
    return result;
}
