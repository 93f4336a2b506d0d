// What callers of the writer rely on beyond the formats themselves: input
// format changes, refused settings, failing disks, the profile list.
#include "WriteTestUtil.h"
#include "tests/common/AsOrdinaryUser.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/InChild.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

#include "audio/AudioError.h"

using namespace writetest;

namespace {

// A merge of a 44.1 kHz stereo file and a 48 kHz mono file: the second block
// continues the sine, so any lost, repeated or zero samples show as a jump.
TEST(InputFormatChange, JoinsResampledBlocksWithoutGapOrClick)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("merged.wav");
    TAudioFile2 file;
    file.SetWavFormat(44100, 2, 32);
    file.SetInputFormat(44100, 2);
    file.CreateFile(path, 0);
    ASSERT_EQ(file.LastError(), 0) << file.LastErrorText().toStdString();
    ASSERT_EQ(file.State(), 2);
    // First source: 1 s at the output format (passes through), in two blocks.
    const PcmArray first = Sine(44100, 2, 44100);
    file.SetInputFormat(44100, 2);
    file.WriteArray(PcmArray(first.begin(), first.begin() + 2 * 30000));
    file.SetInputFormat(44100, 2);
    file.WriteArray(PcmArray(first.begin() + 2 * 30000, first.end()));
    // Second source: 1 s at 48 kHz mono, then a third at 22.05 kHz stereo.
    file.SetInputFormat(48000, 1);
    file.WriteArray(Sine(48000, 1, 48000, 440.0, 0.5, 48000));
    file.SetInputFormat(22050, 2);
    file.WriteArray(Sine(22050, 2, 22050, 440.0, 0.5, 2 * 22050));
    file.CloseFile();
    EXPECT_NE(file.State(), 2);

    const std::vector<float> out = fixtures::DecodedSamples(path);
    const int64_t frames = int64_t(out.size()) / 2;
    EXPECT_NEAR(double(frames), 3.0 * 44100, 4.0);
    // The output must follow the one continuous sine: a lost or repeated frame
    // shifts its phase (an error up to 2*pi*440/44100*0.5 = 0.031 from there
    // on), a gap or click stands out as a larger one. The resampler's filter
    // edges at a change stay near 1 % of full scale. The final frames are the
    // flushed filter tail.
    double worst = 0;
    int64_t worstAt = 0;
    for (int64_t i = 0; i < frames - 64; ++i) {
        const double ideal = 0.5 * std::sin(2.0 * M_PI * 440.0 * double(i) / 44100.0);
        const double error = std::abs(out[size_t(2 * i)] - ideal);
        if (error > worst) {
            worst = error;
            worstAt = i;
        }
        ASSERT_EQ(out[size_t(2 * i)], out[size_t(2 * i + 1)]) << "channels differ at " << i;
    }
    EXPECT_LT(worst, 0.02) << "worst at frame " << worstAt;
    // Unity-gain remix: the mono part keeps its level on both channels.
    float peak = 0;
    for (int64_t i = 50000; i < 80000; ++i)
        peak = std::max(peak, std::abs(out[size_t(2 * i)]));
    EXPECT_NEAR(peak, 0.5, 0.01);
}

TEST(InputFormatChange, StereoToMonoAveragesTheChannels)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("mono.wav");
    PcmArray pcm;
    for (int i = 0; i < 4800; ++i) {
        pcm.push_back(0.8f);
        pcm.push_back(0.4f);
    }
    TAudioFile2 file;
    file.SetWavFormat(48000, 1, 32);
    ASSERT_TRUE(WriteAll(file, path, pcm, 48000, 2));
    const std::vector<float> out = fixtures::DecodedSamples(path);
    ASSERT_EQ(out.size(), 4800u);
    EXPECT_NEAR(out[2400], 0.6f, 1e-6);
}

