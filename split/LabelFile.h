#pragma once
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

// A label or CUE file that cannot be read or written; the text names the file
// (and the line, for a line at fault).
class LabelFileError : public std::runtime_error {
public:
    explicit LabelFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// One label of an Audacity label file: a point (start == end) or a region.
struct AudioLabel {
    double start = 0; // seconds
    double end = 0;
    QString text;
};

// Reads an Audacity label file: lines "start<TAB>end<TAB>label" (seconds,
// '.' decimals; the "\t" frequency lines Audacity writes for spectral labels
// are skipped). Throws LabelFileError.
std::vector<AudioLabel> ReadLabelFile(const QString &path);

// Writes labels with six decimals. Throws LabelFileError.
void WriteLabelFile(const QString &path, const std::vector<AudioLabel> &labels);

// The plan's hand-set parts as labels: one region label per part, named by
// the part's name without extension, frames at sampleRate.
std::vector<AudioLabel> PlanToLabels(const SplitPlan &plan, int sampleRate);

// Replaces the plan's hand-set parts from labels, as ApplyCueSheet does from
// tracks: point labels become split points; region labels become parts named
// by their text, with the gaps between regions as unchecked parts. Frames are
// the labels' seconds rounded to the nearest frame. Throws LabelFileError
// (naming `path`), leaving the plan as it was, when no point lies inside a
// source of totalFrames frames.
void ApplyLabels(SplitPlan &plan, const std::vector<AudioLabel> &labels, const QString &path,
                 int64_t totalFrames, int sampleRate, const QString &extension);

// The plan's parts as a CUE sheet for the source: TITLE from the part names,
// INDEX 01 at each part's start rounded to the nearest 1/75 s. `offCdFrame`
// receives the part numbers whose start is not on a CD frame (the warning).
QString PlanToCueSheet(const SplitPlan &plan, int sampleRate, std::vector<int32_t> *offCdFrame);
