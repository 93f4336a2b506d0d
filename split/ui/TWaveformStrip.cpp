#include "split/ui/TWaveformStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// How far from a line, in logical pixels, a press still takes the line.
constexpr double GrabDistance = 4.0;

const QColor WaveColor(0x00, 0x00, 0x80);
const QColor PointColor(0xC0, 0x00, 0x00);
const QColor CursorColor(0x00, 0x80, 0x00);

} // namespace

TWaveformStrip::TWaveformStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName("WaveformStrip");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(32);
    setMouseTracking(true);
    setToolTip("Click to move the play position here; drag a red line to move its split point");
}

QSize TWaveformStrip::sizeHint() const
{
    return {400, 32};
}

void TWaveformStrip::SetSource(int64_t totalFrames)
{
    totalFrames_ = std::max<int64_t>(0, totalFrames);
    buckets_.clear();
    framesPerBucket_ = 1;
    percent_ = 100;
    points_.clear();
    selected_ = -1;
    cursor_ = -1;
    dragging_ = -1;
    note_.clear();
    update();
}

void TWaveformStrip::SetNote(const QString &text)
{
    note_ = text;
    update();
}

void TWaveformStrip::SetPeaks(const std::vector<PeakRange> &buckets, int64_t framesPerBucket, int percent)
{
    const int64_t width = std::max<int64_t>(1, framesPerBucket);
    // Called several times a second while the peaks come in: finished buckets
    // do not change until their width does, so only the new ones are copied.
    if (width == framesPerBucket_ && buckets.size() >= buckets_.size())
        buckets_.insert(buckets_.end(), buckets.begin() + ptrdiff_t(buckets_.size()), buckets.end());
    else
        buckets_ = buckets;
    framesPerBucket_ = width;
    percent_ = percent;
    update();
}

void TWaveformStrip::SetSplitPoints(std::vector<int64_t> points)
{
    points_ = std::move(points);
    // A rebuilt plan ends any drag: the line it held may not exist any more.
    dragging_ = -1;
    update();
}

void TWaveformStrip::SetSelectedPart(int row)
{
    selected_ = row;
    update();
}

void TWaveformStrip::SetCursorFrame(int64_t frame)
{
    if (frame == cursor_)
        return;
    cursor_ = frame;
    update();
}

double TWaveformStrip::XOf(int64_t frame) const
{
    if (totalFrames_ <= 0)
        return 0;
    return double(std::clamp<int64_t>(frame, 0, totalFrames_)) * width() / double(totalFrames_);
}

int64_t TWaveformStrip::FrameAt(double x) const
{
    if (width() <= 0)
        return 0;
    return std::clamp<int64_t>(std::llround(x * double(totalFrames_) / width()), 0, totalFrames_);
}

int TWaveformStrip::PointNear(double x) const
{
    int best = -1;
    double bestDistance = GrabDistance;
    for (int i = 1; i + 1 < int(points_.size()); ++i) {
        const double d = std::abs(XOf(points_[size_t(i)]) - x);
        if (d <= bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int64_t TWaveformStrip::DragFrame(int i, double x) const
{
    const int64_t low = points_[size_t(i) - 1] + 1;
    const int64_t high = points_[size_t(i) + 1] - 1;
    return std::clamp(FrameAt(x), low, std::max(low, high));
}

void TWaveformStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || totalFrames_ <= 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    const double x = event->position().x();
    dragging_ = PointNear(x);
    dragMoved_ = false;
    if (dragging_ < 0)
        emit SeekRequested(FrameAt(x));
    update();
}

void TWaveformStrip::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if (dragging_ < 0) {
        setCursor(PointNear(x) >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const int64_t frame = DragFrame(dragging_, x);
    if (frame == points_[size_t(dragging_)])
        return;
    points_[size_t(dragging_)] = frame;
    dragMoved_ = true;
    update();
    emit PointDragged(dragging_, frame);
}

void TWaveformStrip::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || dragging_ < 0)
        return;
    const int index = dragging_;
    dragging_ = -1;
    update();
    if (dragMoved_)
        emit PointMoved(index, points_[size_t(index)]);
}

void TWaveformStrip::PaintPeaks(QPainter &painter) const
{
    // One line per device pixel column, drawn in device pixels so a screen
    // with a ratio of 2 gets twice the detail rather than doubled columns.
    const qreal ratio = devicePixelRatioF();
    const int columns = int(std::ceil(width() * ratio));
    const qreal mid = height() * ratio / 2.0;
    const qreal half = mid - 1.0;
    const std::vector<PeakRange> peaks = PeakColumns(buckets_, framesPerBucket_, totalFrames_, columns);
    QList<QLineF> lines;
    lines.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        const PeakRange &p = peaks[size_t(c)];
        if (p.empty())
            continue;
        const qreal top = mid - std::clamp(p.hi, -1.0f, 1.0f) * half;
        const qreal bottom = mid - std::clamp(p.lo, -1.0f, 1.0f) * half;
        // A column of silence still shows as one pixel on the centre line.
        lines.append(QLineF(c + 0.5, top, c + 0.5, std::max(bottom, top + 1.0)));
    }
    painter.save();
    painter.scale(1.0 / ratio, 1.0 / ratio);
    painter.setPen(QPen(isEnabled() ? WaveColor : palette().color(QPalette::Disabled, QPalette::Text), 0));
    painter.drawLines(lines);
    painter.restore();
}

void TWaveformStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    if (!note_.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(note_, Qt::ElideRight, width() - 8));
    }
    if (totalFrames_ <= 0)
        return;
    const int h = height();
    const QColor highlight = palette().color(QPalette::Highlight);

    if (selected_ >= 0 && selected_ + 1 < int(points_.size())) {
        QColor shade = highlight;
        shade.setAlpha(70);
        const double x0 = XOf(points_[size_t(selected_)]);
        const double x1 = selected_ + 2 == int(points_.size()) ? width() : XOf(points_[size_t(selected_) + 1]);
        painter.fillRect(QRectF(x0, 0, std::max(1.0, x1 - x0), h), shade);
    }
    if (dragging_ > 0) {
        // Where the dragged line may go: between its neighbours, not onto them.
        QColor band = highlight;
        band.setAlpha(35);
        const double x0 = XOf(points_[size_t(dragging_) - 1] + 1);
        const double x1 = XOf(points_[size_t(dragging_) + 1] - 1);
        painter.fillRect(QRectF(x0, 0, std::max(1.0, x1 - x0), h), band);
    }

    PaintPeaks(painter);

    for (int i = 1; i + 1 < int(points_.size()); ++i) {
        painter.setPen(QPen(PointColor, i == dragging_ ? 2 : 1));
        const double x = XOf(points_[size_t(i)]);
        painter.drawLine(QLineF(x, 0, x, h));
    }
    if (cursor_ >= 0) {
        painter.setPen(QPen(CursorColor, 1));
        const double x = XOf(cursor_);
        painter.drawLine(QLineF(x, 0, x, h));
    }
    if (percent_ < 100 && note_.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                         QString("Reading waveform %1%").arg(percent_));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
