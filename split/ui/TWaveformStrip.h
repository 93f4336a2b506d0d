#pragma once
#include "split/WaveformPeaks.h"

#include <QWidget>
#include <cstdint>
#include <vector>

class QPainter;

// The source's waveform across the whole width: min/max peaks per device
// pixel column, the split points as vertical lines, the selected part shaded
// and the play position as a cursor. Positions are sample frames of the
// source. A press away from a line asks to seek there; an inner split point's
// line can be dragged between its neighbours (never onto one), which is
// reported while dragging and at the release. The strip changes no plan:
// its owner applies a move and sets the points again.
class TWaveformStrip : public QWidget {
    Q_OBJECT
public:
    explicit TWaveformStrip(QWidget *parent = nullptr);

    // The source's length; clears the peaks, points, selection and cursor.
    // 0 shows an empty strip.
    void SetSource(int64_t totalFrames);
    int64_t TotalFrames() const { return totalFrames_; }
    // Buckets of framesPerBucket frames each from the source's start, as far
    // as they are known; percent below 100 shows that they are still coming.
    // At an unchanged width the buckets already given are taken as they were
    // (finished buckets do not change) and only those past them are copied.
    void SetPeaks(const std::vector<PeakRange> &buckets, int64_t framesPerBucket, int percent);
    // Every point of the plan from the start (0) to the end of the last
    // part; the inner ones are drawn and can be dragged.
    void SetSplitPoints(std::vector<int64_t> points);
    const std::vector<int64_t> &SplitPoints() const { return points_; }
    // Part row (0-based) to shade, -1 for none.
    void SetSelectedPart(int row);
    // Play position, -1 for none.
    void SetCursorFrame(int64_t frame);
    int64_t CursorFrame() const { return cursor_; }
    // A line written over the strip (why there is no waveform); SetSource clears it.
    void SetNote(const QString &text);
    QString Note() const { return note_; }

    // Where a frame is drawn, in the widget's own (logical) pixels, and the
    // frame under a pixel.
    double XOf(int64_t frame) const;
    int64_t FrameAt(double x) const;

    QSize sizeHint() const override;

signals:
    void SeekRequested(int64_t frame);
    // index into the points given to SetSplitPoints; frame already within
    // the limits of its neighbours.
    void PointDragged(int index, int64_t frame);
    void PointMoved(int index, int64_t frame);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The inner point whose line is within reach of x, -1 when none.
    int PointNear(double x) const;
    // Frame at x, kept at least one frame away from point i's neighbours.
    int64_t DragFrame(int i, double x) const;
    void PaintPeaks(QPainter &painter) const;

    int64_t totalFrames_ = 0;
    std::vector<PeakRange> buckets_;
    int64_t framesPerBucket_ = 1;
    int percent_ = 100;
    std::vector<int64_t> points_;
    int selected_ = -1;
    int64_t cursor_ = -1;
    int dragging_ = -1;  // index of the point being dragged
    bool dragMoved_ = false;
    QString note_;
};
