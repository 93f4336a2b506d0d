#include "audio/ui/TNCTPlayButtonB2.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

TNCTPlayButtonB2::TNCTPlayButtonB2(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const struct {
        QStyle::StandardPixmap icon;
        const char *name;
        const char *tip;
    } kinds[3] = {
        {QStyle::SP_MediaPlay, "ButtonPlay", "Play"},
        {QStyle::SP_MediaPause, "ButtonPause", "Pause"},
        {QStyle::SP_MediaStop, "ButtonStop", "Stop"},
    };
    for (int i = 0; i < 3; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(kinds[i].name);
        b->setIcon(style()->standardIcon(kinds[i].icon));
        b->setToolTip(tr(kinds[i].tip));
        b->setCheckable(true); // the checked button shows the state
        b->setAutoRaise(true);
        layout->addWidget(b);
        buttons_[i] = b;
        const int number = i + 1;
        connect(b, &QToolButton::clicked, this, [this, number] {
            // A click toggles a checkable button; the look follows the
            // owner's state, not the click.
            showLook(look_);
            emit OnMouseClick(number);
        });
    }
    showLook(Look::Stopped);
}

QToolButton *TNCTPlayButtonB2::button(int Button) const
{
    return Button >= 1 && Button <= 3 ? buttons_[Button - 1] : nullptr;
}

void TNCTPlayButtonB2::ShowPlaying() { showLook(Look::Playing); }
void TNCTPlayButtonB2::ShowPaused() { showLook(Look::Paused); }
void TNCTPlayButtonB2::ShowStopped() { showLook(Look::Stopped); }

void TNCTPlayButtonB2::showLook(Look look)
{
    look_ = look;
    buttons_[0]->setChecked(look == Look::Playing);
    buttons_[1]->setChecked(look == Look::Paused);
    buttons_[2]->setChecked(look == Look::Stopped);
}
