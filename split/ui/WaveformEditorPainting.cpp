#include "split/ui/WaveformEditorPainting.h"

#include "split/WaveformEditorModel.h"
#include "split/WaveformSource.h"
#include "split/WaveformViewAxis.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace waveform_editor {

namespace {

const QColor WaveColour(40, 90, 170);
// Channels after the first, where channels share a lane: a different hue so
// crossing lines can be told apart.
const QColor OtherChannelColour(200, 110, 20);
const QColor LineColour(200, 30, 30);
const QColor SelectedLineColour(255, 140, 0);
const QColor CursorColour(20, 20, 20);
const QColor PlayColour(0, 150, 60);

// Samples are drawn as dots as well as a line once they are this far apart.
constexpr double DotSpacing = 4;

void paintColumns(QPainter &p, const QRect &lane, const std::vector<PeakRange> &columns)
{
    const double mid = lane.top() + lane.height() / 2.0;
    const double half = lane.height() / 2.0 - 1;
    std::vector<QLineF> lines;
    lines.reserve(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        const PeakRange &r = columns[c];
        if (r.empty())
            continue;
        const double x = lane.left() + double(c) + 0.5;
        const double top = mid - std::clamp(r.hi, -1.0f, 1.0f) * half;
        const double bottom = mid - std::clamp(r.lo, -1.0f, 1.0f) * half;
        lines.emplace_back(x, top, x, std::max(bottom, top + 1));
    }
    p.setPen(QPen(WaveColour, 1));
    p.drawLines(lines.data(), int(lines.size()));
}

// Channel `channel` of interleaved frames (stride channels per frame) from
// frame `first` on: a polyline, with a dot per sample once they stand apart.
void paintSamples(QPainter &p, const QRect &lane, int64_t first, const std::vector<float> &samples, int stride,
                  int channel, const QColor &colour, const WaveformViewAxis &axis)
{
    const double mid = lane.top() + lane.height() / 2.0;
    const double half = lane.height() / 2.0 - 1;
    const size_t frames = samples.size() / size_t(stride);
    std::vector<QPointF> points;
    points.reserve(frames);
    for (size_t i = 0; i < frames; ++i)
        points.emplace_back(lane.left() + axis.XOf(double(first) + double(i)),
                            mid - std::clamp(samples[i * size_t(stride) + size_t(channel)], -1.0f, 1.0f) * half);
    p.setPen(QPen(colour, 1));
    p.drawPolyline(points.data(), int(points.size()));
    if (1 / axis.FramesPerPixel() >= DotSpacing) {
        p.setBrush(colour);
        for (const QPointF &pt : points)
            p.drawEllipse(pt, 2, 2);
        p.setBrush(Qt::NoBrush);
    }
}

void verticalLine(QPainter &p, const QRect &area, double x)
{
    p.drawLine(QPointF(area.left() + x, area.top()), QPointF(area.left() + x, area.bottom()));
}

} // namespace

int64_t ShownPoint(const Scene &s, int index)
{
    return index == s.dragIndex ? s.dragFrame : s.model.Points()[size_t(index)];
}

void PaintRuler(QPainter &p, const QRect &area, const WaveformViewAxis &axis)
{
    p.fillRect(area, QColor(236, 236, 236));
    p.setPen(QColor(90, 90, 90));
    p.drawLine(area.bottomLeft(), area.bottomRight());
    const QFontMetrics metrics(p.font());
    // Room for the longest label the ruler can show, so labels never touch.
    const double spacing = metrics.horizontalAdvance(QStringLiteral("0:00:00.000")) + 16;
    for (const AxisTick &t : axis.Ticks(spacing)) {
        const double x = area.left() + t.x;
        p.drawLine(QPointF(x, area.bottom() - 6), QPointF(x, area.bottom()));
        // A label cut off by the edge reads as another time: left out.
        if (x + 3 + metrics.horizontalAdvance(t.label) <= area.right())
            p.drawText(QPointF(x + 3, area.bottom() - 7), t.label);
    }
}

