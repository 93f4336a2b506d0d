#include "base/ui/Guarded.h"

#include "base/PlatformServices.h"

#include <QString>

#include <exception>

void ShowCaughtError()
{
    QString text;
    try {
        throw;
    } catch (const std::exception &e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("An unexpected error occurred");
    }
    Platform().ErrorBox(ErrorBoxText(text));
}

void RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        ShowCaughtError();
    }
}
