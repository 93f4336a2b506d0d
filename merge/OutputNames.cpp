#include "merge/OutputNames.h"

#include "merge/SourceList.h"

#include <QFileInfo>


QString MergeOutputName(const QString &fileNameText, const QString &saveformat)
{
    return WithoutExtension(fileNameText) + QLatin1Char('.') + saveformat;
}

QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension)
{
    return savepath + FileNameOfPath(WithoutExtension(source)) + extension;
}

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
