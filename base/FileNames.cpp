#include "base/FileNames.h"

#include <QDir>

#include <algorithm>

QString WithoutExtension(const QString &name)
{
    const qsizetype sep = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > sep ? name.left(dot) : name;
}

bool MakeFolder(const QString &path) { return QDir(path).exists() || QDir().mkpath(path); }
