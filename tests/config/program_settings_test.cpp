#include "config/IniFile.h"
#include "config/ProgramSettings.h"
#include "tests/common/FileSizeLimit.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ProgramSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override
    {
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
    }
    void TearDown() override { SetProgramDirectoryForTesting(QString()); }

    void WriteIni(const QByteArray &text)
    {
        QFile f(ConfigFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray Ini() const
    {
        QFile f(ConfigFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(ProgramSettingsTest, ConfigFileLiesInProgramDirectory)
{
    EXPECT_EQ(ConfigFilePath(), QDir::toNativeSeparators(dir.path() + "/setup.ini"));
    EXPECT_TRUE(ProgramDirectory().endsWith(QDir::separator()));
    EXPECT_EQ(PathDelimiter(), QString(QDir::separator()));
    EXPECT_TRUE(DefaultSavePath().endsWith(PathDelimiter()));
}

TEST_F(ProgramSettingsTest, NoFileLoadsDefaults)
{
    ProgramSettings.mp3_bitrate = 1;
    ProgramSettings.savepath = "x";
    LoadProgramSettings();
    const TProgramSettings &s = ProgramSettings;
    EXPECT_EQ(s.savepath, DefaultSavePath());
    EXPECT_EQ(s.saveformat, "mp3");
    EXPECT_EQ(s.mp3_channels, 3);
    EXPECT_EQ(s.mp3_frequency, 44100);
    EXPECT_EQ(s.mp3_bitrate, 128);
    EXPECT_EQ(s.mp3_fvbr, 0);
    EXPECT_EQ(s.mp3_maxbitrate, 192);
    EXPECT_EQ(s.mp3_vbrquality, 7);
    EXPECT_EQ(s.wav_frequency, 44100u);
    EXPECT_EQ(s.wav_channels, 2u);
    EXPECT_EQ(s.wav_bps, 16u);
    EXPECT_EQ(s.wma_wmaprofile, 38);
    EXPECT_EQ(s.ogg_frequency, 44100);
    EXPECT_EQ(s.ogg_channels, 2);
    EXPECT_EQ(s.ogg_bitrate, 128);
    EXPECT_EQ(s.ogg_vbr, 0);
    EXPECT_EQ(s.ogg_fquality, 0);
    EXPECT_EQ(s.ogg_minbitrate, 128);
    EXPECT_EQ(s.ogg_maxbitrate, 192);
    EXPECT_EQ(s.ogg_quality, 300);
    // FLAC follows the source unless told otherwise.
    EXPECT_EQ(s.flac_frequency, 0);
    EXPECT_EQ(s.flac_channels, 0);
    EXPECT_EQ(s.flac_bps, 0);
    EXPECT_EQ(s.flac_level, 5);
    EXPECT_EQ(s.opus_bitrate, 128);
    EXPECT_EQ(s.opus_mode, 0);
    EXPECT_EQ(s.opus_complexity, 10);
    EXPECT_FALSE(QFile::exists(ConfigFilePath()));
}

TEST_F(ProgramSettingsTest, LoadsStoredValuesUnchangedEvenOutsideTheDialogLists)
{
    WriteIni("[general]\nsavepath=/music/out/\nsaveformat=OGG\nmergefilename=mix\n"
             "[mp3]\nchannels=1\nfrequency=12345\nbitrate=$C0\nfvbr=2\nmaxbitrate=0x100\nvbrquality=11\n"
             "[wav]\nfrequency=8000\nchannels=1\nbps=24\n[wma]\nwmaprofile=5\n"
             "[ogg]\nfrequency=22050\nchannels=1\nbitrate=abc\nvbr=1\nfquality=1\nminbitrate=64\n"
             "maxbitrate=320\nquality=1000\n");
    LoadProgramSettings();
    const TProgramSettings &s = ProgramSettings;
    EXPECT_EQ(s.savepath, "/music/out/");
    EXPECT_EQ(s.saveformat, "OGG");
    EXPECT_EQ(s.mp3_channels, 1);
    EXPECT_EQ(s.mp3_frequency, 12345);
    EXPECT_EQ(s.mp3_bitrate, 192);
    EXPECT_EQ(s.mp3_fvbr, 2); // kept as stored; only exactly 1 means VBR on
    EXPECT_EQ(s.mp3_maxbitrate, 256);
    EXPECT_EQ(s.mp3_vbrquality, 11);
    EXPECT_EQ(s.wav_frequency, 8000u);
    EXPECT_EQ(s.wav_channels, 1u);
    EXPECT_EQ(s.wav_bps, 24u);
    EXPECT_EQ(s.wma_wmaprofile, 5);
    EXPECT_EQ(s.ogg_frequency, 22050);
    EXPECT_EQ(s.ogg_channels, 1);
    EXPECT_EQ(s.ogg_bitrate, 128);
    EXPECT_EQ(s.ogg_vbr, 1);
    EXPECT_EQ(s.ogg_fquality, 1);
    EXPECT_EQ(s.ogg_minbitrate, 64);
    EXPECT_EQ(s.ogg_maxbitrate, 320);
    EXPECT_EQ(s.ogg_quality, 1000);
}

TEST_F(ProgramSettingsTest, NegativeWavValuesLoadAsDefaults)
{
    WriteIni("[wav]\nfrequency=-1\nchannels=-2\nbps=$FFFFFFFF\n");
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.wav_frequency, 44100u);
    EXPECT_EQ(ProgramSettings.wav_channels, 2u);
    EXPECT_EQ(ProgramSettings.wav_bps, 16u);
}

TEST_F(ProgramSettingsTest, FormatSettingsCreateFileInKeyOrderWithoutGeneralSection)
{
    SaveFormatSettings();
    EXPECT_EQ(Ini(), "[mp3]\nchannels=3\nfrequency=44100\nbitrate=128\nfvbr=0\nmaxbitrate=192\nvbrquality=7\n"
                     "[wav]\nfrequency=44100\nchannels=2\nbps=16\n"
                     "[wma]\nwmaprofile=38\n"
                     "[ogg]\nfrequency=44100\nchannels=2\nbitrate=128\nvbr=0\nminbitrate=128\nmaxbitrate=192\n"
                     "fquality=0\nquality=300\n"
                     "[flac]\nfrequency=0\nchannels=0\nbps=0\nlevel=5\n"
                     "[opus]\nbitrate=128\nmode=0\ncomplexity=10\n"
                     "[m4a]\nbitrate=128\nfrequency=0\nchannels=0\n"
                     "[alac]\nfrequency=0\nchannels=0\nbps=0\n");
}

TEST_F(ProgramSettingsTest, SavedSettingsLoadBack)
{
    ProgramSettings.mp3_channels = 5;
    ProgramSettings.wav_bps = 32;
    ProgramSettings.ogg_quality = 900;
    ProgramSettings.flac_bps = 24;
    ProgramSettings.flac_level = 8;
    ProgramSettings.opus_bitrate = 64;
    ProgramSettings.opus_mode = 2;
    ProgramSettings.savepath = "/a b/";
    ProgramSettings.saveformat = "wav";
    SaveFormatSettings();
    SaveGeneralSettings("joined.wav");
    const TProgramSettings saved = ProgramSettings;
    ProgramSettings = TProgramSettings{};
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.mp3_channels, 5);
    EXPECT_EQ(ProgramSettings.wav_bps, 32u);
    EXPECT_EQ(ProgramSettings.ogg_quality, 900);
    EXPECT_EQ(ProgramSettings.flac_bps, 24);
    EXPECT_EQ(ProgramSettings.flac_level, 8);
    EXPECT_EQ(ProgramSettings.opus_bitrate, 64);
    EXPECT_EQ(ProgramSettings.opus_mode, 2);
    EXPECT_EQ(ProgramSettings.savepath, "/a b/");
    EXPECT_EQ(ProgramSettings.saveformat, "wav");
    EXPECT_EQ(ReadIniString(ConfigFilePath(), "general", "mergefilename", ""), "joined.wav");
}

TEST_F(ProgramSettingsTest, FormatSettingsKeepUnrelatedLinesAndTips)
{
    WriteIni("; written by hand\n[tips]\nshowtip=0\ntipno=12\n[mp3]\nbitrate=64\nextra=yes\n");
    ProgramSettings.mp3_bitrate = 320;
    SaveFormatSettings();
    const QByteArray ini = Ini();
    EXPECT_TRUE(ini.startsWith("; written by hand\n[tips]\nshowtip=0\ntipno=12\n"
                               "[mp3]\nbitrate=320\nextra=yes\nchannels=3\nfrequency=44100\nfvbr=0\n"))
        << ini.constData();
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "tips", "tipno", 1), 12);
}

