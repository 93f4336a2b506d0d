#include "merge/OutputNames.h"

#include "merge/SourceList.h"

#include <QFileInfo>

QString RemoveExtension(const QString &name)
{
    const qsizetype sep = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > sep ? name.left(dot) : name;
}

QString MergeOutputName(const QString &fileNameText, const QString &saveformat)
{
    return RemoveExtension(fileNameText) + QLatin1Char('.') + saveformat;
}

QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension)
{
    return savepath + FileNameOfPath(RemoveExtension(source)) + extension;
}

static bool NameTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString WrittenPath(const QString &output)
{
    if (!NameTaken(output))
        return output;
    const QString folder = FolderOfPath(output);
    const QString name = FileNameOfPath(output);
    QString candidate = folder + QStringLiteral("New_") + name;
    for (int n = 2; NameTaken(candidate); ++n)
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