TEST(InputFormatChange, ConversionOrderCreateBeforeInputFormatWorks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("convert.ogg");
    TAudioFile2 file;
    file.SetOggFormat(44100, 2, 128, 0, 0, -1);
    file.CreateFile(path, 0);
    ASSERT_EQ(file.LastError(), 0) << file.LastErrorText().toStdString();
    file.SetInputFormat(22050, 1);
    file.WriteArray(Sine(22050, 1, 22050));
    file.CloseFile();
    EXPECT_NEAR(double(fixtures::DecodedFrames(path)), 44100.0, 4.0);
}

// The input format belongs to the file it was given for: a writer reused for
// the next file is told again, and Opus, whose channels follow the input,
// refuses to guess when it was not.
TEST(InputFormat, IsForgottenWhenTheFileClosesAndOpusNeedsIt)
{
    QTemporaryDir dir;
    TAudioFile2 file;
    file.SetOpusFormat(96, 0, 10);
    ASSERT_TRUE(WriteAll(file, dir.filePath("mono.opus"), Sine(48000, 1, 4800), 48000, 1));
    file.CreateFile(dir.filePath("unknown.opus"), 0);
    EXPECT_NE(file.LastError(), 0);
    EXPECT_TRUE(file.LastErrorText().contains(dir.filePath("unknown.opus"))) << file.LastErrorText().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("unknown.opus")));
    ASSERT_TRUE(WriteAll(file, dir.filePath("stereo.opus"), Sine(48000, 2, 4800), 48000, 2));
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("mono.opus")).channels, 1);
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("stereo.opus")).channels, 2);
}

// Settings no encoder can honour: refused with the value named, and no file.
struct RefusedCase {
    const char *name;
    const char *extension;
    std::function<void(TAudioFile2 &)> configure;
    const char *named; // must appear in the message
    bool refusedAtFormatCall = true;
};

const RefusedCase kRefused[] = {
    {"Wav2Bits", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 2); }, "2 bits"},
    {"Wav3Bits", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 3); }, "3 bits"},
    {"Wav5Bits", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 5); }, "5 bits"},
    {"WavThreeChannels", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 3, 16); }, "channel count 3"},
    {"Mp3Mode0", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 0); }, "mode 0"},
    {"Mp3Mode6", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 6); }, "mode 6"},
    {"Mp3NegativeRate", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(-44100, 128, 3); }, "-44100 Hz"},
    {"Mp3ZeroRate", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(0, 128, 3); }, "0 Hz"},
    {"Mp3BitRateIllegalAtRate", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 8, 3); }, "8 kbps"},
    {"Mp3BitRateTooHighAt22kHz", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(22050, 320, 3); }, "320 kbps"},
    {"Mp3NoSuchRate", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(96000, 128, 3); }, "96000 Hz"},
    {"Mp3VbrMaxBelowMin", "mp3",
     [](TAudioFile2 &f) {
         TAudioFile2LameEnc e;
         e.Bitrate = 192;
         e.MaxBitrate = 128;
         f.SetMp3Encoder(e);
     },
     "128 kbps"},
    {"Mp3VbrQuality10", "mp3",
     [](TAudioFile2 &f) {
         TAudioFile2LameEnc e;
         e.VbrQuality = 10;
         f.SetMp3Encoder(e);
     },
     "quality 10"},
    {"OggThreeChannels", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 3, 128, 0, 0, -1); }, "channel count 3"},
    {"OggBitRateTooLow", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 8, 0, 0, -1); }, "8 kbps"},
    {"OggMinAboveMax", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 128, 192, 96, -1); }, "128 kbps"},
    {"OggQuality2000", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 0, 0, 0, 2000); }, "quality 2000"},
    // Selecting a profile only names it (the settings dialog must open whatever
    // setup.ini holds); creating the file refuses it.
    {"WmaProfile0", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(0); }, "profile 0", false},
    {"WmaProfileBeyondList", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(1000); }, "profile 1000", false},
};

