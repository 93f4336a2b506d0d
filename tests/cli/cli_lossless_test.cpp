#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString err;
};

Result RunCli(const QStringList &args)
{
    QProcess p;
    p.start(QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli", args);
    EXPECT_TRUE(p.waitForStarted(10000));
    EXPECT_TRUE(p.waitForFinished(300000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

TEST(CliLossless, SplitCopiesFlacIntoFlacPartsThatJoinToTheSource)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("noise.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=6:a=0.3:c=pink",
                                       "-ar", "44100", "-ac", "2", "-c:a", "pcm_s16le", source}),
              0);
    const QString flac = dir.filePath("noise.flac");
    ASSERT_EQ(fixtures::Run("flac", {"-s", "-f", "-T", "ARTIST=Someone", "-o", flac, source}), 0);
    const QString out = dir.filePath("flac");
    Result r = RunCli({"split", flac, "--parts", "3", "--lossless", "--format", "flac", "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<float> joined;
    for (int k = 1; k <= 3; ++k) {
        const QString part = out + QStringLiteral("/noise-0%1.flac").arg(k);
        const std::vector<float> samples = fixtures::DecodedSamples(part);
        joined.insert(joined.end(), samples.begin(), samples.end());
        const fixtures::Probe p = fixtures::ProbeFile(part);
        EXPECT_EQ(p.tags.value("title").toString(), QStringLiteral("noise-0%1").arg(k));
        EXPECT_EQ(p.tags.value("track").toString(), QStringLiteral("%1/3").arg(k));
        EXPECT_EQ(p.tags.value("artist").toString(), "Someone");
        EXPECT_EQ(fixtures::Run("flac", {"-s", "-t", part}), 0) << part.toStdString();
    }
    EXPECT_TRUE(joined == fixtures::DecodedSamples(flac));

    r = RunCli({"split", flac, "--parts", "2", "--lossless", "--format", "mp3", "--out", out});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(flac) && r.err.contains("--format flac")) << r.err.toStdString();
    r = RunCli({"split", source, "--parts", "2", "--lossless", "--format", "flac", "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(source) && r.err.contains("not a FLAC file")) << r.err.toStdString();
}

// Ogg and MP4 parts are copied packet by packet: their lengths add up to the source's,
// each decoded by ffmpeg, whatever the codec's way of trimming a part's start.
class CliLosslessOgg : public testing::TestWithParam<const char *> {};

TEST_P(CliLosslessOgg, SplitPartsJoinToTheSourcesLength)
{
    const QString format = GetParam();
    QTemporaryDir dir;
    const QString source = dir.filePath("tone." + format);
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=7:a=0.3:c=pink",
                                       "-ac", "2", "-c:a",
                                       format == "opus" ? "libopus" : format == "ogg" ? "libvorbis" : "aac",
                                       "-metadata", "ARTIST=Someone", source}),
              0);
    const QString out = dir.filePath("parts");
    const Result r = RunCli({"split", source, "--parts", "3", "--lossless", "--format", format, "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    size_t joined = 0;
    for (int k = 1; k <= 3; ++k) {
        const QString part = out + QStringLiteral("/tone-0%1.").arg(k) + format;
        joined += fixtures::DecodedSamples(part).size();
        const fixtures::Probe p = fixtures::ProbeFile(part);
        EXPECT_EQ(p.tags.value("track").toString(), QStringLiteral("%1/3").arg(k)) << part.toStdString();
        EXPECT_EQ(p.tags.value("artist").toString(), "Someone");
    }
    EXPECT_EQ(joined, fixtures::DecodedSamples(source).size());
}

INSTANTIATE_TEST_SUITE_P(Codecs, CliLosslessOgg, testing::Values("opus", "ogg", "m4a"));

// merge --lossless: MP3 files joined without a gap, as long as their sum; a
// FLAC among them is refused by name and nothing is written.
TEST(CliLossless, MergeJoinsMp3FilesToTheirSummedLengthAndRefusesAnotherCodec)
{
    QTemporaryDir dir;
    QStringList sources;
    int64_t sum = 0;
    for (int k = 0; k < 2; ++k) {
        const QString path = dir.filePath(QStringLiteral("s%1.mp3").arg(k));
        fixtures::MakeTone(path, 2.2 + k * 0.73, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "160k"}, 330 + 110 * k);
        sum += fixtures::DecodedFrames(path);
        sources << path;
    }
    const QString out = dir.filePath("out");
    Result r = RunCli(QStringList{"merge"} + sources + QStringList{"--lossless", "--format", "mp3", "--out", out, "--output", "joined", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(fixtures::DecodedFrames(out + "/joined.mp3"), sum);

    const QString flac = dir.filePath("other.flac");
    fixtures::MakeTone(flac, 1.0, 44100, 2, {"-c:a", "flac"});
    r = RunCli(QStringList{"merge", sources[0], flac, "--lossless", "--format", "mp3", "--out", out, "--output", "second"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(flac) && r.err.contains("not an MP3 file")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out + "/second.mp3"));
}

} // namespace
