#include "split/ui/TWaveformEditorView.h"

#include "split/WaveformEditorModel.h"
#include "split/WaveformSource.h"
#include "split/ui/WaveformEditorPainting.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int RulerHeight = 22;
constexpr int BandHeight = 18;
// Channels get lanes of their own only when each is at least this tall.
constexpr int MinLaneHeight = 48;
// How near a press must be to a line to take it, in pixels.
constexpr double GrabDistance = 4;
// One wheel notch zooms by this factor, and scrolls an eighth of the view.
constexpr double NotchZoom = 0.8;
constexpr double NotchScroll = 1.0 / 8;

} // namespace

TWaveformEditorView::TWaveformEditorView(const WaveformSource &source, const WaveformEditorModel &model,
                                         QWidget *parent)
    : QWidget(parent), source_(source), model_(model), scratch_(std::make_unique<waveform_editor::Scratch>()),
      readout_(new QLabel(this))
{
    setObjectName("WaveformView");
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 120);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    readout_->setObjectName("DragReadout");
    readout_->setAutoFillBackground(true);
    readout_->setFrameShape(QFrame::Box);
    readout_->hide();
}

TWaveformEditorView::~TWaveformEditorView() = default;

void TWaveformEditorView::SetSource(int64_t totalFrames, int sampleRate, int channels)
{
    channels_ = std::max(1, channels);
    axis_.SetWidth(width());
    axis_.SetSource(totalFrames, sampleRate);
    viewChanged();
}

int TWaveformEditorView::WaveTop() const
{
    return RulerHeight + BandHeight;
}

void TWaveformEditorView::SetCursorFrame(int64_t frame)
{
    cursor_ = std::clamp<int64_t>(frame, 0, axis_.TotalFrames());
    update();
}

void TWaveformEditorView::SetPlayFrame(int64_t frame)
{
    play_ = frame;
    if (frame >= 0 && axis_.Follow(double(frame)))
        viewChanged();
    else
        update();
}

void TWaveformEditorView::SetSelectedPoint(int index)
{
    selectedPoint_ = index;
    update();
}

void TWaveformEditorView::SetSelectedPart(int part)
{
    selectedPart_ = part;
    update();
}

void TWaveformEditorView::ZoomAbout(double x, double factor)
{
    axis_.ZoomAbout(x, axis_.FramesPerPixel() * factor);
    viewChanged();
}

void TWaveformEditorView::ZoomAtCursor(double factor)
{
    const double x = axis_.XOf(double(cursor_));
    ZoomAbout(x >= 0 && x <= width() ? x : width() / 2.0, factor);
}

void TWaveformEditorView::Fit()
{
    axis_.Fit();
    viewChanged();
}

void TWaveformEditorView::ShowRange(int64_t from, int64_t to)
{
    // A little room either side, so the part's own lines stay in sight.
    const double margin = double(to - from) / 40;
    axis_.ShowRange(double(from) - margin, double(to) + margin);
    viewChanged();
}

void TWaveformEditorView::ScrollTo(double firstFrame)
{
    axis_.ScrollTo(firstFrame);
    viewChanged();
}

void TWaveformEditorView::viewChanged()
{
    update();
    emit ViewChanged();
}