void PaintParts(QPainter &p, const QRect &band, const QRect &wave, const Scene &s)
{
    const WaveformEditorModel &m = s.model;
    const QFontMetrics metrics(p.font());
    p.fillRect(band, QColor(248, 248, 248));
    for (int part = 0; part < m.PartCount(); ++part) {
        const double from = part == 0 ? 0 : double(ShownPoint(s, part - 1));
        const double to = part + 1 == m.PartCount() ? double(m.TotalFrames()) : double(ShownPoint(s, part));
        const double x0 = std::max(0.0, s.axis.ClampedXOf(from));
        const double x1 = std::min(double(wave.width()), s.axis.ClampedXOf(to));
        if (x1 <= 0 || x0 >= wave.width())
            continue;
        const bool checked = m.Part(part).checked;
        QColor fill = checked ? (part % 2 ? QColor(232, 240, 252) : QColor(255, 255, 255)) : QColor(214, 214, 214);
        if (part == s.selectedPart)
            fill = fill.darker(108);
        const QRectF region(wave.left() + x0, wave.top(), x1 - x0, wave.height());
        p.fillRect(region, fill);
        const QRectF label(band.left() + x0 + 4, band.top(), x1 - x0 - 8, band.height());
        p.setPen(checked ? QColor(30, 30, 30) : QColor(140, 140, 140));
        p.drawText(label, Qt::AlignVCenter | Qt::AlignLeft,
                   metrics.elidedText(m.ShownName(part), Qt::ElideRight, int(std::max(0.0, label.width()))));
    }
}

void PaintLane(QPainter &p, const QRect &lane, int channel, const Scene &s, Scratch &scratch)
{
    const WaveformViewAxis &axis = s.axis;
    p.setPen(QColor(200, 200, 200));
    p.drawLine(QPointF(lane.left(), lane.center().y()), QPointF(lane.right(), lane.center().y()));
    if (axis.FramesPerPixel() < 1) {
        const int64_t first = std::max<int64_t>(0, int64_t(std::floor(axis.FirstFrame())));
        const int64_t count = std::min<int64_t>(int64_t(std::ceil(axis.VisibleFrames())) + 2, s.model.TotalFrames() - first);
        // A shared lane shows every channel's samples, not the first's alone:
        // a cut must be clean in all of them.
        // The source's own layout, once open, is what its frames hold.
        const int opened = s.source.Poll().channels;
        const int stride = channel < 0 ? std::max(1, opened > 0 ? opened : s.channels) : 1;
        if (count > 0 && s.source.Samples(channel, first, count, scratch.samples)) {
            for (int k = stride - 1; k >= 0; --k)
                paintSamples(p, lane, first, scratch.samples, stride, k, k == 0 ? WaveColour : OtherChannelColour,
                             axis);
            return;
        }
    }
    s.source.Columns(channel, axis.FirstFrame(), axis.FramesPerPixel(), lane.width(), scratch.columns);
    paintColumns(p, lane, scratch.columns);
}

void PaintMarks(QPainter &p, const QRect &area, const Scene &s)
{
    const WaveformViewAxis &axis = s.axis;
    const int count = int(s.model.Points().size());
    for (int i = 0; i < count; ++i) {
        const double x = axis.XOf(double(ShownPoint(s, i)));
        if (x < -2 || x > area.width() + 2)
            continue;
        const bool selected = i == s.selectedPoint;
        p.setPen(QPen(selected ? SelectedLineColour : LineColour, selected ? 3 : 1));
        verticalLine(p, area, x);
    }
    const double cursor = axis.XOf(double(s.cursor));
    if (cursor >= 0 && cursor <= area.width()) {
        p.setPen(QPen(CursorColour, 1, Qt::DashLine));
        verticalLine(p, area, cursor);
    }
    if (s.play >= 0) {
        const double play = axis.XOf(double(s.play));
        if (play >= 0 && play <= area.width()) {
            p.setPen(QPen(PlayColour, 2));
            verticalLine(p, area, play);
        }
    }
}

} // namespace waveform_editor
