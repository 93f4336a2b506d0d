#include "split/SplitPointEditor.h"
#include "base/FileNames.h"
#include "base/OutputFormat.h"

#include "audio/MulDiv.h"

#include <algorithm>
#include <limits>

namespace SplitPointEditor {

namespace {

int32_t PointCount(const SplitPlan &plan)
{
    return static_cast<int32_t>(plan.TimePoints.size());
}

// Rows the plan can show: every part needs its two points.
bool IsValidRow(const SplitPlan &plan, int row)
{
    return row >= 0 && row + 1 < PointCount(plan);
}

// Plans built without exact frames get NoExactFrame for every point.
void FitPointFrames(SplitPlan &plan)
{
    plan.PointFrames.resize(plan.TimePoints.size(), NoExactFrame);
}

} // namespace

bool InsertSplitPoint(SplitPlan &plan, int32_t t)
{
    TimePointsArr &points = plan.TimePoints;
    FitPointFrames(plan);
    std::vector<int64_t> &frames = plan.PointFrames;
    bool inserted = false;
    const int32_t n = PointCount(plan) - 1;
    for (int32_t idx = n; idx >= 1; --idx) {
        if (points[idx - 1] < t && t < points[idx]) {
            points.insert(points.begin() + idx, t);
            frames.insert(frames.begin() + idx, NoExactFrame);
            inserted = true;
        } else if (t > points.back()) {
            points.push_back(t);
            frames.push_back(NoExactFrame);
            inserted = true;
        }
    }
    plan.PartCount = PointCount(plan) - 1;
    return inserted;
}

QString DefaultPartName(const SplitPlan &plan, int32_t k, const QString &extension)
{
    return plan.NumberedPartName(k, extension.toLower());
}

namespace {

// What "Set as split point" does after inserting, whether or not it did.
void NameLastPart(SplitPlan &plan, const QString &extension)
{
    const int32_t n = PointCount(plan) - 1;
    plan.PartCount = n;
    // TimePoints already has n + 1 entries; only the attribute arrays grow.
    plan.PartNames.resize(n + 1);
    plan.PartTips.resize(n + 1);
    plan.PartSaveFlags.resize(n + 1);
    if (!plan.PartTags.isEmpty())
        plan.PartTags.resize(n + 1);
    if (n < 1)
        return;
    plan.PartNames[n] = DefaultPartName(plan, n, extension);
    plan.PartTips[n] = QStringLiteral("No tip");
    plan.PartSaveFlags[n] = true;
}

// Inserts the exact frame between the two points whose frames it lies
// strictly between; after the last point only when its whole second lies
// after that point's, which is the source's end in whole seconds.
void InsertSplitPointAt(SplitPlan &plan, int64_t frame, int sampleRate)
{
    FitPointFrames(plan);
    const int32_t t = int32_t(std::min<int64_t>(frame / sampleRate, std::numeric_limits<int32_t>::max()));
    const int32_t n = PointCount(plan) - 1;
    for (int32_t idx = 1; idx <= n; ++idx) {
        if (PointFrameAt(plan, idx - 1, sampleRate) < frame && frame < PointFrameAt(plan, idx, sampleRate)) {
            plan.TimePoints.insert(plan.TimePoints.begin() + idx, t);
            plan.PointFrames.insert(plan.PointFrames.begin() + idx, frame);
            plan.SampleRate = sampleRate;
            return;
        }
    }
    if (t > plan.TimePoints.back()) {
        plan.TimePoints.push_back(t);
        plan.PointFrames.push_back(frame);
        plan.SampleRate = sampleRate;
    }
}

} // namespace

void SetSplitPoint(SplitPlan &plan, int32_t t, const QString &extension)
{
    if (plan.TimePoints.empty())
        plan.TimePoints = {0};
    InsertSplitPoint(plan, t);
    NameLastPart(plan, extension);
}

void SetSplitPointAt(SplitPlan &plan, int64_t frame, int sampleRate, const QString &extension)
{
    if (plan.TimePoints.empty())
        plan.TimePoints = {0};
    if (sampleRate > 0 && frame > 0)
        InsertSplitPointAt(plan, frame, sampleRate);
    NameLastPart(plan, extension);
}

bool RemoveSplitPoint(SplitPlan &plan, int row)
{
    const int32_t n = PointCount(plan) - 1;
    if (n <= 1 || row < 0 || row >= n)
        return false;
    if (plan.PartSaveFlags.size() < n + 1)
        plan.PartSaveFlags.resize(n + 1);
    FitPointFrames(plan);
    // Row 0 removes the point after part 1, any other row the point at its
    // own start; either way later points and save flags move down one number.
    const int32_t first = row == 0 ? 1 : row;
    for (int32_t j = first; j <= n - 1; ++j) {
        plan.TimePoints[j] = plan.TimePoints[j + 1];
        plan.PointFrames[j] = plan.PointFrames[j + 1];
        plan.PartSaveFlags[j] = plan.PartSaveFlags[j + 1];
    }
    plan.PartCount = n - 1;
    plan.TimePoints.resize(plan.PartCount + 1);
    plan.PointFrames.resize(plan.PartCount + 1);
    // Names and tips stay with their part numbers; the last ones are dropped.
    plan.PartNames.resize(plan.PartCount + 1);
    plan.PartTips.resize(plan.PartCount + 1);
    plan.PartSaveFlags.resize(plan.PartCount + 1);
    if (!plan.PartTags.isEmpty())
        plan.PartTags.resize(plan.PartCount + 1);
    return true;
}

int64_t PointFrameAt(const SplitPlan &plan, int32_t point, int sampleRate)
{
    if (point < 0 || point >= PointCount(plan))
        return 0;
    const int64_t exact = plan.ExactFrame(size_t(point));
    return exact != NoExactFrame ? exact : int64_t(plan.TimePoints[size_t(point)]) * sampleRate;
}

bool MoveSplitPointTo(SplitPlan &plan, int32_t point, int64_t frame, int sampleRate)
{
    const int32_t last = PointCount(plan) - 1;
    if (point < 1 || point >= last || sampleRate <= 0)
        return false;
    if (frame <= PointFrameAt(plan, point - 1, sampleRate) || frame >= PointFrameAt(plan, point + 1, sampleRate))
        return false;
    FitPointFrames(plan);
    plan.PointFrames[size_t(point)] = frame;
    plan.SampleRate = sampleRate;
    plan.TimePoints[size_t(point)] = int32_t(std::min<int64_t>(frame / sampleRate, plan.TimePoints[size_t(point + 1)]));
    return true;
}

bool IsSafeFileName(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c))
            return false;
    }
    return true;
}

