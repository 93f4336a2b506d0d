#include "config/ProgramFiles.h"
#include "config/ProgramSettings.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kShareDir = QStringLiteral("../share/quorvis");

} // namespace

QString SettingsPathFor(const ProgramLayout &layout, const QString &xdgConfigHome, const QString &home)
{
    const QString exeDir = QDir::cleanPath(layout.executableDir);
    const bool installed = layout.shareDirBeside && QFileInfo(exeDir).fileName() == QLatin1String("bin");
    if (!installed && layout.besideWritable)
        return exeDir + "/setup.ini";
    // The XDG rule: a relative value is invalid and is ignored.
    const QString configHome = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
        ? QDir::cleanPath(xdgConfigHome)
        : QDir::cleanPath(home) + "/.config";
    return configHome + "/quorvis/setup.ini";
}

ProgramLayout CurrentProgramLayout(const QString &executableDir)
{
    ProgramLayout layout;
    layout.executableDir = executableDir;
    const QDir dir(executableDir);
    layout.shareDirBeside = QFileInfo(dir.filePath(kShareDir)).isDir();
    // A setup.ini the user may write can be rewritten in place even when its
    // folder is closed to new files.
    const QFileInfo beside(dir.filePath("setup.ini"));
    layout.besideWritable = QFileInfo(executableDir).isWritable() || (beside.exists() && beside.isWritable());
    return layout;
}

QString ProgramDataFile(const QString &name)
{
    const QString beside = ProgramDirectory() + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = QDir::toNativeSeparators(QDir::cleanPath(QDir(ProgramDirectory()).filePath(kShareDir + '/' + name)));
    return QFileInfo::exists(shared) ? shared : beside;
}
