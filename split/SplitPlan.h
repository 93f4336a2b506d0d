#pragma once
#include "base/TimeFormat.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

enum class SplitMode : int32_t { ByAmount = 1, ByTime = 2, BySettings = 3 };

// Whole seconds; TimePoints[k-1]..TimePoints[k] is part k.
using TimePointsArr = std::vector<int32_t>;
// Sample frames after which part k ends; extended precision so the ByTime and
// BySettings products are kept exactly as computed, without rounding.
using SamplePointsArr = std::vector<long double>;

// One row of the parts list (row k-1 shows part k), as the list displays it.
struct SplitPartRow {
    int32_t number = 0;
    QString startText;
    QString endText;
    QString lengthText;
    QString fileName;
    bool checked = true;
};

// A point's exact frame is unknown: it was set by hand, in whole seconds.
constexpr int64_t NoExactFrame = -1;

// Tag fields of one part that replace the source's own in that part's file
// (a CUE sheet's track); an empty field leaves the source's value.
struct SplitPartTag {
    QString title;
    QString artist;
    QString album;
    QString track; // "k/n"
    QString date;
    QString genre;
};

// How one source file is to be cut. Per-part data live in parallel arrays
// indexed by part number from 1 (index 0 is present and unused); attributes
// belong to a part number, not to a stretch of time, so inserting or removing
// a part does not carry names, tips or flags along with the time stretch.
class SplitPlan {
public:
    QString SourcePath;
    int32_t DurationSeconds = 0; // source duration in whole seconds (ms div 1000)
    SplitMode Mode = SplitMode::ByAmount;
    int32_t PartCount = 2;
    int32_t SecondsPerPart = 0; // ByTime only

    // BySettings only; each of length PartCount + 1.
    TimePointsArr TimePoints{0, 0};
    QList<QString> PartNames{QString(), QString()};
    QList<QString> PartTips{QString(), QString()};
    QList<bool> PartSaveFlags{false, false};
    // The exact sample frame of each point of TimePoints, NoExactFrame for a
    // hand-set one: points from a CUE sheet, from silences or from the
    // waveform are cut where they are, while the list shows their whole
    // seconds. Same length as TimePoints; a shorter array means NoExactFrame
    // for the points it lacks.
    std::vector<int64_t> PointFrames{NoExactFrame, NoExactFrame};
    // Frames per second of PointFrames, set by whatever stores an exact frame;
    // 0 until then. The list needs it to show a point between two seconds.
    int SampleRate = 0;
    // Empty, or a tag per part number (index 0 unused), kept like the names:
    // with the part number, not with the stretch of time.
    QList<SplitPartTag> PartTags;

    // Rebuilt by every split: PartCount + 1 entries, [0] stays 0.
    SamplePointsArr SamplePoints;

    // The source's file name without folder and without everything from its
    // last "." on ("live.set.mp3" -> "live.set"; a name without "." stays whole).
    QString PartBaseName() const;

    // File name of part k in ByAmount and ByTime mode: base + "-" + at least two
    // digits + "." + extension ("concert-03.mp3", "concert-100.mp3").
    QString NumberedPartName(int32_t k, const QString &extension) const;

    // The name part k (BySettings) is written under: its stored name without
    // extension + "." + the current output extension.
    QString ManualPartFileName(int32_t k, const QString &extension) const;

    // BySettings: one checked part covering the whole file, named base-01.ext.
    void ResetManualPlan(const QString &extension);

    // Resizes the per-part arrays to count + 1 entries, keeping existing
    // entries and filling new ones with 0, "" or false.
    void ResizeParts(int32_t count);

    // Replaces the hand-set parts by parts that end at the given frames
    // (increasing, inside the source; the last part runs to the end). Names,
    // tips and tags are left empty and the save flags unset for the caller.
    void SetExactPoints(const std::vector<int64_t> &frames, int sampleRate);
    // Whether some inner point has an exact frame.
    bool HasExactPoints() const;
    // The exact frame of point k, NoExactFrame when it has none.
    int64_t ExactFrame(size_t k) const { return k < PointFrames.size() ? PointFrames[k] : NoExactFrame; }

    // The rows of the parts list for the hand-set parts 1..PartCount: "mm:ss"
    // for a point on a whole second, "mm:ss.mmm" (to the nearest millisecond)
    // for an exact one between two; a length with either kind of end takes
    // the finer form.
    QList<SplitPartRow> PartRows() const;

    // Sets PartCount and SamplePoints for a run. totalSamples in frames,
    // durationMs in milliseconds; number is the part count (ByAmount), the part
    // length in seconds (ByTime) or unused (BySettings). A number of 0 computes
    // nothing. A source of length or duration 0 becomes one part.
    void BuildSamplePoints(SplitMode mode, int32_t number, int64_t totalSamples, int64_t durationMs);

    // Slices the pie chart shows for a ByTime part length: ceil(DurationSeconds / s)
    // in whole seconds; nothing when s < 1 (the chart is left as it is).
    std::optional<int32_t> TimePieCount(int64_t secondsPerPart) const;
};

// Whole-number conversion of edit text as the edits accept it: optional sign
// and decimal digits, 32-bit range. Nothing when the text is not such a number.
std::optional<int32_t> ParseWholeNumber(const QString &text);
// The conversion error's text for a text that is not a whole number.
QString InvalidIntegerText(const QString &text);

// The pie chart draws at most this many slices, however many parts are typed.
constexpr int32_t MaxPieSlices = 100;