QString CheckSelectionEdit(const SplitPlan &plan, int row, const SelectionEdit &edit)
{
    if (!IsValidRow(plan, row))
        return {};
    const int32_t last = PointCount(plan) - 2;
    if (edit.start >= edit.stop)
        return QStringLiteral("The Start Time should be smaller than Stop Time!");
    // The first part always starts at 0; its start edits are disabled.
    const int64_t lowest = row > 0 ? plan.TimePoints[row - 1] : 0;
    if (edit.start < lowest)
        return QStringLiteral("The Start Time is not appropriate!");
    // The last part's stop edits are disabled; the bound only keeps a stored
    // time inside 32 bits.
    const int64_t highest = row < last ? plan.TimePoints[row + 2] : std::numeric_limits<int32_t>::max();
    if (highest < edit.stop)
        return QStringLiteral("The Stop Time is not appropriate!");
    // A name that would leave nothing before the extension is as blank as an
    // empty one: the part would be written as a hidden ".ext" file.
    if (edit.name.isEmpty() || WithoutExtension(edit.name).trimmed().isEmpty())
        return QStringLiteral("File name can not be blank!");
    if (!IsSafeFileName(edit.name))
        return QString::fromLatin1(UnsafeNameMessage);
    return {};
}

void ApplySelectionEdit(SplitPlan &plan, int row, const SelectionEdit &edit, const QString &extension)
{
    if (!IsValidRow(plan, row))
        return;
    const int32_t k = row + 1;
    if (plan.PartNames.size() <= k)
        plan.PartNames.resize(k + 1);
    if (plan.PartTips.size() <= k)
        plan.PartTips.resize(k + 1);
    // A time typed anew is a hand-set point; one left as shown keeps its exact frame.
    FitPointFrames(plan);
    if (plan.TimePoints[row] != edit.start)
        plan.PointFrames[row] = NoExactFrame;
    if (plan.TimePoints[row + 1] != edit.stop)
        plan.PointFrames[row + 1] = NoExactFrame;
    plan.TimePoints[row] = static_cast<int32_t>(edit.start);
    plan.TimePoints[row + 1] = static_cast<int32_t>(edit.stop);
    plan.PartNames[k] = WithoutExtension(edit.name) + '.' + output_format::ExtensionOfWord(extension);
    plan.PartTips[k] = edit.tip;
}

int SeekPositionForRow(const SplitPlan &plan, int row, int64_t durationMs)
{
    if (row < 0 || row >= PointCount(plan))
        return 0;
    return PerMille(static_cast<int64_t>(plan.TimePoints[row]) * 1000, durationMs);
}

QString RowHint(const SplitPlan &plan, int row, bool tipsEnabled)
{
    const int32_t k = row + 1;
    if (!tipsEnabled)
        return QString::number(k);
    return k >= 0 && k < plan.PartTips.size() ? plan.PartTips[k] : QString();
}

} // namespace SplitPointEditor
