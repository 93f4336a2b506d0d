// Every output format and setting family, written through TAudioFile2 and
// judged by ffprobe/ffmpeg.
#include "WriteTestUtil.h"
#include "tests/common/AudioFixtures.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace writetest;

namespace {

struct FormatCase {
    const char *name;
    const char *extension;
    std::function<void(TAudioFile2 &)> configure;
    const char *codec; // ffprobe codec_name
    int rate;
    int channels;
    int64_t tolerance; // frames: one codec frame, 0 for PCM
};

TAudioFile2LameEnc Vbr(int rate, int minKbps, int maxKbps, int mode0, int quality)
{
    TAudioFile2LameEnc e;
    e.SampleRate = rate;
    e.Bitrate = minKbps;
    e.MaxBitrate = maxKbps;
    e.Mode = mode0;
    e.VbrQuality = int16_t(quality);
    return e;
}

const FormatCase kCases[] = {
    {"Mp3Mono", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 1); }, "mp3", 44100, 1, 1152},
    {"Mp3Stereo", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 2); }, "mp3", 44100, 2, 1152},
    {"Mp3JointStereo", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 3); }, "mp3", 44100, 2, 1152},
    {"Mp3ForcedJointStereo", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 192, 4); }, "mp3", 44100, 2, 1152},
    {"Mp3DualChannels", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(48000, 160, 5); }, "mp3", 48000, 2, 1152},
    {"Mp3Vbr", "mp3",
     [](TAudioFile2 &f) {
         f.SetMp3Format(44100, 128, 3);
         f.SetMp3Encoder(Vbr(44100, 128, 192, 2, 7));
     },
     "mp3", 44100, 2, 1152},
    {"Mp3VbrMono32k", "mp3", [](TAudioFile2 &f) { f.SetMp3Encoder(Vbr(32000, 32, 320, 0, 2)); }, "mp3", 32000, 1, 1152},
    {"Mp3At22kHz", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(22050, 64, 3); }, "mp3", 22050, 2, 576},
    {"Mp3At8kHz", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(8000, 32, 1); }, "mp3", 8000, 1, 576},
    {"OggNominal", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 128, 0, 0, -1); }, "vorbis", 44100, 2, 0},
    {"OggVbrMinMax", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 128, 96, 192, -1); }, "vorbis", 44100, 2, 0},
    {"OggQuality", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 0, 0, 0, 300); }, "vorbis", 44100, 2, 0},
    {"OggMono22kHz", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(22050, 1, 48, 0, 0, -1); }, "vorbis", 22050, 1, 0},
    {"WmaDefaultProfile", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(38); }, "wmav2", 44100, 2, 2048},
    {"WmaLowestProfile", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(1); }, "wmav2", 8000, 1, 512},
    {"WmaV1Profile", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(37); }, "wmav1", 44100, 2, 2048},
    {"WmaHighestProfile", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(47); }, "wmav2", 48000, 2, 2048},
    {"Wav8Bit", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 8); }, "pcm_u8", 44100, 2, 0},
    {"Wav16Bit", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 16); }, "pcm_s16le", 44100, 2, 0},
    {"Wav24Bit", "wav", [](TAudioFile2 &f) { f.SetWavFormat(48000, 2, 24); }, "pcm_s24le", 48000, 2, 0},
    {"Wav32Bit", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 1, 32); }, "pcm_s32le", 44100, 1, 0},
    // IMA ADPCM codes whole blocks (2041 frames here): the last one is padded with silence.
    {"Wav4BitAdpcm", "wav", [](TAudioFile2 &f) { f.SetWavFormat(22050, 2, 4); }, "adpcm_ima_wav", 22050, 2, 2041},
    {"Flac16BitLevel5", "flac", [](TAudioFile2 &f) { f.SetFlacFormat(44100, 2, 16, 5); }, "flac", 44100, 2, 0},
    {"Flac24BitLevel8", "flac", [](TAudioFile2 &f) { f.SetFlacFormat(48000, 2, 24, 8); }, "flac", 48000, 2, 0},
    {"FlacMonoLevel0", "flac", [](TAudioFile2 &f) { f.SetFlacFormat(22050, 1, 16, 0); }, "flac", 22050, 1, 0},
    // Opus is always 48 kHz; the pre-skip and end granule give back the input's length.
    {"OpusVbr", "opus", [](TAudioFile2 &f) { f.SetOpusFormat(128, 0, 10); }, "opus", 48000, 2, 0},
    {"OpusConstrainedVbr", "opus", [](TAudioFile2 &f) { f.SetOpusFormat(96, 1, 5); }, "opus", 48000, 2, 0},
    {"OpusCbrLowComplexity", "opus", [](TAudioFile2 &f) { f.SetOpusFormat(24, 2, 0); }, "opus", 48000, 2, 0},
};

class FormatRoundTrip : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatRoundTrip, WritesTheConfiguredCodecRateChannelsAndLength)
{
    const FormatCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.") + c.extension);
    const int inRate = 44100;
    const int64_t inFrames = 66150; // 1.5 s
    TAudioFile2 file;
    c.configure(file);
    ASSERT_TRUE(WriteAll(file, path, Sine(inRate, 2, inFrames), inRate, 2)) << file.LastErrorText().toStdString();
    EXPECT_NE(file.State(), 2);

