#include "split/ui/TWaveformOverview.h"

#include "split/WaveformSource.h"
#include "split/WaveformViewAxis.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TWaveformOverview::TWaveformOverview(const WaveformSource &source, const WaveformViewAxis &axis, QWidget *parent)
    : QWidget(parent), source_(source), axis_(axis)
{
    setObjectName("WaveformOverview");
    setFixedHeight(40);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

double TWaveformOverview::framesPerPixel() const
{
    return double(std::max<int64_t>(axis_.TotalFrames(), 1)) / std::max(1, width());
}

void TWaveformOverview::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(245, 245, 245));
    const double fpp = framesPerPixel();
    source_.Columns(-1, 0, fpp, width(), columns_);
    const double mid = height() / 2.0;
    const double half = height() / 2.0 - 2;
    std::vector<QLineF> lines;
    lines.reserve(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) {
        if (!columns_[c].empty())
            lines.emplace_back(double(c) + 0.5, mid - columns_[c].hi * half, double(c) + 0.5,
                               mid - columns_[c].lo * half + 1);
    }
    p.setPen(QColor(110, 130, 170));
    p.drawLines(lines.data(), int(lines.size()));
    // The visible stretch, at least a few pixels wide so it can be seen at any zoom.
    const double x0 = axis_.FirstFrame() / fpp;
    const double w = std::max(3.0, axis_.VisibleFrames() / fpp);
    p.setPen(QPen(QColor(200, 60, 30), 1));
    p.setBrush(QColor(255, 160, 60, 60));
    p.drawRect(QRectF(x0, 0.5, std::min(w, width() - x0 - 0.5), height() - 1.0));
}

void TWaveformOverview::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit CentreRequested(event->position().x() * framesPerPixel());
}

void TWaveformOverview::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        emit CentreRequested(std::clamp(event->position().x(), 0.0, double(width())) * framesPerPixel());
}
