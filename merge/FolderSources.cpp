#include "merge/FolderSources.h"

#include "base/InputFormats.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// Runs of digits compare as numbers, the rest without regard to case. Called
// n log n times for a folder of n files: it allocates nothing.
int NaturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            // Leading zeros aside, the longer run is the larger number.
            while (i < a.size() - 1 && a[i] == u'0' && a[i + 1].isDigit())
                ++i;
            while (j < b.size() - 1 && b[j] == u'0' && b[j + 1].isDigit())
                ++j;
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            if (ei - i != ej - j)
                return ei - i < ej - j ? -1 : 1;
            for (; i < ei; ++i, ++j)
                if (a[i] != b[j])
                    return a[i] < b[j] ? -1 : 1;
            continue;
        }
        const char32_t ca = QChar::toCaseFolded(a[i].unicode()), cb = QChar::toCaseFolded(b[j].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
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
