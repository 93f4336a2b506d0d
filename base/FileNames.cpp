#include "base/FileNames.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

static qsizetype LastSeparator(const QString &path)
{
    // Both delimiters count, so Windows-style paths split the same everywhere.
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

QString FileNameOfPath(const QString &path) { return path.mid(LastSeparator(path) + 1); }
QString FolderOfPath(const QString &path) { return path.left(LastSeparator(path) + 1); }

QString WithoutExtension(const QString &name)
{
    const qsizetype sep = LastSeparator(name);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > sep ? name.left(dot) : name;
}

bool MakeFolder(const QString &path) { return QDir(path).exists() || QDir().mkpath(path); }

static bool NameTaken(const QString &path, const QSet<QString> &reserved)
{
    if (reserved.contains(path))
        return true;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString WrittenPath(const QString &output)
{
    return WrittenPath(output, {});
}

QString WrittenPath(const QString &output, const QSet<QString> &reserved)
{
    if (!NameTaken(output, reserved))
        return output;
    const QString folder = FolderOfPath(output);
    const QString name = FileNameOfPath(output);
    QString candidate = folder + QStringLiteral("New_") + name;
    for (int n = 2; NameTaken(candidate, reserved); ++n)
        candidate = folder + QStringLiteral("New_%1_").arg(n) + name;
    return candidate;
}

static QString Normalised(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool SameFile(const QString &a, const QString &b)
{
    return Normalised(a) == Normalised(b);
}
