#include "merge/SourceList.h"

#include "audio/TAudioInformation2.h"

#include <exception>

QString DeriveFormatText(const QString &description)
{
    QString text = description;
    if (text.contains(QLatin1String("MPEG"), Qt::CaseSensitive)) {
        const QLatin1String layer("MPEG 1.0 layer-");
        const qsizetype at = text.indexOf(layer, 0, Qt::CaseInsensitive);
        if (at >= 0)
            text.replace(at, layer.size(), QStringLiteral("MP"));
    }
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        text[colon] = QLatin1Char(' ');
    return text;
}

SourceInfoProbe InformationProbe(TAudioInformation2 &info)
{
    return [&info](const QString &path) {
        SourceFileFacts facts;
        try {
            info.LoadFile(path);
        } catch (const std::exception &) {
            return facts; // shown as "Unreadable"; the user can remove the row
        }
        facts.readable = true;
        facts.formatText = info.FormatText();
        facts.durationMs = info.Duration();
        facts.totalSamples = info.TotalSamples();
        facts.fileSize = info.FileSize();
        facts.title = info.infoTitle().trimmed();
        return facts;
    };
}

void MergeSourceList::Add(const QStringList &paths)
{
    paths_ << paths;
    while (titles_.size() < paths_.size())
        titles_ << QString();
}

bool MergeSourceList::Remove(int row)
{
    if (row < 1 || row > Count())
        return false;
    paths_.removeAt(row - 1);
    titles_.removeAt(row - 1);
    return true;
}

void MergeSourceList::Clear()
{
    paths_.clear();
    titles_.clear();
}

bool MergeSourceList::MoveUp(int row)
{
    if (row < 2 || row > Count())
        return false;
    paths_.swapItemsAt(row - 1, row - 2);
    titles_.swapItemsAt(row - 1, row - 2);
    return true;
}

bool MergeSourceList::MoveDown(int row)
{
    if (row < 1 || row >= Count())
        return false;
    paths_.swapItemsAt(row - 1, row);
    titles_.swapItemsAt(row - 1, row);
    return true;
}

void MergeSourceList::Refresh(const SourceInfoProbe &probe)
{
    entries_.clear();
    defaultTitles_.clear();
    TotalSizeKb = 0;
    TotalSeconds = 0;
    ListTotalSamples = 0;
    Pending = 0;
    for (int p = 1; p <= Count(); ++p) {
        const QString &path = paths_[p - 1];
        const SourceFileFacts facts = probe(path);
        Pending += facts.pending ? 1 : 0;
        SourceFileEntry e;
        e.number = QString::number(p);
        e.fileName = FileNameOfPath(path);
        e.format = facts.pending    ? QStringLiteral("Reading...")
                   : facts.readable ? DeriveFormatText(facts.formatText)
                                    : QStringLiteral("Unreadable");
        const int32_t seconds = int32_t(facts.durationMs / 1000);
        const int32_t kb = int32_t(facts.fileSize / 1000);
        e.length = facts.pending ? QString() : FormatMinutesSeconds(seconds);
        e.sizeKb = facts.pending ? QString() : QString::number(kb);
        e.directory = FolderOfPath(path);
        defaultTitles_ << (facts.title.isEmpty() ? WithoutExtension(e.fileName) : facts.title);
        e.chapterTitle = titles_.value(p - 1).isEmpty() ? defaultTitles_.last() : titles_.value(p - 1);
        entries_ << e;
        TotalSizeKb += kb;
        TotalSeconds += seconds;
        ListTotalSamples += facts.totalSamples;
    }
}

void MergeSourceList::SetChapterTitle(int row, const QString &title)
{
    if (row < 1 || row > Count())
        return;
    titles_[row - 1] = title.trimmed();
    if (row <= entries_.size())
        entries_[row - 1].chapterTitle = titles_[row - 1].isEmpty() ? defaultTitles_.value(row - 1) : titles_[row - 1];
}

QStringList MergeSourceList::ChapterTitles() const
{
    QStringList titles;
    for (const SourceFileEntry &e : entries_)
        titles << e.chapterTitle;
    return titles;
}

QString MergeSourceList::TotalsLine() const
{
    return QStringLiteral(" ") + QString::number(Count()) + QStringLiteral(" file(s); ") + QStringLiteral("Total Length:")
        + FormatMinutesSeconds(TotalSeconds) + QStringLiteral("; ") + QStringLiteral("Total Size:")
        + QString::number(TotalSizeKb) + QStringLiteral("kb");
}
