#include "split/ui/TUpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QLineEdit *associate, int min, int max, int position, int increment, QWidget *parent)
    : QWidget(parent), Min(min), Max(max), Position(position), Increment(increment), associate_(associate),
      up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { StepUp(); });
    connect(down_, &QToolButton::clicked, this, [this] { StepDown(); });
}

void TUpDown::Step(int delta)
{
    // Start from what the edit shows when that is a number, so typing and
    // clicking combine as the user expects.
    bool ok = false;
    const int typed = associate_->text().toInt(&ok);
    if (ok)
        Position = std::clamp(typed, Min, Max);
    Position = std::clamp(Position + delta, Min, Max);
    associate_->setText(QString::number(Position));
}
