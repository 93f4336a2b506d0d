#include "split/ui/SplitWizardWidgets.h"

#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

namespace split_wizard {

QLineEdit *ReadOnlyEdit(const char *name)
{
    auto *edit = Named(new QLineEdit, name);
    edit->setReadOnly(true);
    return edit;
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area(), int(Qt::AlignLeft | Qt::AlignVCenter), shown());
}

bool ElidedLabel::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        if (shown() != text())
            QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(e);
}

QRect ElidedLabel::area() const
{
    return contentsRect().adjusted(margin() + 2, margin(), -margin() - 2, -margin());
}

QString ElidedLabel::shown() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, area().width());
}

QIcon SplitPointIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    painter.drawLine(QPointF(1, 12.5), QPointF(15, 12.5));
    painter.setPen(QPen(QColor(0xc0, 0x10, 0x10), 2));
    painter.drawLine(QPointF(8, 4), QPointF(8, 15));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0x10, 0x10));
    painter.drawPolygon(QPolygonF{QPointF(4, 1), QPointF(12, 1), QPointF(8, 6)});
    return QIcon(pixmap);
}

} // namespace split_wizard
