// Loudness: ReplayGain tags of a conversion, info --loudness and normalised
// merges, judged by ffmpeg's own EBU R128 meter (the ebur128 filter).
#include "audio/ReplayGainTags.h"
#include "audio/Loudness.h"
#include "merge/MergeEngine.h"
#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"
#include "audio/TAudioInformation2.h"

#include <QDir>
#include <QFileInfo>

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

CliResult RunCli(const QStringList &args)
{
    QProcess p;
    p.start(QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli", args);
    EXPECT_TRUE(p.waitForStarted(10000));
    EXPECT_TRUE(p.waitForFinished(300000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

// A stereo tone of amplitude `peak` (linear) made by ffmpeg, as 16-bit WAV.
QString Tone(const QTemporaryDir &dir, const QString &name, double peak, int hz = 1000, double seconds = 6)
{
    const QString path = dir.filePath(name);
    const QString wave = QString("%1*sin(2*PI*%2*t)").arg(peak).arg(hz);
    EXPECT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       QString("aevalsrc=%1|%1:d=%2:s=44100").arg(wave).arg(seconds), "-c:a",
                                       "pcm_s16le", path}),
              0);
    return path;
}

// Integrated loudness (LUFS) by ffmpeg's ebur128 filter over the inputs played one after another.
double FfmpegIntegrated(const QStringList &files)
{
    QStringList args{"-nostdin", "-v", "error"};
    for (const QString &f : files)
        args << "-i" << f;
    QString chain;
    for (int k = 0; k < files.size(); ++k)
        chain += QString("[%1:a]").arg(k);
    chain += QString("concat=n=%1:v=0:a=1,ebur128=metadata=1,ametadata=mode=print:key=lavfi.r128.I:file=-")
                 .arg(files.size());
    args << "-filter_complex" << chain << "-f" << "null" << "-";
    QByteArray out;
    EXPECT_EQ(fixtures::Run("ffmpeg", args, &out), 0);
    const QRegularExpression value("lavfi\\.r128\\.I=(-?[0-9.]+)");
    double last = NAN;
    for (auto it = value.globalMatch(QString::fromLatin1(out)); it.hasNext();)
        last = it.next().captured(1).toDouble();
    return last;
}

double GainOf(const QString &text) // "-6.52 dB"
{
    EXPECT_TRUE(QRegularExpression("^-?[0-9]+\\.[0-9]{2} dB$").match(text).hasMatch()) << text.toStdString();
    return text.section(' ', 0, 0).toDouble();
}

void ExpectPeakText(const QString &text)
{
    EXPECT_TRUE(QRegularExpression("^[0-9]\\.[0-9]{6}$").match(text).hasMatch()) << text.toStdString();
}

// Per container: the track gain read back by ffprobe is -18 LUFS minus
// ffmpeg's loudness of what was encoded (the source, already at the output's
// format), and the album gain that of both played together; Opus carries R128
// gains relative to -23 LUFS instead.
class ReplayGainPerFormat : public testing::TestWithParam<const char *> {};

TEST_P(ReplayGainPerFormat, TagsMatchFfmpegsLoudnessOfTheOutput)
{
    const QString format = GetParam();
    QTemporaryDir dir;
    const QString quiet = Tone(dir, "quiet.wav", 0.2, 440);
    const QString loud = Tone(dir, "loud.wav", 0.5, 1000, 5);
    const QString out = dir.filePath("out");
    // File after file for some formats, on two workers for the others: both measure alike.
    const QString jobs = format == "flac" || format == "mp3" ? "1" : "2";
    const CliResult r = RunCli(
        {"convert", quiet, loud, "--format", format, "--out", out, "--replaygain", "--jobs", jobs, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString a = out + "/quiet." + format, b = out + "/loud." + format;
    const double album = FfmpegIntegrated({quiet, loud});
    for (const QString &file : {a, b}) {
        const double track = FfmpegIntegrated({file == a ? quiet : loud});
        const QJsonObject tags = fixtures::ProbeFile(file).tags;
        if (format == "opus") {
            EXPECT_NEAR(tags.value("r128_track_gain").toString().toInt() / 256.0, -23 - track, 0.1);
            EXPECT_NEAR(tags.value("r128_album_gain").toString().toInt() / 256.0, -23 - album, 0.1);
            EXPECT_FALSE(tags.contains("replaygain_track_gain"));
            continue;
        }
        EXPECT_NEAR(GainOf(tags.value("replaygain_track_gain").toString()), -18 - track, 0.1) << file.toStdString();
        EXPECT_NEAR(GainOf(tags.value("replaygain_album_gain").toString()), -18 - album, 0.1) << file.toStdString();
        ExpectPeakText(tags.value("replaygain_track_peak").toString());
        ExpectPeakText(tags.value("replaygain_album_peak").toString());
    }
    // The loud tone's peak is its amplitude; the album's is the loudest track's.
    if (format != "opus") {
        const QJsonObject tags = fixtures::ProbeFile(b).tags;
        EXPECT_NEAR(tags.value("replaygain_track_peak").toString().toDouble(), 0.5, 0.03);
        EXPECT_EQ(tags.value("replaygain_album_peak").toString(),
                  fixtures::ProbeFile(a).tags.value("replaygain_album_peak").toString());
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, ReplayGainPerFormat, testing::Values("flac", "ogg", "mp3", "opus"));

TEST(ReplayGain, AlbumsAreTheAlbumTagElseTheFolder)
{
    QTemporaryDir dir;
    const auto tagged = [&](const QString &rel, double peak, const QString &album) {
        QDir().mkpath(QFileInfo(dir.filePath(rel)).absolutePath());
        const QString wav = Tone(dir, rel + ".wav", peak);
        QStringList args{"-nostdin", "-v", "error", "-i", wav};
        if (!album.isEmpty())
            args << "-metadata" << "album=" + album;
        EXPECT_EQ(fixtures::Run("ffmpeg", args << dir.filePath(rel + ".flac")), 0);
        return dir.filePath(rel + ".flac");
    };
    // One album over two folders; a loose file beside the first is an album with its folder.
    const QStringList sources{tagged("x/one", 0.2, "Same"), tagged("y/two", 0.4, "Same"), tagged("x/loose", 0.3, {})};
    const CliResult r = RunCli(QStringList{"convert"} + sources +
                               QStringList{"--format", "flac", "--out", dir.filePath("out"), "--replaygain", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto albumGain = [&](const char *name) {
        return GainOf(fixtures::ProbeFile(dir.filePath(QString("out/%1.flac").arg(name))).tags.value("replaygain_album_gain").toString());
    };
    EXPECT_EQ(albumGain("one"), albumGain("two"));
    EXPECT_NEAR(albumGain("one"), -18 - FfmpegIntegrated({sources[0], sources[1]}), 0.1);
    EXPECT_NEAR(albumGain("loose"), -18 - FfmpegIntegrated({sources[2]}), 0.1);
}

TEST(ReplayGain, M4aFromFfmpegTakesFreeformTags)
{
    QTemporaryDir dir;
    const QString m4a = dir.filePath("tone.m4a");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "sine=f=1000:d=5,volume=0.3",
                                       "-ac", "2", "-c:a", "aac", "-b:a", "192k", m4a}),
              0);
    const LoudnessResult measured = MeasureFile(m4a);
    EXPECT_NEAR(measured.integrated, FfmpegIntegrated({m4a}), 0.1);
    WriteReplayGain(m4a, {measured.integrated, measured.truePeak, true, measured.integrated - 3, 0.5});
    const QJsonObject tags = fixtures::ProbeFile(m4a).tags;
    EXPECT_NEAR(GainOf(tags.value("replaygain_track_gain").toString()), -18 - measured.integrated, 0.006);
    EXPECT_NEAR(GainOf(tags.value("replaygain_album_gain").toString()), -15 - measured.integrated, 0.006);
    EXPECT_EQ(tags.value("replaygain_album_peak").toString(), "0.500000");
    EXPECT_EQ(fixtures::DecodedFrames(m4a) > 0, true); // the audio is still there
}

TEST(ReplayGain, WavIsConvertedWithOneNoteAndNoTags)
{
    QTemporaryDir dir;
    const QString a = Tone(dir, "a.wav", 0.1), b = Tone(dir, "b.wav", 0.2);
    const CliResult r = RunCli({"convert", a, b, "--format", "wav", "--out", dir.filePath("out"), "--replaygain"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count("no place for ReplayGain"), 1) << r.err.toStdString();
    EXPECT_FALSE(fixtures::ProbeFile(dir.filePath("out/a.wav")).tags.contains("replaygain_track_gain"));
}

TEST(InfoLoudness, JsonMatchesFfmpeg)
{
    QTemporaryDir dir;
    const QString tone = Tone(dir, "tone.wav", 0.25);
    const CliResult r = RunCli({"info", tone, "--loudness", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject loudness = QJsonDocument::fromJson(r.out).array().at(0).toObject().value("loudness").toObject();
    EXPECT_NEAR(loudness.value("integrated_lufs").toDouble(), FfmpegIntegrated({tone}), 0.1);
    EXPECT_NEAR(loudness.value("true_peak_dbtp").toDouble(), 20 * std::log10(0.25), 0.1);
    EXPECT_NEAR(loudness.value("range_lu").toDouble(), 0, 0.1); // a steady tone
    const CliResult missing = RunCli({"info", dir.filePath("missing.wav"), "--loudness"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.err.contains("missing.wav")) << missing.err.toStdString();
}

TEST(NormalisedMerge, QuietAndLoudSourcesEndAtTheTarget)
{
    QTemporaryDir dir;
    const QString quiet = Tone(dir, "quiet.wav", 0.02, 440), loud = Tone(dir, "loud.wav", 0.7);
    const CliResult r = RunCli({"merge", quiet, loud, "--output", "mix", "--format", "flac", "--out", dir.path(),
                                "--normalise", "-16", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Each half on its own, and the whole.
    const QString mix = dir.filePath("mix.flac");
    const QString first = dir.filePath("first.wav"), second = dir.filePath("second.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-i", mix, "-t", "6", first}), 0);
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-i", mix, "-ss", "6", second}), 0);
    EXPECT_NEAR(FfmpegIntegrated({first}), -16, 0.5);
    EXPECT_NEAR(FfmpegIntegrated({second}), -16, 0.5);
    EXPECT_NEAR(FfmpegIntegrated({mix}), -16, 0.5);
    EXPECT_FALSE(r.err.contains("Note:")) << r.err.toStdString();
}

TEST(NormalisedMerge, GainThatWouldClipIsHeldAtMinusOneDbtpAndNamed)
{
    QTemporaryDir dir;
    // A quiet tone with full-scale clicks: raising it to -14 LUFS would clip.
    const QString spiky = dir.filePath("spiky.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                       "aevalsrc='0.02*sin(2*PI*440*t)+0.5*lt(mod(t\\,1)\\,0.0005)':d=6:s=44100",
                                       "-ac", "2", "-c:a", "pcm_s16le", spiky}),
              0);
    const CliResult r = RunCli({"merge", spiky, "--output", "mix", "--format", "flac", "--out", dir.path(),
                                "--normalise", "-14"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Note: ") && r.err.contains(spiky)) << r.err.toStdString();
    const LoudnessResult out = MeasureFile(dir.filePath("mix.flac"));
    EXPECT_NEAR(LevelDb(out.truePeak), -1.0, 0.2);
    EXPECT_LT(out.integrated, -15);
    EXPECT_EQ(RunCli({"merge", spiky, "--output", "x", "--normalise", "-20"}).exitCode, 2);
}

TEST(NormalisedMerge, OffMergesTheSamplesAsTheyAre)
{
    QTemporaryDir dir;
    const QString a = Tone(dir, "a.wav", 0.02, 440, 2), b = Tone(dir, "b.wav", 0.7, 1000, 3);
    const CliResult r = RunCli({"merge", a, b, "--output", "mix", "--format", "wav", "--out", dir.path(), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<float> expected = fixtures::DecodedSamples(a);
    const std::vector<float> second = fixtures::DecodedSamples(b);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_TRUE(fixtures::DecodedSamples(dir.filePath("mix.wav")) == expected);
}

TEST(NormalisedMerge, StoppedWhileMeasuringWritesNothing)
{
    QTemporaryDir dir;
    const QString a = Tone(dir, "a.wav", 0.1, 440, 4), b = Tone(dir, "b.wav", 0.5, 1000, 4);
    TAudioFile2 writer;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    RecordingObserver observer;
    MergeEngine engine(writer, info, encoder, observer);
    observer.onBreathe = [&](int breath) {
        if (breath == 5) // the second source's first second
            engine.Stop();
    };
    MergeRequest request;
    request.sources = {a, b};
    request.fileNameText = "mix";
    request.savePath = dir.filePath("out") + "/";
    request.formatText = "WAV";
    request.normaliseLufs = -23;
    const TProgramSettings settings;
    engine.Run(request, settings);
    EXPECT_EQ(observer.statusTexts.first(), "Measuring...");
    EXPECT_EQ(observer.statusTexts.last(), "Cancel");
    EXPECT_EQ(observer.texts("information"), QStringList{"Cancel merging files!"});
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_GT(observer.gauge.last(), 0);
    EXPECT_TRUE(QDir(dir.filePath("out")).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(engine.Merging());
}

} // namespace