class RefusedSettings : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedSettings, NameTheValueAndCreateNoFile)
{
    const RefusedCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("refused.") + c.extension);
    TAudioFile2 file;
    if (c.refusedAtFormatCall) {
        try {
            c.configure(file);
            FAIL() << "the format call accepted it";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(c.named)) << e.what();
        }
    } else {
        EXPECT_NO_THROW(c.configure(file));
    }
    // No silent fallback to other settings at CreateFile either.
    file.SetInputFormat(44100, 2);
    file.CreateFile(path, 0);
    EXPECT_NE(file.LastError(), 0);
    EXPECT_TRUE(file.LastErrorText().contains(c.named)) << file.LastErrorText().toStdString();
    EXPECT_TRUE(file.LastErrorText().contains(path)) << file.LastErrorText().toStdString();
    EXPECT_NE(file.State(), 2);
    EXPECT_FALSE(QFile::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Writer, RefusedSettings, ::testing::ValuesIn(kRefused),
                         [](const auto &tpi) { return std::string(tpi.param.name); });

TEST(CreateFile, UnknownExtensionFailsThroughLastErrorAndCreatesNothing)
{
    QTemporaryDir dir;
    for (const QString name : {"out.aac", "noextension"}) {
        TAudioFile2 file;
        file.CreateFile(dir.filePath(name), 0);
        EXPECT_NE(file.LastError(), 0);
        EXPECT_TRUE(file.LastErrorText().contains(name)) << file.LastErrorText().toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath(name)));
    }
}

TEST(CreateFile, ExtensionIsMatchedWithoutRegardToCase)
{
    QTemporaryDir dir;
    TAudioFile2 file;
    file.SetWavFormat(44100, 2, 16);
    ASSERT_TRUE(WriteAll(file, dir.filePath("LOUD.WAV"), Sine(44100, 2, 1000), 44100, 2));
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("LOUD.WAV")).codec, "pcm_s16le");
}

// What the user reads of a failed output: the file, the reason in plain
// words, and no library function ("ope_encoder_create_file:", "sf_close:").
void ExpectPlainWords(const QString &text, const QString &path, const QString &reason)
{
    EXPECT_TRUE(text.contains('"' + path + '"')) << text.toStdString();
    EXPECT_TRUE(text.contains(reason)) << text.toStdString() << " lacks " << reason.toStdString();
    static const QRegularExpression function(QStringLiteral(R"(\b(ope_|FLAC__|lame_|vorbis_|av[a-z]*_|sf_|swr_)\w*\s*[(:])"));
    EXPECT_FALSE(text.contains(function)) << text.toStdString();
}

class UnwritablePath : public ::testing::TestWithParam<const char *> {};

TEST_P(UnwritablePath, FailsThroughLastErrorNamingTheFile)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    AsOrdinaryUser user{dir.path(), locked};
    const std::pair<QString, int> cases[] = {{dir.filePath("missing/out.") + GetParam(), ENOENT},
                                             {locked + "/out." + GetParam(), EACCES}};
    for (const auto &[path, reason] : cases) {
        TAudioFile2 file;
        file.SetInputFormat(44100, 2);
        file.CreateFile(path, 0);
        EXPECT_NE(file.LastError(), 0) << path.toStdString();
        ExpectPlainWords(file.LastErrorText(), path, qt_error_string(reason));
        EXPECT_NE(file.State(), 2);
        EXPECT_FALSE(QFile::exists(path));
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, UnwritablePath, ::testing::Values("mp3", "wav", "wma", "ogg", "flac", "opus", "m4a"));

// A full disk in the middle of a file: the error reaches the caller.
class FullDisk : public ::testing::TestWithParam<const char *> {};

