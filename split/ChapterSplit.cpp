#include "split/ChapterSplit.h"

#include "split/CueSheet.h"

#include <QDir>

#include <cmath>
#include <vector>

int ApplyChapters(SplitPlan &plan, const ChapterList &chapters, int64_t totalFrames, int sampleRate,
                  const QString &extension)
{
    std::vector<int64_t> starts;
    QStringList titles;
    for (const ChapterMark &c : chapters) {
        // Read at the file's stream rate, which the source's own may differ from (a resampling reader).
        const int64_t frame = c.sampleRate == sampleRate || c.sampleRate <= 0
                                  ? c.startFrame
                                  : int64_t(std::llround(double(c.startFrame) * sampleRate / c.sampleRate));
        if (frame < 0 || frame >= totalFrames || (!starts.empty() && frame <= starts.back()))
            continue;
        starts.push_back(frame);
        titles << c.title.trimmed();
    }
    if (starts.empty())
        return 0;

    const bool lead = starts.front() > 0;
    std::vector<int64_t> points(starts.begin() + (lead ? 0 : 1), starts.end());
    plan.SetExactPoints(points, sampleRate);

    const QString ext = extension.toLower();
    const int32_t first = lead ? 2 : 1;
    if (lead) {
        plan.PartNames[1] = "00 - Before the first chapter." + ext;
        plan.PartTips[1] = "Before the first chapter";
        plan.PartSaveFlags[1] = false;
    }
    plan.PartTags.resize(plan.PartCount + 1);
    const int32_t total = int32_t(starts.size());
    for (int32_t i = 0; i < total; ++i) {
        const int32_t k = first + i;
        const QString title = titles[i].isEmpty() ? QStringLiteral("Chapter %1").arg(i + 1) : titles[i];
        plan.PartNames[k] = QStringLiteral("%1 - %2.%3").arg(i + 1, 2, 10, QChar('0')).arg(SafeFileNamePart(title), ext);
        plan.PartTips[k] = QStringLiteral("No tip");
        plan.PartSaveFlags[k] = true;
        SplitPartTag &tag = plan.PartTags[k];
        tag.title = title;
        tag.track = QStringLiteral("%1/%2").arg(i + 1).arg(total);
    }
    return total;
}

QString NoChaptersText(const QString &sourcePath)
{
    return QStringLiteral("%1 has no chapters to split at.").arg(QDir::toNativeSeparators(sourcePath));
}
