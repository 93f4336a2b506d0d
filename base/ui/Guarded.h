#pragma once
#include <functional>
#include <utility>

// Shows the exception being handled in the application's error box, with the
// error-box text rule: a std::exception's own text, any other a general
// message. Call it only from inside a catch block.
void ShowCaughtError();

// Runs a handler that a Qt signal calls (a button's clicked, a timer's
// timeout, a menu action). An exception escaping the handler is shown in the
// error box just as the application's notify shows one from an event handler.
// It must be caught here: unwinding through Qt's signal emission corrupts Qt's
// bookkeeping of the sender, so it would never reach notify safely.
void RunGuarded(const std::function<void()> &handler);

// The slot form of RunGuarded, for connect():
//   connect(button, &QPushButton::clicked, this, Guarded([this] { ButtonClick(); }));
template <class Handler>
auto Guarded(Handler handler)
{
    return [handler = std::move(handler)]() { RunGuarded(handler); };
}
