#pragma once
#include "split/SplitPlan.h"
#include "split/WaveformPeaks.h"

#include <QString>
#include <cstdint>
#include <vector>

// One part as the waveform editor edits it. The attributes follow the
// stretch of time they were given to: a part split in two keeps them in its
// first half, and the second half starts with the defaults.
struct EditorPart {
    QString name; // as stored in the plan, with extension; empty: the default name
    QString tip = QStringLiteral("No tip");
    SplitPartTag tag;
    bool checked = true;
};

// What the editor changes, with an undo and a redo stack of every change.
// Points are the inner split points in frames, strictly increasing and
// strictly inside (0, total); part p (0-based) runs from point p - 1 (or 0)
// to point p (or the end).
class WaveformEditorModel {
public:
    WaveformEditorModel(int64_t totalFrames, int sampleRate, QString extension);

    // The plan's hand-set parts (points at their exact frames, else at their
    // whole seconds); not a change, so it cannot be undone.
    void Load(const SplitPlan &plan);
    // Replaces the plan's hand-set parts by the edited ones at exact frames.
    void WriteTo(SplitPlan &plan) const;
    // Load as a change that can be undone (an import).
    void Replace(const SplitPlan &plan);

    int64_t TotalFrames() const { return total_; }
    int SampleRate() const { return rate_; }
    const std::vector<int64_t> &Points() const { return s_.points; }
    int PartCount() const { return int(s_.parts.size()); }
    const EditorPart &Part(int p) const { return s_.parts[size_t(p)]; }
    int64_t PartStart(int p) const;
    int64_t PartEnd(int p) const;
    // The part holding frame (the later one on a point).
    int PartAt(int64_t frame) const;
    // The name a part is saved under, without extension (the default name
    // for an unnamed part).
    QString ShownName(int p) const;

    // Each returns whether it changed anything; only a change is recorded.
    // Returns the new point's index, -1 when frame is outside (0, total) or
    // on a point.
    int AddPoint(int64_t frame);
    bool RemovePoint(int index);   // joins parts index and index + 1; the first keeps its attributes
    // Moves a point strictly between its neighbours; a frame outside is
    // clamped one frame inside. Returns the frame it went to (the old one when
    // nothing moved).
    int64_t MovePoint(int index, int64_t frame);
    bool Rename(int part, const QString &typed); // typed without or with the extension
    bool SetChecked(int part, bool checked);

    // Frame range a point may be moved within, both ends inclusive.
    int64_t MinFrameFor(int index) const;
    int64_t MaxFrameFor(int index) const;

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    void Undo();
    void Redo();

private:
    struct State {
        std::vector<int64_t> points;
        std::vector<EditorPart> parts;
    };
    void record();

    int64_t total_;
    int rate_;
    QString extension_;
    QString baseName_;
    State s_;
    std::vector<State> undo_;
    std::vector<State> redo_;
};

// The quietest column of peaks (the smallest largest magnitude): among
// equals the one nearest the middle, then the centre of the run of equally
// quiet columns around it; -1 when every column is empty.
int QuietestColumn(const std::vector<PeakRange> &columns);
