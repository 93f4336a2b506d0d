#include "merge/FolderSources.h"

#include "base/InputFormats.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

// Runs of digits compare as numbers, the rest without regard to case.
int NaturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros aside, the longer run is the larger number.
            const QString na = a.mid(i, ei - i).remove(QRegularExpression("^0+")), nb = b.mid(j, ej - j).remove(QRegularExpression("^0+"));
            if (na.size() != nb.size())
                return na.size() < nb.size() ? -1 : 1;
            if (const int c = na.compare(nb); c != 0)
                return c;
            i = ei;
            j = ej;
            continue;
        }
        const int c = QString::compare(a.mid(i, 1), b.mid(j, 1), Qt::CaseInsensitive);
        if (c != 0)
            return c;
        ++i;
        ++j;
    }
    return (a.size() - i > 0) - (b.size() - j > 0);
}

// Track 2 before track 10, and case aside, as a file manager shows them.
void SortByName(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = NaturalCompare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
}

void AddFolder(const QString &folder, const QString &base, bool recursive, FolderSources &out)
{
    const QDir dir(folder);
    QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::Readable);
    SortByName(files);
    for (const QString &name : files) {
        if (!input_formats::IsReadable(name))
            continue;
        const QString path = dir.absoluteFilePath(name);
        out.files << path;
        out.baseFolders.insert(path, base);
    }
    if (!recursive)
        return;
    // Links to folders are not followed: a link back up would never end.
    QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    SortByName(subfolders);
    for (const QString &name : subfolders)
        AddFolder(dir.absoluteFilePath(name), base, recursive, out);
}

} // namespace

FolderSources ExpandSources(const QStringList &paths, bool recursive)
{
    FolderSources out;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QString base = QDir::cleanPath(info.absoluteFilePath());
            AddFolder(base, base, recursive, out);
        } else {
            out.files << info.absoluteFilePath(); // a missing file is the run's to report
        }
    }
    return out;
}
