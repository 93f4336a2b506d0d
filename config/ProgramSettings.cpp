#include "config/ProgramSettings.h"
#include "config/IniFile.h"
#include "config/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <algorithm>

TProgramSettings ProgramSettings;

namespace {

QString programDirOverride;

// The three WAV fields are unsigned; a negative number in the file is not a
// rate, channel count or sample size, so the key's default stands instead.
uint32_t ReadUnsigned(const QString &path, const QString &key, uint32_t def)
{
    const int value = ReadIniInt(path, "wav", key, static_cast<int>(def));
    return value < 0 ? def : static_cast<uint32_t>(value);
}

} // namespace

QString ProgramDirectory()
{
    const QString dir = programDirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : programDirOverride;
    return QDir::toNativeSeparators(dir.endsWith('/') || dir.endsWith(QDir::separator()) ? dir : dir + '/');
}

void SetProgramDirectoryForTesting(const QString &dir) { programDirOverride = dir; }

QString ConfigFilePath()
{
    if (!programDirOverride.isEmpty())
        return ProgramDirectory() + "setup.ini";
    const ProgramLayout layout = CurrentProgramLayout(QCoreApplication::applicationDirPath());
    return QDir::toNativeSeparators(
        SettingsPathFor(layout, qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()));
}

QString PathDelimiter()
{
#ifdef Q_OS_WIN
    return "\\";
#else
    return "/";
#endif
}

QString DefaultSavePath()
{
#ifdef Q_OS_WIN
    return "C:\\My Music\\";
#else
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + "/";
#endif
}

void LoadProgramSettings()
{
    const QString path = ConfigFilePath();
    const TProgramSettings defaults;
    TProgramSettings s;
    s.savepath = ReadIniString(path, "general", "savepath", DefaultSavePath());
    s.saveformat = ReadIniString(path, "general", "saveformat", "mp3");
    s.mp3_channels = ReadIniInt(path, "mp3", "channels", defaults.mp3_channels);
    s.mp3_frequency = ReadIniInt(path, "mp3", "frequency", defaults.mp3_frequency);
    s.mp3_bitrate = ReadIniInt(path, "mp3", "bitrate", defaults.mp3_bitrate);
    s.mp3_fvbr = ReadIniInt(path, "mp3", "fvbr", defaults.mp3_fvbr);
    s.mp3_maxbitrate = ReadIniInt(path, "mp3", "maxbitrate", defaults.mp3_maxbitrate);
    s.mp3_vbrquality = ReadIniInt(path, "mp3", "vbrquality", defaults.mp3_vbrquality);
    s.wav_frequency = ReadUnsigned(path, "frequency", defaults.wav_frequency);
    s.wav_channels = ReadUnsigned(path, "channels", defaults.wav_channels);
    s.wav_bps = ReadUnsigned(path, "bps", defaults.wav_bps);
    s.wma_wmaprofile = ReadIniInt(path, "wma", "wmaprofile", defaults.wma_wmaprofile);
    s.ogg_frequency = ReadIniInt(path, "ogg", "frequency", defaults.ogg_frequency);
    s.ogg_channels = ReadIniInt(path, "ogg", "channels", defaults.ogg_channels);
    s.ogg_bitrate = ReadIniInt(path, "ogg", "bitrate", defaults.ogg_bitrate);
    s.ogg_vbr = ReadIniInt(path, "ogg", "vbr", defaults.ogg_vbr);
    s.ogg_fquality = ReadIniInt(path, "ogg", "fquality", defaults.ogg_fquality);
    s.ogg_minbitrate = ReadIniInt(path, "ogg", "minbitrate", defaults.ogg_minbitrate);
    s.ogg_maxbitrate = ReadIniInt(path, "ogg", "maxbitrate", defaults.ogg_maxbitrate);
    s.ogg_quality = ReadIniInt(path, "ogg", "quality", defaults.ogg_quality);
    s.flac_frequency = ReadIniInt(path, "flac", "frequency", defaults.flac_frequency);
    s.flac_channels = ReadIniInt(path, "flac", "channels", defaults.flac_channels);
    s.flac_bps = ReadIniInt(path, "flac", "bps", defaults.flac_bps);
    s.flac_level = ReadIniInt(path, "flac", "level", defaults.flac_level);
    s.opus_bitrate = ReadIniInt(path, "opus", "bitrate", defaults.opus_bitrate);
    s.opus_mode = ReadIniInt(path, "opus", "mode", defaults.opus_mode);
    s.opus_complexity = ReadIniInt(path, "opus", "complexity", defaults.opus_complexity);
    s.m4a_bitrate = ReadIniInt(path, "m4a", "bitrate", defaults.m4a_bitrate);
    s.m4a_frequency = ReadIniInt(path, "m4a", "frequency", defaults.m4a_frequency);
    s.m4a_channels = ReadIniInt(path, "m4a", "channels", defaults.m4a_channels);
    s.alac_frequency = ReadIniInt(path, "alac", "frequency", defaults.alac_frequency);
    s.alac_channels = ReadIniInt(path, "alac", "channels", defaults.alac_channels);
    s.alac_bps = ReadIniInt(path, "alac", "bps", defaults.alac_bps);
    s.losslessmp3 = ReadIniInt(path, "general", "losslessmp3", defaults.losslessmp3) == 1 ? 1 : 0;
    s.jobs = std::clamp(ReadIniInt(path, "general", "jobs", defaults.jobs), 0, kMaxJobs);
    s.chaptermarks = ReadIniInt(path, "general", "chaptermarks", defaults.chaptermarks) == 1 ? 1 : 0;
    s.losslessjoin = ReadIniInt(path, "general", "losslessjoin", defaults.losslessjoin) == 1 ? 1 : 0;
    s.keepstructure = ReadIniInt(path, "general", "keepstructure", 0) == 1 ? 1 : 0;
    s.skipexisting = ReadIniInt(path, "general", "skipexisting", 0) == 1 ? 1 : 0;
    s.nametemplate = ReadIniString(path, "general", "nametemplate", QString());
    s.replaygain = ReadIniInt(path, "general", "replaygain", 0) == 1 ? 1 : 0;
    const int32_t normalise = ReadIniInt(path, "general", "normalise", 0);
    s.normalise = IsNormaliseTarget(normalise) ? normalise : 0;
    ProgramSettings = s;
}

