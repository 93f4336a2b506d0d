#include "app/QuorvisApplication.h"

#include "base/PlatformServices.h"

#include <exception>

namespace {

const QString kUnknownError = QStringLiteral("An unexpected error occurred");

} // namespace

QuorvisApplication::QuorvisApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool QuorvisApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(kUnknownError);
    }
    // The handler did not complete; the event counts as not handled.
    return false;
}

void QuorvisApplication::ShowError(const QString &text)
{
    Platform().ErrorBox(ErrorBoxText(text));
}

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        QuorvisApplication::ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        QuorvisApplication::ShowError(kUnknownError);
    }
}
