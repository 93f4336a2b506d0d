#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class TAudioFile2;
class RunReport;

// The gain a normalised merge gives one source.
struct SourceGain {
    double integrated = 0; // LUFS as measured; -HUGE_VAL for silence
    double gainDb = 0;     // applied to every sample of the source
    bool limited = false;  // held back so the true peak stays at kNormalisePeakCeiling
    float Factor() const;  // the linear gain
};

// The true peak a normalised source may reach, dBTP.
constexpr double kNormalisePeakCeiling = -1.0;

// The gain that brings a source measured at `integrated` LUFS with a true
// peak of `truePeak` (linear) to `target` LUFS, held down where it would lift
// the true peak above the ceiling. Silence keeps its level.
SourceGain GainFor(double integrated, double truePeak, double target);

// How the measuring pass ended: gains for every source, or why not.
struct LoudnessPassResult {
    enum End { Measured, Stopped, Failed } end = Measured;
    QString failure; // "Cannot read X: reason" when failed
    std::vector<SourceGain> gains;
    // One line per limited source for the end message.
    QStringList Notes(const QStringList &sources, double target) const;
};

// Decodes every source once, measuring its loudness, reporting progress
// on the gauge (rows show "Measuring") and ending after the block during
// which `running` turned false. `lengths` are the sources' frames, for the gauge.
LoudnessPassResult MeasureSources(TAudioFile2 &reader, RunReport &observer, const QStringList &sources,
                                  const std::vector<int64_t> &lengths, double target, const bool &running);
