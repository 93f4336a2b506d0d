#pragma once
#include "split/WaveformViewAxis.h"

#include <QWidget>
#include <cstdint>
#include <memory>

class QLabel;
class WaveformEditorModel;
class WaveformSource;
namespace waveform_editor {
struct Scratch;
}

// The editor's waveform: time ruler, part names, one lane per channel when
// there is room, split lines, the cursor and the play cursor. It owns the
// time axis (zoom and scroll are the view's own business) and changes no
// model: a dropped line, a click and the editing keys are reported for the
// window to apply.
class TWaveformEditorView : public QWidget {
    Q_OBJECT
public:
    TWaveformEditorView(const WaveformSource &source, const WaveformEditorModel &model, QWidget *parent = nullptr);
    ~TWaveformEditorView() override;

    // Length and layout of the source; fits it into the view.
    void SetSource(int64_t totalFrames, int sampleRate, int channels);
    const WaveformViewAxis &Axis() const { return axis_; }

    int64_t CursorFrame() const { return cursor_; }
    void SetCursorFrame(int64_t frame);
    // -1 hides the play cursor; a shown one is kept in view.
    void SetPlayFrame(int64_t frame);
    int SelectedPoint() const { return selectedPoint_; }
    void SetSelectedPoint(int index);
    void SetSelectedPart(int part);

    // Multiplies frames per pixel by factor (below 1 zooms in) about x.
    void ZoomAbout(double x, double factor);
    // Zooms about the cursor when it is in view, else about the middle.
    void ZoomAtCursor(double factor);
    void Fit();
    void ShowRange(int64_t from, int64_t to);
    void ScrollTo(double firstFrame);

    // Where the waveform lanes start: x of frame f in widget pixels is
    // Axis().XOf(f) (the lanes fill the width).
    int WaveTop() const;
    // The live time of a dragged line (hidden when no line is dragged).
    QLabel *Readout() const { return readout_; }

signals:
    void CursorPlaced(qint64 frame);
    void PointPressed(int index);
    void PointDropped(int index, qint64 frame);
    void ViewChanged();
    void NudgeRequested(int direction, Qt::KeyboardModifiers modifiers);
    void AddRequested();
    void RemoveRequested();
    void PlayPauseRequested();
    // A cached read is pending: the owner polls the source and repaints.
    void DataPending();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int pointNear(double x) const;
    int64_t frameAt(double x) const;
    void showReadout(double x);
    void viewChanged();

    const WaveformSource &source_;
    const WaveformEditorModel &model_;
    WaveformViewAxis axis_;
    std::unique_ptr<waveform_editor::Scratch> scratch_;
    QLabel *readout_;
    int channels_ = 1;
    int64_t cursor_ = 0;
    int64_t play_ = -1;
    int selectedPoint_ = -1;
    int selectedPart_ = -1;
    int dragIndex_ = -1;
    int64_t dragFrame_ = 0;
};
