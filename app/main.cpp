#include "app/AppIcons.h"
#include "app/QuorvisApplication.h"
#include "app/TMainForm.h"

int main(int argc, char **argv)
{
    QuorvisApplication app(argc, argv);
    QApplication::setApplicationName("Quorvis");
    QApplication::setWindowIcon(AppIcons::Product());

    // The launcher is the only window created at start-up; closing it ends
    // the application. Nothing is saved at exit.
    TMainForm launcher;
    MainForm = &launcher;
    launcher.show();
    const int result = QApplication::exec();
    MainForm = nullptr;
    return result;
}