TEST_F(ProgramSettingsTest, GeneralSettingsWriteMergeNameOnlyWhenGiven)
{
    ProgramSettings.savepath = "/out/";
    ProgramSettings.saveformat = "wma";
    SaveGeneralSettings("");
    EXPECT_EQ(Ini(), "[general]\nsavepath=/out/\nsaveformat=wma\n");
    SaveGeneralSettings("merged");
    EXPECT_EQ(Ini(), "[general]\nsavepath=/out/\nsaveformat=wma\nmergefilename=merged\n");
}

TEST_F(ProgramSettingsTest, FailedSaveLeavesFileAndRecordAsTheyWere)
{
    const QByteArray old = "[mp3]\r\nbitrate=64\r\n";
    WriteIni(old);
    ProgramSettings.mp3_bitrate = 320;
    QString formatError, generalError;
    {
        FileSizeLimit full;
        try {
            SaveFormatSettings();
        } catch (const std::runtime_error &e) {
            formatError = QString::fromUtf8(e.what());
        }
        try {
            SaveGeneralSettings("x");
        } catch (const std::runtime_error &e) {
            generalError = QString::fromUtf8(e.what());
        }
    }
    EXPECT_EQ(formatError, "Unable to write to " + ConfigFilePath());
    EXPECT_EQ(generalError, "Unable to write to " + ConfigFilePath());
    EXPECT_EQ(ProgramSettings.mp3_bitrate, 320);
    EXPECT_EQ(Ini(), old);
}

} // namespace

