// AAC (M4A, M4B) and ALAC output written through TAudioFile2, judged by
// ffprobe and ffmpeg's decode: exact lengths, no priming left in front,
// ALAC bit for bit, and the CLI's --format alac.
#include "tests/audio/write/WriteTestUtil.h"
#include "tests/common/AudioFixtures.h"

#include "audio/TAudioFile2.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// An odd length, so the last codec frame is partly padding.
constexpr int64_t kFrames = 100003;

struct Mp4Case {
    const char *name;
    const char *extension;
    std::function<void(TAudioFile2 &)> configure;
    const char *codec;
    int channels;
    int bits; // of the source and, for ALAC, of the output; 0: AAC
};

const Mp4Case kCases[] = {
    {"M4aStereo", "m4a", [](TAudioFile2 &f) { f.SetM4aFormat(44100, 2, 192); }, "aac", 2, 16},
    {"M4bMono", "m4b", [](TAudioFile2 &f) { f.SetM4aFormat(44100, 1, 64); }, "aac", 1, 16},
    {"Alac16", "m4a", [](TAudioFile2 &f) { f.SetAlacFormat(44100, 2, 16); }, "alac", 2, 16},
    {"Alac24", "m4a", [](TAudioFile2 &f) { f.SetAlacFormat(44100, 2, 24); }, "alac", 2, 24},
};

void PrintTo(const Mp4Case &c, std::ostream *os) { *os << c.name; }

// The source as ffmpeg made and decodes it: what our reader hands a writer.
std::vector<float> Source(const QString &path, const Mp4Case &c)
{
    fixtures::MakeTone(path, double(kFrames) / 44100 + 0.01, 44100, c.channels,
                       {"-af", QString("atrim=end_sample=%1").arg(kFrames), "-c:a", c.bits == 24 ? "pcm_s24le" : "pcm_s16le"});
    return fixtures::DecodedSamples(path);
}

QJsonObject FirstStream(const QString &path)
{
    const QJsonArray streams = fixtures::ProbeFile(path).raw.value("streams").toArray();
    return streams.isEmpty() ? QJsonObject() : streams[0].toObject();
}

int64_t StreamDurationTs(const QString &path) { return FirstStream(path).value("duration_ts").toInteger(-1); }
int RawBits(const QString &path) { return FirstStream(path).value("bits_per_raw_sample").toString().toInt(); }

// The fields of iTunes' gapless note: priming, padding, length.
QList<qint64> GaplessNote(const QString &path)
{
    const QStringList words = fixtures::ProbeFile(path).tags.value("itunsmpb").toString().split(' ', Qt::SkipEmptyParts);
    if (words.size() < 4)
        return {};
    return {words[1].toLongLong(nullptr, 16), words[2].toLongLong(nullptr, 16), words[3].toLongLong(nullptr, 16)};
}

class Mp4Output : public ::testing::TestWithParam<Mp4Case> {};