void SaveFormatSettings()
{
    // One replacement of the file for all the format keys: either every key is
    // written or, when the file system refuses, the old file stays as it was.
    const TProgramSettings &s = ProgramSettings;
    IniBatchWriter w(ConfigFilePath());
    w.Set("mp3", "channels", s.mp3_channels);
    w.Set("mp3", "frequency", s.mp3_frequency);
    w.Set("mp3", "bitrate", s.mp3_bitrate);
    w.Set("mp3", "fvbr", s.mp3_fvbr);
    w.Set("mp3", "maxbitrate", s.mp3_maxbitrate);
    w.Set("mp3", "vbrquality", s.mp3_vbrquality);
    w.Set("wav", "frequency", QString::number(s.wav_frequency));
    w.Set("wav", "channels", QString::number(s.wav_channels));
    w.Set("wav", "bps", QString::number(s.wav_bps));
    w.Set("wma", "wmaprofile", s.wma_wmaprofile);
    w.Set("ogg", "frequency", s.ogg_frequency);
    w.Set("ogg", "channels", s.ogg_channels);
    w.Set("ogg", "bitrate", s.ogg_bitrate);
    w.Set("ogg", "vbr", s.ogg_vbr);
    w.Set("ogg", "minbitrate", s.ogg_minbitrate);
    w.Set("ogg", "maxbitrate", s.ogg_maxbitrate);
    w.Set("ogg", "fquality", s.ogg_fquality);
    w.Set("ogg", "quality", s.ogg_quality);
    w.Set("flac", "frequency", s.flac_frequency);
    w.Set("flac", "channels", s.flac_channels);
    w.Set("flac", "bps", s.flac_bps);
    w.Set("flac", "level", s.flac_level);
    w.Set("opus", "bitrate", s.opus_bitrate);
    w.Set("opus", "mode", s.opus_mode);
    w.Set("opus", "complexity", s.opus_complexity);
    w.Set("m4a", "bitrate", s.m4a_bitrate);
    w.Set("m4a", "frequency", s.m4a_frequency);
    w.Set("m4a", "channels", s.m4a_channels);
    w.Set("alac", "frequency", s.alac_frequency);
    w.Set("alac", "channels", s.alac_channels);
    w.Set("alac", "bps", s.alac_bps);
    w.Commit();
}

void SaveGeneralSettings(const QString &mergeFileName)
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "savepath", ProgramSettings.savepath);
    w.Set("general", "saveformat", ProgramSettings.saveformat);
    if (!mergeFileName.isEmpty())
        w.Set("general", "mergefilename", mergeFileName);
    w.Commit();
}

void SaveLosslessMp3Setting()
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "losslessmp3", ProgramSettings.losslessmp3);
    w.Commit();
}

void SaveChapterMarksSetting()
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "chaptermarks", ProgramSettings.chaptermarks);
    w.Set("general", "losslessjoin", ProgramSettings.losslessjoin);
    w.Commit();
}

void SaveJobsSetting()
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "jobs", ProgramSettings.jobs);
    w.Commit();
}

void SaveLibrarySettings()
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "keepstructure", ProgramSettings.keepstructure);
    w.Set("general", "skipexisting", ProgramSettings.skipexisting);
    w.Set("general", "nametemplate", ProgramSettings.nametemplate);
    w.Set("general", "replaygain", ProgramSettings.replaygain);
    w.Commit();
}

void SaveNormaliseSetting()
{
    IniBatchWriter w(ConfigFilePath());
    w.Set("general", "normalise", ProgramSettings.normalise);
    w.Commit();
}

bool IsNormaliseTarget(int32_t lufs)
{
    return lufs == -23 || lufs == -18 || lufs == -16 || lufs == -14;
}
