#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "config/OutputSetup.h"
#include "merge/ConvertEngine.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kWav = 1, kFlac = 4;

// The width the file stores, as ffprobe tells it for PCM and for FLAC.
int StoredBits(const QString &path)
{
    const fixtures::Probe p = fixtures::ProbeFile(path);
    if (p.bitsPerSample > 0)
        return p.bitsPerSample;
    return p.raw.value("streams").toArray().first().toObject().value("bits_per_raw_sample").toString().toInt();
}

// A 48 kHz 24-bit stereo source, by ffmpeg.
QString Make24BitSource(const QString &path)
{
    const bool flac = path.endsWith(".flac");
    fixtures::MakeTone(path, 2.0, 48000, 2,
                       flac ? QStringList{"-c:a", "flac", "-sample_fmt", "s32"} : QStringList{"-c:a", "pcm_s24le"},
                       997);
    EXPECT_EQ(StoredBits(path), 24) << path.toStdString();
    return path;
}

struct Case {
    const char *sourceExt;
    int formatIndex;
};

class SameAsSource : public ::testing::TestWithParam<Case> {
protected:
    QString Convert(const QString &source, const TProgramSettings &settings)
    {
        ConvertRequest r;
        r.sources = {source};
        r.savePath = dir.filePath("out") + "/";
        r.formatIndex = GetParam().formatIndex;
        engine.Start(r, settings);
        EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
        return observer.written.value(1);
    }

    QTemporaryDir dir;
    TAudioFile2 fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    RecordingObserver observer;
    ConvertEngine engine{fileW, info, encoder, observer};
};

} // namespace

TEST_P(SameAsSource, LosslessConversionOfA48kHz24BitSourceIsBitExact)
{
    const QString source = Make24BitSource(dir.filePath(QStringLiteral("src.") + GetParam().sourceExt));
    TProgramSettings settings; // FLAC follows the source by default; WAV when chosen
    settings.wav_frequency = settings.wav_channels = settings.wav_bps = 0;
    const QString written = Convert(source, settings);

    const fixtures::Probe p = fixtures::ProbeFile(written);
    EXPECT_EQ(p.sampleRate, 48000);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(StoredBits(written), 24);
    EXPECT_EQ(fixtures::DecodedSamples(written), fixtures::DecodedSamples(source));
}

TEST_P(SameAsSource, AStoredValueStillWins)
{
    const QString source = Make24BitSource(dir.filePath(QStringLiteral("src.") + GetParam().sourceExt));
    QFile ini(dir.filePath("setup.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[flac]\nfrequency=44100\nchannels=1\nbps=16\n[wav]\nfrequency=44100\nchannels=1\nbps=16\n");
    ini.close();
    SetProgramDirectoryForTesting(dir.path());
    LoadProgramSettings();
    SetProgramDirectoryForTesting(QString());
    const QString written = Convert(source, ProgramSettings);

    const fixtures::Probe p = fixtures::ProbeFile(written);
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(StoredBits(written), 16);
}

INSTANTIATE_TEST_SUITE_P(SourcesAndOutputs, SameAsSource,
                         ::testing::Values(Case{"flac", kFlac}, Case{"wav", kFlac}, Case{"flac", kWav},
                                           Case{"wav", kWav}));

TEST(ResolvedForSource, StaysWithinWhatEachEncoderTakes)
{
    TProgramSettings zero;
    zero.mp3_frequency = zero.mp3_channels = zero.ogg_frequency = zero.ogg_channels = 0;
    zero.flac_frequency = zero.flac_channels = zero.flac_bps = 0;
    const SourceFormat hiRes{96000, 6, 0, 32};

    const TProgramSettings mp3 = ResolvedForSource(zero, OutputFormat::Mp3, hiRes);
    EXPECT_EQ(mp3.mp3_frequency, 48000);
    EXPECT_EQ(mp3.mp3_channels, 3); // "Joint Stereo"
    EXPECT_EQ(ResolvedForSource(zero, OutputFormat::Mp3, {11000, 1, 0, 16}).mp3_frequency, 11025);
    EXPECT_EQ(ResolvedForSource(zero, OutputFormat::Mp3, {11000, 1, 0, 16}).mp3_channels, 1);

    const TProgramSettings flac = ResolvedForSource(zero, OutputFormat::Flac, hiRes);
    EXPECT_EQ(flac.flac_frequency, 96000);
    EXPECT_EQ(flac.flac_channels, 6);
    EXPECT_EQ(flac.flac_bps, 24);

    // Ogg: the source's rate unless the encoder refuses it, then the nearest it takes.
    const TProgramSettings ogg =
        ResolvedForSource(zero, OutputFormat::Ogg, hiRes, [](int rate, int) { return rate <= 48000; });
    EXPECT_EQ(ogg.ogg_frequency, 48000);
    EXPECT_EQ(ogg.ogg_channels, 2);

    // Nothing known of the source: the long-standing defaults.
    const TProgramSettings unknown = ResolvedForSource(zero, OutputFormat::Flac, {});
    EXPECT_EQ(unknown.flac_frequency, 44100);
    EXPECT_EQ(unknown.flac_channels, 2);
    EXPECT_EQ(unknown.flac_bps, 16);
}

TEST(ResolvedForSource, ReaderTellsTheStoredWidth)
{
    QTemporaryDir dir;
    const QString s24 = Make24BitSource(dir.filePath("a.flac"));
    const QString mp3 = dir.filePath("b.mp3");
    fixtures::MakeTone(mp3, 1.0, 44100, 2, {"-c:a", "libmp3lame"});
    TAudioFile2 reader;
    reader.OpenFile(s24);
    EXPECT_EQ(reader.BitsPerSample(), 24);
    reader.CloseFile();
    reader.OpenFile(mp3);
    EXPECT_EQ(reader.BitsPerSample(), 16);
}
