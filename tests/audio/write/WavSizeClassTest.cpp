// WAV past 4 GiB: a writer told the input will pass the RIFF limit writes
// RF64 from the first byte; every other WAV stays the plain RIFF it always was.
#include "WriteTestUtil.h"
#include "audio/AudioError.h"
#include "audio/TAudioInformation2.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace writetest;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint16_t Le16(const QByteArray &b, qsizetype at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

// Frames of 16 hours at 48 kHz: past 4 GiB at any depth from 8-bit stereo up.
constexpr int64_t kLong = 16ll * 3600 * 48000;

class WavSizeClass : public ::testing::TestWithParam<int> {};

// A short write claiming a long input is still a valid RF64 file: ffmpeg
// reads exactly what was written.
TEST_P(WavSizeClass, LongExpectedInputGivesRf64ThatFfprobeReads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.wav");
    TAudioFile2 file;
    file.SetWavFormat(48000, 2, GetParam());
    file.SetExpectedLength(kLong, 48000);
    ASSERT_TRUE(WriteAll(file, path, Sine(48000, 2, 12345), 48000, 2)) << file.LastErrorText().toStdString();
    const QByteArray written = ReadAll(path);
    EXPECT_EQ(written.left(4), QByteArray("RF64"));
    // TagLib would write its chunks over the start of the audio: refused, the file untouched.
    TAudioInformation2 info;
    info.setInfoTitle(QStringLiteral("Side A"));
    EXPECT_THROW(info.SaveTag(path), AudioError);
    EXPECT_EQ(ReadAll(path), written);
    const fixtures::Probe probe = fixtures::ProbeFile(path);
    EXPECT_EQ(probe.sampleRate, 48000);
    EXPECT_EQ(probe.channels, 2);
    EXPECT_NEAR(probe.duration, 12345 / 48000.0, 1e-5);
    EXPECT_EQ(fixtures::DecodedFrames(path), 12345);
}

// Unknown or short expected lengths change nothing: the same bytes, the
// canonical 44-byte header (format tag 1, no JUNK or extensible fmt).
TEST_P(WavSizeClass, ShortOrUnknownLengthKeepsPlainRiffByteForByte)
{
    QTemporaryDir dir;
    const PcmArray pcm = Sine(48000, 2, 12345);
    TAudioFile2 file;
    file.SetWavFormat(48000, 2, GetParam());
    ASSERT_TRUE(WriteAll(file, dir.filePath("unknown.wav"), pcm, 48000, 2));
    file.SetExpectedLength(2ll * 3600 * 48000, 48000); // 2 h: under 4 GiB at every depth here
    ASSERT_TRUE(WriteAll(file, dir.filePath("short.wav"), pcm, 48000, 2));
    file.SetExpectedLength(kLong, 48000);
    ASSERT_TRUE(WriteAll(file, dir.filePath("rf64.wav"), pcm, 48000, 2));
    ASSERT_EQ(ReadAll(dir.filePath("rf64.wav")).left(4), QByteArray("RF64"));
    // The expectation was for that file only.
    ASSERT_TRUE(WriteAll(file, dir.filePath("after.wav"), pcm, 48000, 2));

    const QByteArray plain = ReadAll(dir.filePath("unknown.wav"));
    EXPECT_EQ(ReadAll(dir.filePath("short.wav")), plain);
    EXPECT_EQ(ReadAll(dir.filePath("after.wav")), plain);
    const int blockAlign = 2 * GetParam() / 8;
    ASSERT_EQ(plain.size(), 44 + 12345 * blockAlign);
    EXPECT_EQ(plain.left(4), QByteArray("RIFF"));
    EXPECT_EQ(plain.mid(12, 4), QByteArray("fmt "));
    EXPECT_EQ(Le16(plain, 20), 1); // WAVE_FORMAT_PCM
    EXPECT_EQ(plain.mid(36, 4), QByteArray("data"));
    EXPECT_FALSE(plain.contains("JUNK"));
}

INSTANTIATE_TEST_SUITE_P(Depths, WavSizeClass, ::testing::Values(8, 16, 24, 32));

// The expectation is counted at the input's rate and scaled to the output's:
// 300 M frames are 2.4 GB at 48 kHz 32-bit stereo, but 4.8 GB once 24 kHz
// input is resampled to 48 kHz.
TEST(WavSizeClassRate, ScalesTheExpectedLengthToTheOutputRate)
{
    QTemporaryDir dir;
    TAudioFile2 file;
    file.SetWavFormat(48000, 2, 32);
    const int64_t frames = 300'000'000;
    file.SetExpectedLength(frames, 48000);
    ASSERT_TRUE(WriteAll(file, dir.filePath("same.wav"), Sine(48000, 2, 4800), 48000, 2));
    file.SetExpectedLength(frames, 24000);
    ASSERT_TRUE(WriteAll(file, dir.filePath("up.wav"), Sine(24000, 2, 2400), 24000, 2));
    EXPECT_EQ(ReadAll(dir.filePath("same.wav")).left(4), QByteArray("RIFF"));
    EXPECT_EQ(ReadAll(dir.filePath("up.wav")).left(4), QByteArray("RF64"));
    EXPECT_NEAR(fixtures::ProbeFile(dir.filePath("up.wav")).duration, 0.1, 0.002);
}

// libsndfile has no RF64 form of IMA ADPCM: refused up front with the reason,
// no file left behind, and the next file is written as usual.
TEST(WavSizeClassRate, AdpcmPastTheLimitIsRefusedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("adpcm.wav");
    TAudioFile2 file;
    file.SetWavFormat(48000, 2, 4);
    file.SetInputFormat(48000, 2);
    file.SetExpectedLength(200ll * 3600 * 48000, 48000); // 200 h of 4-bit stereo: about 35 GB
    file.CreateFile(path, 0);
    EXPECT_NE(file.LastError(), 0);
    EXPECT_TRUE(file.LastErrorText().contains("4 GiB")) << file.LastErrorText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_TRUE(WriteAll(file, path, Sine(48000, 2, 4800), 48000, 2));
    EXPECT_EQ(ReadAll(path).left(4), QByteArray("RIFF"));
}

} // namespace
