// Placeholder until the configuration store lands.
#include "config/ProgramSettings.h"
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

TProgramSettings ProgramSettings;
static QString programDirOverride;

QString ProgramDirectory()
{
    const QString dir = programDirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : programDirOverride;
    return QDir::toNativeSeparators(dir.endsWith('/') ? dir : dir + '/');
}
void SetProgramDirectoryForTesting(const QString &dir) { programDirOverride = dir; }
QString ConfigFilePath() { return ProgramDirectory() + "setup.ini"; }
QString PathDelimiter() { return QString(QDir::separator()); }
QString DefaultSavePath()
{
#ifdef Q_OS_WIN
    return "C:\\My Music\\";
#else
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + "/";
#endif
}
void LoadProgramSettings() { ProgramSettings = TProgramSettings{DefaultSavePath(), "mp3"}; }
void SaveFormatSettings() {}
void SaveGeneralSettings(const QString &) {}
