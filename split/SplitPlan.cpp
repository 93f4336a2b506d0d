#include "split/SplitPlan.h"
#include "base/FileNames.h"
#include "base/OutputFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

QString PartNumberText(int32_t k)
{
    return k <= 9 ? QString("0%1").arg(k) : QString::number(k);
}

// Point k as the list shows it: milliseconds from the start, and whether it
// lies between two seconds.
struct ShownPoint {
    int64_t ms = 0;
    bool fractional = false;
};

ShownPoint ShowPoint(const SplitPlan &plan, size_t k)
{
    const int64_t exact = plan.ExactFrame(k);
    const int64_t rate = plan.SampleRate;
    if (exact == NoExactFrame || rate <= 0 || exact % rate == 0)
        return {int64_t(k < plan.TimePoints.size() ? plan.TimePoints[k] : 0) * 1000, false};
    return {(exact * 2000 + rate) / (2 * rate), true};
}

QString PointText(const ShownPoint &p)
{
    return p.fractional ? FormatMinutesSecondsMs(p.ms) : FormatMinutesSeconds(int32_t(p.ms / 1000));
}

} // namespace

QString SplitPlan::PartBaseName() const
{
    return WithoutExtension(QFileInfo(SourcePath).fileName());
}

QString SplitPlan::NumberedPartName(int32_t k, const QString &extension) const
{
    return PartBaseName() + '-' + PartNumberText(k) + '.' + output_format::ExtensionOfWord(extension);
}

QString SplitPlan::ManualPartFileName(int32_t k, const QString &extension) const
{
    const QString stored = k >= 0 && k < PartNames.size() ? PartNames[k] : QString();
    return WithoutExtension(stored) + '.' + output_format::ExtensionOfWord(extension);
}

void SplitPlan::ResetManualPlan(const QString &extension)
{
    PartCount = 1;
    TimePoints = {0, DurationSeconds};
    PartNames = {QString(), PartBaseName() + "-01." + output_format::ExtensionOfWord(extension.toLower())};
    PartTips = {QString(), QString("No tip")};
    PartSaveFlags = {false, true};
    PointFrames = {NoExactFrame, NoExactFrame};
    PartTags.clear();
}

void SplitPlan::ResizeParts(int32_t count)
{
    const qsizetype size = std::max<int32_t>(count, 0) + 1;
    TimePoints.resize(size, 0);
    PartNames.resize(size);
    PartTips.resize(size);
    PartSaveFlags.resize(size);
    PointFrames.resize(size, NoExactFrame);
    if (!PartTags.isEmpty())
        PartTags.resize(size);
}

void SplitPlan::SetExactPoints(const std::vector<int64_t> &frames, int sampleRate)
{
    PartCount = int32_t(frames.size()) + 1;
    const size_t size = size_t(PartCount) + 1;
    TimePoints.assign(size, 0);
    PointFrames.assign(size, NoExactFrame);
    SampleRate = sampleRate;
    for (size_t k = 1; k < size - 1; ++k) {
        PointFrames[k] = frames[k - 1];
        // The list's whole seconds, never past the source's own.
        const int64_t seconds = sampleRate > 0 ? frames[k - 1] / sampleRate : 0;
        TimePoints[k] = int32_t(std::clamp<int64_t>(seconds, 0, DurationSeconds));
    }
    TimePoints[size - 1] = DurationSeconds;
    PartNames = QList<QString>(qsizetype(size));
    PartTips = QList<QString>(qsizetype(size));
    PartSaveFlags = QList<bool>(qsizetype(size), false);
    PartTags.clear();
}

bool SplitPlan::HasExactPoints() const
{
    for (size_t k = 1; k + 1 < TimePoints.size(); ++k) {
        if (ExactFrame(k) != NoExactFrame)
            return true;
    }
    return false;
}

QList<SplitPartRow> SplitPlan::PartRows() const
{
    QList<SplitPartRow> rows;
    for (int32_t k = 1; k <= PartCount && k < qsizetype(TimePoints.size()); ++k) {
        SplitPartRow row;
        row.number = k;
        const ShownPoint start = ShowPoint(*this, size_t(k - 1));
        const ShownPoint end = ShowPoint(*this, size_t(k));
        row.startText = PointText(start);
        row.endText = PointText(end);
        // The length is the difference of what the row shows, so the three
        // columns agree for the reader.
        row.lengthText = PointText({end.ms - start.ms, start.fractional || end.fractional});
        row.fileName = k < PartNames.size() ? PartNames[k] : QString();
        row.checked = k < PartSaveFlags.size() && PartSaveFlags[k];
        rows << row;
    }
    return rows;
}

void SplitPlan::BuildSamplePoints(SplitMode mode, int32_t number, int64_t totalSamples, int64_t durationMs)
{
    if ((mode == SplitMode::ByAmount || mode == SplitMode::ByTime) && number == 0)
        return;

    const int64_t T = totalSamples;
    const int64_t D = durationMs;
    // Without a length there is nothing to divide: the whole source is one part.
    if (T <= 0 || D <= 0) {
        PartCount = 1;
        SamplePoints.assign(2, 0.0L);
        SamplePoints[1] = static_cast<long double>(std::max<int64_t>(T, 0));
        return;
    }

    int32_t n = 1;
    switch (mode) {
    case SplitMode::ByAmount: {
        n = std::max<int32_t>(number, 1);
        SamplePoints.assign(size_t(n) + 1, 0.0L);
        const int64_t per = T / n; // truncating: the last part takes the remainder
        for (int32_t k = 1; k < n; ++k)
            SamplePoints[k] = static_cast<long double>(per * k);
        break;
    }
    case SplitMode::ByTime: {
        const int64_t s = std::max<int32_t>(number, 1);
        const long double parts = std::ceil(static_cast<long double>(D) / static_cast<long double>(s * 1000));
        n = static_cast<int32_t>(std::clamp<long double>(parts, 1.0L, 2147483646.0L));
        SamplePoints.assign(size_t(n) + 1, 0.0L);
        const long double framesPerMs = static_cast<long double>(T) / static_cast<long double>(D);
        for (int32_t k = 1; k < n; ++k)
            SamplePoints[k] = framesPerMs * s * k * 1000.0L;
        break;
    }
    case SplitMode::BySettings: {
        n = std::max<int32_t>(int32_t(TimePoints.size()) - 1, 1);
        SamplePoints.assign(size_t(n) + 1, 0.0L);
        const long double framesPerMs = static_cast<long double>(T) / static_cast<long double>(D);
        for (int32_t k = 1; k < n; ++k) {
            const int64_t exact = ExactFrame(size_t(k));
            SamplePoints[k] = exact != NoExactFrame ? static_cast<long double>(exact)
                                                    : framesPerMs * TimePoints[k] * 1000.0L;
        }
        break;
    }
    }
    PartCount = n;
    // The last part always runs to the end of the source.
    SamplePoints[n] = static_cast<long double>(T);
}

std::optional<int32_t> SplitPlan::TimePieCount(int64_t secondsPerPart) const
{
    if (secondsPerPart < 1)
        return std::nullopt;
    const int64_t d = std::max<int32_t>(DurationSeconds, 0);
    const int64_t count = d / secondsPerPart + (d % secondsPerPart != 0 ? 1 : 0);
    return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
}

std::optional<int32_t> ParseWholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString InvalidIntegerText(const QString &text)
{
    return QString("'%1' is not a valid integer value").arg(text);
}