TEST_P(FullDisk, WriteFailureIsThrownNamingTheFile)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.") + GetParam());
    ASSERT_TRUE(QFile::link("/dev/full", path));
    TAudioFile2 file;
    file.SetWavFormat(44100, 2, 16);
    file.SetInputFormat(44100, 2);
    file.CreateFile(path, 0);
    if (file.LastError() != 0) { // the header write already failed: also fine
        EXPECT_TRUE(file.LastErrorText().contains(path));
        return;
    }
    const PcmArray block = Sine(44100, 2, 44100);
    try {
        for (int i = 0; i < 30; ++i)
            file.WriteArray(block);
        file.CloseFile();
        FAIL() << "no error from a full disk";
    } catch (const AudioError &e) {
        EXPECT_TRUE(e.text().contains(path)) << e.what();
    }
    EXPECT_NE(file.State(), 2);
    EXPECT_NO_THROW(file.CloseFile());
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FullDisk, ::testing::Values("mp3", "wav", "wma", "ogg", "flac", "opus", "m4a"));

// A disk that fills up while a file is written, as the size limit makes it
// (binding root too): the user learns which file and why, and nothing half
// written stays. The limit and the writing live in a child process.
class FileSizeLimited : public ::testing::TestWithParam<const char *> {};

TEST_P(FileSizeLimited, FailureSaysWhyInWordsAndLeavesNoFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limited.") + GetParam());
    const QByteArray message = InChild([&] {
        const FileSizeLimit limit(16 * 1024); // past every header, short of the audio
        TAudioFile2 file;
        file.SetWavFormat(44100, 2, 16);
        try {
            if (!WriteAll(file, path, Sine(44100, 2, 10 * 44100), 44100, 2))
                return file.LastErrorText().toUtf8();
        } catch (const AudioError &e) {
            return e.text().toUtf8();
        }
        return QByteArray("no error");
    });
    ExpectPlainWords(QString::fromUtf8(message), path, qt_error_string(EFBIG));
    EXPECT_FALSE(QFile::exists(path));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FileSizeLimited, ::testing::Values("mp3", "wav", "wma", "ogg", "flac", "opus", "m4a"));

TEST(WmaProfiles, NumberOutsideTheListHasNoNameAndIsKept)
{
    TAudioFile2 file;
    file.SetWmaProfile(0);
    EXPECT_EQ(file.WmaProfileName(), "");
    file.SetWmaProfile(file.WmaProfileCount() + 1);
    EXPECT_EQ(file.WmaProfileName(), "");
}

TEST(WriteArray, WithoutAnOpenFileThrows)
{
    TAudioFile2 file;
    file.SetInputFormat(44100, 2);
    EXPECT_THROW(file.WriteArray(PcmArray{0.f, 0.f}), AudioError);
    EXPECT_NO_THROW(file.CloseFile());
}

TEST(SetInputFormat, RefusesImpossibleFormats)
{
    TAudioFile2 file;
    EXPECT_THROW(file.SetInputFormat(0, 2), AudioError);
    EXPECT_THROW(file.SetInputFormat(-44100, 2), AudioError);
    EXPECT_THROW(file.SetInputFormat(44100, 0), AudioError);
}

TEST(WriteArray, PartialFrameIsRefusedWithoutHarmToTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("odd.wav");
    TAudioFile2 file;
    file.SetWavFormat(44100, 2, 16);
    file.SetInputFormat(44100, 2);
    file.CreateFile(path, 0);
    ASSERT_EQ(file.State(), 2);
    EXPECT_THROW(file.WriteArray(PcmArray{0.f, 0.f, 0.f}), AudioError);
    EXPECT_EQ(file.State(), 2); // nothing written yet: the file stays usable
    file.WriteArray(PcmArray{0.f, 0.f});
    file.CloseFile();
    EXPECT_EQ(fixtures::DecodedFrames(path), 1);
}

TEST(CreateFile, WhileAnotherIsOpenFinishesTheFirst)
{
    QTemporaryDir dir;
    TAudioFile2 file;
    file.SetWavFormat(44100, 1, 16);
    file.SetInputFormat(44100, 1);
    file.CreateFile(dir.filePath("a.wav"), 0);
    file.WriteArray(PcmArray(100, 0.25f));
    file.CreateFile(dir.filePath("b.wav"), 0);
    file.WriteArray(PcmArray(50, 0.25f));
    file.CloseFile();
    EXPECT_EQ(fixtures::DecodedFrames(dir.filePath("a.wav")), 100);
    EXPECT_EQ(fixtures::DecodedFrames(dir.filePath("b.wav")), 50);
}