TEST_F(ProgramSettingsTest, JobsDefaultToEveryCoreAndAreWrittenAlone)
{
    WriteIni("[general]\nsavepath=/out/\n");
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.jobs, 0);
    WriteIni("[general]\nsavepath=/out/\njobs=-3\n");
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.jobs, 0);
    ProgramSettings.jobs = 3;
    SaveJobsSetting();
    EXPECT_EQ(Ini(), "[general]\nsavepath=/out/\njobs=3\n");
    ProgramSettings = TProgramSettings{};
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.jobs, 3);
}

TEST_F(ProgramSettingsTest, LoudnessChoicesDefaultToOffAndAreWrittenAlone)
{
    WriteIni("[general]\nsavepath=/out/\nnormalise=-20\nreplaygain=7\n");
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.normalise, 0); // not one of the offered targets
    EXPECT_EQ(ProgramSettings.replaygain, 0);
    ProgramSettings.normalise = -16;
    SaveNormaliseSetting();
    EXPECT_EQ(Ini(), "[general]\nsavepath=/out/\nnormalise=-16\nreplaygain=7\n");
    ProgramSettings.replaygain = 1;
    SaveLibrarySettings();
    ProgramSettings = TProgramSettings{};
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.normalise, -16);
    EXPECT_EQ(ProgramSettings.replaygain, 1);
}