void TWaveformEditorView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect ruler(0, 0, width(), RulerHeight);
    const QRect band(0, RulerHeight, width(), BandHeight);
    const QRect wave(0, WaveTop(), width(), std::max(1, height() - WaveTop()));
    const waveform_editor::Scene scene{source_,       model_,         axis_,      channels_, cursor_, play_,
                                       selectedPoint_, selectedPart_, dragIndex_, dragFrame_};
    waveform_editor::PaintParts(p, band, wave, scene);
    const bool apart = channels_ > 1 && wave.height() / channels_ >= MinLaneHeight;
    const int lanes = apart ? channels_ : 1;
    for (int c = 0; c < lanes; ++c) {
        const int top = wave.top() + wave.height() * c / lanes;
        const int bottom = wave.top() + wave.height() * (c + 1) / lanes;
        waveform_editor::PaintLane(p, QRect(0, top, width(), bottom - top), apart ? c : -1, scene, *scratch_);
        if (c > 0) {
            // Without it two lanes of loud audio read as one waveform.
            p.setPen(QColor(160, 160, 160));
            p.drawLine(0, top, width(), top);
        }
    }
    waveform_editor::PaintRuler(p, ruler, axis_);
    waveform_editor::PaintMarks(p, QRect(0, RulerHeight, width(), height() - RulerHeight), scene);
    if (source_.SamplesPending() || !source_.Poll().finished)
        emit DataPending();
}

void TWaveformEditorView::resizeEvent(QResizeEvent *)
{
    axis_.SetWidth(width());
    viewChanged();
}

int TWaveformEditorView::pointNear(double x) const
{
    int best = -1;
    double bestDistance = GrabDistance;
    const std::vector<int64_t> &points = model_.Points();
    for (size_t i = 0; i < points.size(); ++i) {
        const double d = std::fabs(axis_.XOf(double(points[i])) - x);
        if (d <= bestDistance) {
            best = int(i);
            bestDistance = d;
        }
    }
    return best;
}

int64_t TWaveformEditorView::frameAt(double x) const
{
    return std::clamp<int64_t>(int64_t(std::llround(axis_.FrameAt(x))), 0, axis_.TotalFrames());
}

void TWaveformEditorView::showReadout(double x)
{
    readout_->setText(FormatClock(dragFrame_, axis_.SampleRate()));
    readout_->adjustSize();
    const int left = std::clamp(int(x) + 6, 0, std::max(0, width() - readout_->width()));
    readout_->move(left, WaveTop() + 2);
    readout_->show();
    readout_->raise();
}

void TWaveformEditorView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const double x = event->position().x();
    const int index = event->position().y() >= RulerHeight ? pointNear(x) : -1;
    if (index >= 0) {
        dragIndex_ = index;
        dragFrame_ = model_.Points()[size_t(index)];
        emit PointPressed(index);
        showReadout(x);
        update();
        return;
    }
    emit CursorPlaced(frameAt(x));
}

void TWaveformEditorView::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if (dragIndex_ < 0) {
        if (event->buttons() & Qt::LeftButton)
            emit CursorPlaced(frameAt(x));
        return;
    }
    dragFrame_ = std::clamp(frameAt(x), model_.MinFrameFor(dragIndex_), model_.MaxFrameFor(dragIndex_));
    showReadout(x);
    update();
}

void TWaveformEditorView::mouseReleaseEvent(QMouseEvent *event)
{
    if (dragIndex_ < 0 || event->button() != Qt::LeftButton)
        return;
    const int index = dragIndex_;
    const int64_t frame = dragFrame_;
    dragIndex_ = -1;
    readout_->hide();
    if (frame != model_.Points()[size_t(index)])
        emit PointDropped(index, frame);
    update();
}

void TWaveformEditorView::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
    if (notches == 0)
        return;
    if (event->modifiers() & Qt::ControlModifier)
        ZoomAbout(event->position().x(), std::pow(NotchZoom, notches));
    else
        ScrollTo(axis_.FirstFrame() - notches * NotchScroll * axis_.VisibleFrames());
    event->accept();
}

void TWaveformEditorView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        emit NudgeRequested(-1, event->modifiers());
        break;
    case Qt::Key_Right:
        emit NudgeRequested(1, event->modifiers());
        break;
    case Qt::Key_Delete:
        emit RemoveRequested();
        break;
    case Qt::Key_S:
    case Qt::Key_Insert:
        emit AddRequested();
        break;
    case Qt::Key_Space:
        emit PlayPauseRequested();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAtCursor(0.5);
        break;
    case Qt::Key_Minus:
        ZoomAtCursor(2);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
