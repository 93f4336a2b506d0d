#include "merge/RunTexts.h"

#include <QDir>

QString FailureText(const QString &action, const QString &path, const QString &reason)
{
    if (!path.isEmpty() && (reason.contains(path) || reason.contains(QDir::toNativeSeparators(path))))
        return reason;
    return QStringLiteral("%1 %2: %3").arg(action, path, reason);
}

QString DamageLine(const QString &path, const QString &damage)
{
    if (damage.isEmpty())
        return {};
    return QStringLiteral("Warning: %1: %2").arg(QDir::toNativeSeparators(path), damage);
}

QString WithWarnings(const QString &message, const QStringList &warnings)
{
    return warnings.isEmpty() ? message : message + QLatin1Char('\n') + warnings.join(QLatin1Char('\n'));
}
