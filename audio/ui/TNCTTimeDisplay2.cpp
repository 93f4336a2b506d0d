#include "audio/ui/TNCTTimeDisplay2.h"

#include <QFontDatabase>
#include <QPainter>

TNCTTimeDisplay2::TNCTTimeDisplay2(QWidget *parent) : QWidget(parent)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    setFont(f);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TNCTTimeDisplay2::setHours(int Hours)
{
    hours_ = Hours;
    update();
}

void TNCTTimeDisplay2::setMinutes(int Minutes)
{
    minutes_ = Minutes;
    update();
}

void TNCTTimeDisplay2::setSeconds(int Seconds)
{
    seconds_ = Seconds;
    update();
}

int64_t TNCTTimeDisplay2::Milliseconds() const
{
    return ((int64_t(hours_) * 60 + minutes_) * 60 + seconds_) * 1000 + millis_;
}

void TNCTTimeDisplay2::setMilliseconds(int64_t Milliseconds)
{
    const int64_t t = Milliseconds < 0 ? 0 : Milliseconds;
    const int64_t hours = t / 3600000;
    hours_ = hours > INT32_MAX ? INT32_MAX : static_cast<int>(hours);
    minutes_ = static_cast<int>(t / 60000 % 60);
    seconds_ = static_cast<int>(t / 1000 % 60);
    millis_ = static_cast<int>(t % 1000);
    update();
}

QString TNCTTimeDisplay2::text() const
{
    return QString("%1:%2:%3").arg(hours_).arg(minutes_, 2, 10, QChar('0')).arg(seconds_, 2, 10, QChar('0'));
}

QSize TNCTTimeDisplay2::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(QStringLiteral("00:00:00")) + 16, fm.height() + 8};
}

void TNCTTimeDisplay2::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(QColor(0, 230, 0));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
}