TEST(CheckOggFormat, AnswersWhetherTheBitRateSetIsUsable)
{
    TAudioFile2 file;
    EXPECT_TRUE(file.CheckOggFormat(44100, 2, 128, 0, 0));
    EXPECT_TRUE(file.CheckOggFormat(44100, 2, 128, 128, 192));
    EXPECT_TRUE(file.CheckOggFormat(22050, 1, 48, 0, 0));
    EXPECT_FALSE(file.CheckOggFormat(44100, 2, 8, 0, 0));
    EXPECT_FALSE(file.CheckOggFormat(44100, 2, 128, 192, 96)); // min > max
    EXPECT_FALSE(file.CheckOggFormat(44100, 2, 96, 128, 192)); // nominal below min
    EXPECT_FALSE(file.CheckOggFormat(96000, 2, 128, 0, 0));
    EXPECT_FALSE(file.CheckOggFormat(44100, 0, 128, 0, 0));
}

TEST(WmaProfiles, DefaultIs128kbps44kHzStereo)
{
    TAudioFile2 file;
    EXPECT_GE(file.WmaProfileCount(), 38);
    file.SetWmaProfile(38);
    EXPECT_EQ(file.WmaProfileName(), "WMA v2, 128 kbps, 44 kHz, stereo");
    QStringList names;
    for (int i = 1; i <= file.WmaProfileCount(); ++i) {
        file.SetWmaProfile(i);
        names << file.WmaProfileName();
    }
    EXPECT_EQ(names.removeDuplicates(), 0);
}

// Every profile the settings dialog lists must really encode.
class EveryWmaProfile : public ::testing::TestWithParam<int> {};

TEST_P(EveryWmaProfile, EncodesAShortSignal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.wma");
    TAudioFile2 file;
    file.SetWmaProfile(GetParam());
    const QString name = file.WmaProfileName();
    ASSERT_TRUE(WriteAll(file, path, Sine(44100, 2, 22050, 1000.0, 0.9), 44100, 2)) << file.LastErrorText().toStdString();
    const fixtures::Probe p = fixtures::ProbeFile(path);
    EXPECT_TRUE(name.startsWith(p.codec == "wmav1" ? "WMA v1" : "WMA v2")) << name.toStdString();
    EXPECT_TRUE(name.contains(QStringLiteral(" %1 kHz").arg(p.sampleRate / 1000))) << name.toStdString();
    EXPECT_TRUE(name.endsWith(p.channels == 1 ? "mono" : "stereo")) << name.toStdString();
    EXPECT_NEAR(p.duration, 0.5, 0.1);
}

INSTANTIATE_TEST_SUITE_P(All, EveryWmaProfile, ::testing::Range(1, 48));

} // namespace

namespace {

// Every rate and bit rate the settings dialog offers: accepted exactly when
// MPEG audio defines that bit rate at that rate, refused (never substituted)
// otherwise.
TEST(Mp3Settings, AcceptsExactlyTheLegalBitRatesOfEachRate)
{
    const int rates[] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
    const int bitrates[] = {8, 16, 24, 32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int rate : rates) {
        for (int kbps : bitrates) {
            const bool legal = rate >= 32000 ? kbps >= 32 : rate >= 16000 ? kbps <= 160 : kbps <= 64;
            TAudioFile2 file;
            bool accepted = true;
            try {
                file.SetMp3Format(rate, kbps, 3);
            } catch (const AudioError &e) {
                accepted = false;
                EXPECT_TRUE(e.text().contains(QStringLiteral("%1 kbps").arg(kbps))) << e.what();
            }
            EXPECT_EQ(accepted, legal) << rate << " Hz, " << kbps << " kbps";
        }
    }
}

} // namespace