    const fixtures::Probe p = fixtures::ProbeFile(path);
    EXPECT_EQ(p.codec, c.codec);
    EXPECT_EQ(p.sampleRate, c.rate);
    EXPECT_EQ(p.channels, c.channels);
    const int64_t expected = inFrames * c.rate / inRate;
    const int64_t decoded = fixtures::DecodedFrames(path);
    EXPECT_LE(std::llabs(decoded - expected), c.tolerance + 2) << "decoded " << decoded << ", expected " << expected;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FormatRoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto &tpi) { return std::string(tpi.param.name); });

TEST(WavOutput, SixteenBitSamplesComeBackUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("exact.wav");
    // Values already on the 16-bit grid, over the whole range including both extremes.
    PcmArray pcm;
    for (int k = -32768; k < 32768; k += 7)
        pcm.push_back(float(k) / 32768.0f);
    pcm.push_back(32767.0f / 32768.0f);
    TAudioFile2 file;
    file.SetWavFormat(44100, 1, 16);
    ASSERT_TRUE(WriteAll(file, path, pcm, 44100, 1, 4000));
    const std::vector<float> decoded = fixtures::DecodedSamples(path);
    ASSERT_EQ(decoded.size(), pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i)
        ASSERT_EQ(decoded[i], pcm[i]) << "sample " << i;
}

TEST(WavOutput, FullScaleClipsInsteadOfWrappingAround)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("loud.wav");
    TAudioFile2 file;
    file.SetWavFormat(44100, 1, 16);
    ASSERT_TRUE(WriteAll(file, path, PcmArray{1.0f, 1.5f, -1.0f, -1.5f}, 44100, 1));
    const std::vector<float> decoded = fixtures::DecodedSamples(path);
    ASSERT_EQ(decoded.size(), 4u);
    EXPECT_GT(decoded[0], 0.99f);
    EXPECT_GT(decoded[1], 0.99f);
    EXPECT_EQ(decoded[2], -1.0f);
    EXPECT_EQ(decoded[3], -1.0f);
}

// The MD5 in STREAMINFO is that of the samples as flac itself decodes them.
void ExpectStoredMd5OfTheAudio(const QString &path, int bits)
{
    QByteArray stored, raw;
    ASSERT_EQ(fixtures::Run("metaflac", {"--show-md5sum", path}, &stored), 0);
    ASSERT_EQ(fixtures::Run("flac", {"-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", path},
                            &raw),
              0);
    ASSERT_EQ(raw.size() % (bits / 8), 0);
    EXPECT_EQ(stored.trimmed(), QCryptographicHash::hash(raw, QCryptographicHash::Md5).toHex());
    EXPECT_EQ(fixtures::Run("flac", {"-t", "-s", path}), 0);
}

TEST(FlacOutput, SixteenBitSamplesComeBackUnchangedWithLengthAndMd5InTheHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("exact.flac");
    PcmArray pcm;
    for (int k = -32768; k < 32768; k += 3)
        pcm.push_back(float(k) / 32768.0f);
    TAudioFile2 file;
    file.SetFlacFormat(44100, 1, 16, 5);
    ASSERT_TRUE(WriteAll(file, path, pcm, 44100, 1, 4000));
    EXPECT_TRUE(fixtures::DecodedSamples(path) == std::vector<float>(pcm.begin(), pcm.end()));
    if (!fixtures::HaveTool("metaflac"))
        GTEST_SKIP() << "metaflac is not installed";
    QByteArray total;
    ASSERT_EQ(fixtures::Run("metaflac", {"--show-total-samples", path}, &total), 0);
    EXPECT_EQ(total.trimmed().toLongLong(), int64_t(pcm.size()));
    ExpectStoredMd5OfTheAudio(path, 16);

    TAudioFile2 deep;
    deep.SetFlacFormat(48000, 2, 24, 8);
    const QString deepPath = dir.filePath("deep.flac");
    ASSERT_TRUE(WriteAll(deep, deepPath, Sine(48000, 2, 30000), 48000, 2, 4096));
    ExpectStoredMd5OfTheAudio(deepPath, 24);
}

// Players that only know plain WAV need format tag 1, also above 16 bits.
class WavFormatTag : public ::testing::TestWithParam<int> {};

TEST_P(WavFormatTag, IsPlainPcmNotExtensible)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("tag.wav");
    TAudioFile2 file;
    file.SetWavFormat(44100, 2, GetParam());
    ASSERT_TRUE(WriteAll(file, path, Sine(44100, 2, 1000), 44100, 2));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const qsizetype fmt = bytes.indexOf("fmt ");
    ASSERT_GE(fmt, 12);
    const auto tag = uint16_t(uint8_t(bytes[fmt + 8]) | (uint8_t(bytes[fmt + 9]) << 8));
    const auto bits = uint16_t(uint8_t(bytes[fmt + 22]) | (uint8_t(bytes[fmt + 23]) << 8));
    EXPECT_EQ(tag, 1);
    EXPECT_EQ(bits, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Depths, WavFormatTag, ::testing::Values(8, 16, 24, 32));

} // namespace
