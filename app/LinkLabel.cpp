#include "app/LinkLabel.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(const QString &text, const QColor &startColor, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    SetLook(startColor, false);
}

void LinkLabel::SetLook(const QColor &color, bool underline)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, color);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(underline);
    setFont(f);
}

void LinkLabel::enterEvent(QEnterEvent *event)
{
    SetLook(Qt::red, true);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent *event)
{
    SetLook(Qt::blue, false);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
