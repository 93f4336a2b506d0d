#include "split/ChapterSplit.h"

#include "split/ListedParts.h"

#include <QDir>

#include <cmath>

int ApplyChapters(SplitPlan &plan, const ChapterList &chapters, int64_t totalFrames, int sampleRate,
                  const QString &extension)
{
    std::vector<ListedPart> parts;
    for (const ChapterMark &c : chapters) {
        // Read at the file's stream rate, which the source's own may differ from (a resampling reader).
        const int64_t frame = c.sampleRate == sampleRate || c.sampleRate <= 0
                                  ? c.startFrame
                                  : int64_t(std::llround(double(c.startFrame) * sampleRate / c.sampleRate));
        if (frame < 0 || frame >= totalFrames || (!parts.empty() && frame <= parts.back().start))
            continue;
        ListedPart part;
        part.start = frame;
        part.number = int32_t(parts.size()) + 1;
        part.tip = QStringLiteral("No tip");
        const QString title = c.title.trimmed();
        part.tag.title = title.isEmpty() ? QStringLiteral("Chapter %1").arg(part.number) : title;
        parts.push_back(part);
    }
    if (parts.empty())
        return 0;
    const int32_t total = int32_t(parts.size());
    for (ListedPart &p : parts)
        p.tag.track = QStringLiteral("%1/%2").arg(p.number).arg(total);
    FillListedParts(plan, parts, sampleRate, extension, QStringLiteral("Before the first chapter"),
                    QStringLiteral("Before the first chapter"));
    return total;
}

QString NoChaptersText(const QString &sourcePath)
{
    return QStringLiteral("%1 has no chapters to split at.").arg(QDir::toNativeSeparators(sourcePath));
}