TEST_P(Mp4Output, DecodesToTheInputsLengthFromItsFirstSample)
{
    const Mp4Case &c = GetParam();
    QTemporaryDir dir;
    const std::vector<float> input = Source(dir.filePath("in.wav"), c);
    ASSERT_EQ(int64_t(input.size()), kFrames * c.channels);
    const QString path = dir.filePath(QStringLiteral("out.") + c.extension);
    TAudioFile2 writer;
    c.configure(writer);
    ASSERT_TRUE(writetest::WriteAll(writer, path, input, 44100, c.channels, 30000));

    const fixtures::Probe probe = fixtures::ProbeFile(path);
    EXPECT_EQ(probe.codec, c.codec);
    EXPECT_EQ(probe.channels, c.channels);
    EXPECT_EQ(StreamDurationTs(path), kFrames) << "the edit list ends on the last input sample";
    const std::vector<float> decoded = fixtures::DecodedSamples(path);

    if (QLatin1String(c.codec) == "alac") {
        EXPECT_EQ(RawBits(path), c.bits);
        EXPECT_TRUE(decoded == input) << "ALAC gives back ffmpeg's decode of the source, sample for sample";
        return;
    }
    const QList<qint64> note = GaplessNote(path);
    ASSERT_EQ(note.size(), 3) << "iTunSMPB";
    EXPECT_EQ(note[0], 1024);
    EXPECT_EQ(note[2], kFrames);
    EXPECT_EQ((note[0] + note[1] + note[2]) % 1024, 0) << "priming, audio and padding fill whole AAC frames";
    // FFmpeg 5.1 cuts the priming by the edit list but decodes the last frame whole.
    const int64_t decodedFrames = int64_t(decoded.size()) / c.channels;
    EXPECT_TRUE(decodedFrames == kFrames || decodedFrames == kFrames + note[1]) << decodedFrames;
    // A priming frame left in front would shift the tone by 1024 samples.
    double worst = 0;
    for (int64_t i = 4096 * c.channels; i < 40000 * c.channels; ++i)
        worst = std::max(worst, double(std::abs(decoded[size_t(i)] - input[size_t(i)])));
    EXPECT_LT(worst, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp4Output, ::testing::ValuesIn(kCases),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(Mp4Output, AnM4aExtensionHoldsWhatTheWriterWasSetToLast)
{
    QTemporaryDir dir;
    TAudioFile2 writer;
    const PcmArray pcm = writetest::Sine(44100, 2, 5000);
    writer.SetM4aFormat(44100, 2, 128);
    writer.SetAlacFormat(44100, 2, 16);
    ASSERT_TRUE(writetest::WriteAll(writer, dir.filePath("a.m4a"), pcm, 44100, 2));
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("a.m4a")).codec, "alac");
    writer.SetM4aFormat(44100, 2, 128);
    ASSERT_TRUE(writetest::WriteAll(writer, dir.filePath("b.m4a"), pcm, 44100, 2));
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("b.m4a")).codec, "aac");
}

TEST(Mp4Output, RefusedSettingsLeaveNoFileAndNameTheReason)
{
    QTemporaryDir dir;
    TAudioFile2 writer;
    EXPECT_ANY_THROW(writer.SetM4aFormat(44100, 2, 16));
    EXPECT_ANY_THROW(writer.SetAlacFormat(44100, 2, 20));
    const QString path = dir.filePath("x.m4a");
    writer.SetInputFormat(44100, 2);
    writer.CreateFile(path, 0);
    EXPECT_NE(writer.LastError(), 0);
    EXPECT_TRUE(writer.LastErrorText().contains("bit")) << writer.LastErrorText().toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(Mp4Cli, FormatAlacConvertsLosslesslyIntoAnM4aFile)
{
    const QString cli = QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli";
    if (!QFile::exists(cli))
        GTEST_SKIP() << "quorvis-cli is not built";
    QTemporaryDir dir;
    const QString source = dir.filePath("song.flac");
    fixtures::MakeTone(source, 1.7, 48000, 2, {"-c:a", "flac", "-sample_fmt", "s32", "-metadata", "title=Song"});
    QProcess p;
    p.start(cli, {"convert", source, "--format", "alac", "--out", dir.filePath("out"), "--copy-tags", "--quiet"});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = dir.filePath("out/song.m4a");
    ASSERT_TRUE(QFile::exists(out)) << QDir(dir.filePath("out")).entryList().join(' ').toStdString();
    const fixtures::Probe probe = fixtures::ProbeFile(out);
    EXPECT_EQ(probe.codec, "alac");
    EXPECT_EQ(probe.sampleRate, 48000) << "same as source by default";
    EXPECT_EQ(RawBits(out), 24);
    EXPECT_EQ(probe.tags.value("title").toString(), "Song");
    EXPECT_TRUE(fixtures::DecodedSamples(out) == fixtures::DecodedSamples(source));
}

} // namespace
