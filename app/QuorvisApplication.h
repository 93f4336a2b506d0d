#pragma once
#include <QApplication>
#include <functional>
#include <utility>

// The application object. Every event goes through notify, so this is where
// an exception escaping an event handler is caught: it ends the user action in
// progress, is shown in the error box, and the application goes on.
class QuorvisApplication : public QApplication {
    Q_OBJECT
public:
    QuorvisApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows text in the application's error box, with the error-box text rule.
    static void ShowError(const QString &text);
};

// Runs a handler that a Qt signal calls (a button's clicked, a timer's
// timeout, a menu action). An exception escaping the handler is shown in the
// error box just as notify shows one from an event handler. It must be caught
// here: unwinding through Qt's signal emission corrupts Qt's bookkeeping of
// the sender, so it would never reach notify safely.
void RunGuarded(const std::function<void()> &handler);

// The slot form of RunGuarded, for connect():
//   connect(button, &QPushButton::clicked, this, Guarded([this] { ButtonClick(); }));
template <class Handler>
auto Guarded(Handler handler)
{
    return [handler = std::move(handler)]() { RunGuarded(handler); };
}
