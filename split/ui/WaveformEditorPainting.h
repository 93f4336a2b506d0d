#pragma once
#include "split/WaveformPeaks.h"

#include <QRect>
#include <cstdint>
#include <vector>

class QPainter;
class WaveformEditorModel;
class WaveformSource;
class WaveformViewAxis;

// What the editor's view draws, from data already at hand: the source's
// cached peaks and samples (never a decode), the model and the axis.
namespace waveform_editor {

struct Scene {
    const WaveformSource &source;
    const WaveformEditorModel &model;
    const WaveformViewAxis &axis;
    int channels = 1;
    int64_t cursor = 0;
    int64_t play = -1;          // the play cursor, -1 while not playing
    int selectedPoint = -1;
    int selectedPart = -1;
    int dragIndex = -1;         // the line being dragged, drawn at dragFrame
    int64_t dragFrame = 0;
};

// Reused between paints so a repaint allocates nothing.
struct Scratch {
    std::vector<PeakRange> columns;
    std::vector<float> samples;
};

void PaintRuler(QPainter &p, const QRect &area, const WaveformViewAxis &axis);
// Part regions behind the waveform and their names in the band above it.
void PaintParts(QPainter &p, const QRect &band, const QRect &wave, const Scene &s);
// One lane: channel 0-based, or -1 for all channels together.
void PaintLane(QPainter &p, const QRect &lane, int channel, const Scene &s, Scratch &scratch);
void PaintMarks(QPainter &p, const QRect &area, const Scene &s);

// The split point's frame as drawn (the dragged one where it is dragged).
int64_t ShownPoint(const Scene &s, int index);

} // namespace waveform_editor
