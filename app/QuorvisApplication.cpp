#include "app/QuorvisApplication.h"

#include "base/ui/Guarded.h"

QuorvisApplication::QuorvisApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool QuorvisApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCaughtError();
    }
    // The handler did not complete; the event counts as not handled.
    return false;
}
