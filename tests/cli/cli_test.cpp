#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QThread>
#include <csignal>

namespace {

QString CliPath()
{
    return QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli";
}

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result RunCli(const QStringList &args, const QString &workingDirectory = {})
{
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(CliPath(), args);
    EXPECT_TRUE(p.waitForStarted(10000)) << "cannot start " << CliPath().toStdString();
    EXPECT_TRUE(p.waitForFinished(300000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(CliPath()))
            GTEST_SKIP() << "quorvis-cli is not built";
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath("tone.wav");
        fixtures::MakeTone(source, 6.0, 44100, 2, {"-c:a", "pcm_s16le"});
    }
    QTemporaryDir dir;
    QString source;
};

TEST_F(Cli, WrongUsageExitsWithTwoAndShowsUsage)
{
    for (const QStringList &args : {QStringList{}, QStringList{"frobnicate"}, QStringList{"split", source},
                                    QStringList{"split", source, "--parts", "2", "--every", "3"},
                                    QStringList{"split", source, "--parts", "0"},
                                    QStringList{"split", source, "--parts", "2", "--threshold", "-30"},
                                    QStringList{"split", source, "--silence", "--min-silence", "0"},
                                    QStringList{"info", source, "--bogus"},
                                    QStringList{"convert", source, "--format", "aac"}}) {
        const Result r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage:")) << r.err.toStdString();
    }
}

TEST_F(Cli, InfoJsonDescribesEachFileAndFlagsUnreadableOnes)
{
    const QString junk = dir.filePath("junk.mp3");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();

    const Result r = RunCli({"info", "--json", source, junk, "--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    const QJsonArray files = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(files.size(), 2) << r.out.toStdString();
    const QJsonObject tone = files[0].toObject();
    EXPECT_EQ(tone.value("frames").toInteger(), 6 * 44100);
    EXPECT_EQ(tone.value("duration_ms").toInteger(), 6000);
    EXPECT_EQ(tone.value("channels").toInt(), 2);
    EXPECT_EQ(tone.value("size").toInteger(), QFileInfo(source).size());
    EXPECT_TRUE(files[1].toObject().contains("error"));
}

TEST_F(Cli, SplitByPartsWritesNumberedPartsThatAddUpToTheSource)
{
    const QString out = dir.filePath("parts");
    const Result r = RunCli({"split", source, "--parts", "3", "--format", "wav", "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList files = QDir(out).entryList({"*.wav"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files, (QStringList{"tone-01.wav", "tone-02.wav", "tone-03.wav"}));
    int64_t total = 0;
    for (const QString &name : files)
        total += fixtures::DecodedFrames(out + "/" + name);
    // Exact unless a block precision is asked for: nothing shared, nothing lost.
    EXPECT_EQ(total, 6 * 44100);
}

TEST_F(Cli, SplitTakesAnyPartCountAndRefusesWhatItCannotDo)
{
    const QString out = dir.filePath("many");
    Result r = RunCli({"split", source, "--parts", "10", "--format", "wav", "--out", out, "--quiet"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(out).entryList({"*.wav"}, QDir::Files).size(), 10);

    for (const QStringList &args : {QStringList{"--every", "99999999999:00"}, QStringList{"--every", "4294967297"},
                                    QStringList{"--parts", "2", "--lossless", "--format", "wav"}}) {
        r = RunCli(QStringList{"split", source, "--out", out} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << r.err.toStdString();
    }
    r = RunCli({"split", source, "--parts", "2", "--lossless", "--format", "mp3", "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(source) && r.err.contains("--lossless")) << r.err.toStdString();
}

TEST_F(Cli, SplitAtTimesAcceptsSecondsAndMinutes)
{
    const QString out = dir.filePath("at");
    const Result r = RunCli({"split", source, "--at", "0:02,4", "--format", "mp3", "--out", out, "--quiet",
                             "--precision", "very-high"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList files = QDir(out).entryList({"*.mp3"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3);
    for (const QString &name : files) {
        const fixtures::Probe p = fixtures::ProbeFile(out + "/" + name);
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_NEAR(p.duration, 2.0, 0.2) << name.toStdString();
    }
}

TEST_F(Cli, SplitByCueSheetCutsAtItsTracksAndWarnsOfAnotherFileName)
{
    const QString sheet = dir.filePath("album.cue");
    QFile f(sheet);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("FILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:02:40\n");
    f.close();
    const QString out = dir.filePath("cue");
    const Result r = RunCli({"split", source, "--cue", sheet, "--format", "wav", "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("is written for \"album.flac\"")) << r.err.toStdString();
    EXPECT_EQ(fixtures::DecodedFrames(out + "/01 - One.wav"), 2 * 44100 + 40 * 588);
    EXPECT_EQ(fixtures::DecodedFrames(out + "/02 - Two.wav"), 6 * 44100 - (2 * 44100 + 40 * 588));
}

TEST_F(Cli, SplitAtSilencesCanDropTheSilences)
{
    const QString tones = dir.filePath("tones.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                       "aevalsrc='if(between(t,2,3),0,0.5*sin(2*PI*440*t))':s=44100:d=5", "-ac", "2",
                                       "-c:a", "pcm_s16le", tones}),
              0);
    const QString out = dir.filePath("silence");
    const Result r = RunCli({"split", tones, "--silence", "--min-silence", "0.5", "--trim-silence", "--format", "wav",
                             "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), (QStringList{"tones-01.wav", "tones-02.wav"}));
    EXPECT_NEAR(double(fixtures::DecodedFrames(out + "/tones-01.wav")), 2 * 44100, 2205);
    EXPECT_NEAR(double(fixtures::DecodedFrames(out + "/tones-02.wav")), 2 * 44100, 2205);
}

TEST_F(Cli, SplitByLabelsWritesTheRegionsUnderTheirNamesAndCutsAtPoints)
{
    const QString labels = dir.filePath("labels.txt");
    QFile f(labels);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0.500000\t2.250000\tFirst take\r\n\\\t100.0\t900.0\r\n1.500000\t1.500000\t\r\n"
            "3.000000\t5.000000\tSecond/take\r\n");
    f.close();
    const QString out = dir.filePath("labels");
    const Result r = RunCli({"split", source, "--labels", labels, "--format", "wav", "--out", out, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The unlabelled stretches (0-0.5, 2.25-3, 5-6 s) are not written.
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
              (QStringList{"First take.wav", "Second_take.wav", "tone-03.wav"}));
    EXPECT_NEAR(fixtures::ProbeFile(out + "/First take.wav").duration, 1.0, 0.001);
    EXPECT_NEAR(fixtures::ProbeFile(out + "/tone-03.wav").duration, 0.75, 0.001);
    EXPECT_NEAR(fixtures::ProbeFile(out + "/Second_take.wav").duration, 2.0, 0.001);

    QFile bad(labels);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1.0\t2.0\tok\nsoon\t3\tx\n");
    bad.close();
    const Result refused = RunCli({"split", source, "--labels", labels, "--format", "wav", "--out", out});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("labels.txt, line 2: \"soon\" is not a time in seconds")) << refused.err.toStdString();
}

TEST_F(Cli, SplitAtSilencesIntoANumberOfTracksTakesTheLongestSilences)
{
    // Silences of 0.6, 1.0 and 0.7 s between four tones.
    const QString tones = dir.filePath("tones.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                       "aevalsrc='if(between(t,1,1.6)+between(t,3,4)+between(t,5.3,6),0,"
                                       "0.5*sin(2*PI*440*t))':s=44100:d=8",
                                       "-ac", "2", "-c:a", "pcm_s16le", tones}),
              0);
    struct Case {
        QStringList options;
        QList<double> seconds;
    };
    // Cut in the middles (1.3, 3.5 and 5.65 s) of the chosen ones.
    const QList<Case> cases{{{"--tracks", "3"}, {3.5, 2.15, 2.35}},
                            {{"--tracks", "2", "--trim-silence"}, {3.0, 4.0}},
                            {{"--tracks", "0"}, {1.3, 2.2, 2.15, 2.35}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const QString out = dir.filePath("tracks" + c.options.join(""));
        const Result r = RunCli(QStringList{"split", tones, "--silence", "--min-silence", "0.5", "--format", "wav",
                                            "--out", out, "--quiet"}
                                + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(files.size(), c.seconds.size()) << files.join(' ').toStdString();
        for (int i = 0; i < files.size(); ++i)
            EXPECT_NEAR(fixtures::ProbeFile(out + "/" + files[i]).duration, c.seconds[i], 0.02) << i;
    }
    EXPECT_EQ(RunCli({"split", tones, "--parts", "2", "--tracks", "3"}).exitCode, 2);
    EXPECT_EQ(RunCli({"split", tones, "--silence", "--tracks", "-1"}).exitCode, 2);
}

TEST_F(Cli, SplitKeepsPartsAlreadyThereUnlessToldToOverwrite)
{
    const QString out = dir.filePath("again");
    const QStringList split{"split", source, "--parts", "2", "--format", "wav", "--out", out, "--quiet"};
    ASSERT_EQ(RunCli(split).exitCode, 0);
    QFile older(out + "/tone-02.wav");
    ASSERT_TRUE(older.open(QIODevice::WriteOnly | QIODevice::Truncate));
    older.write("kept");
    older.close();

    Result r = RunCli(split);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Quiet, but a script learns where each part went when its name was taken.
    for (const char *name : {"/New_tone-01.wav", "/New_tone-02.wav"})
        EXPECT_TRUE(r.err.contains(QDir::toNativeSeparators(out + name))) << r.err.toStdString();
    QFile kept(out + "/tone-02.wav");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "kept");
    kept.close();

    r = RunCli(split + QStringList{"--overwrite"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
              (QStringList{"New_tone-01.wav", "New_tone-02.wav", "tone-01.wav", "tone-02.wav"}));
    EXPECT_EQ(fixtures::DecodedFrames(out + "/tone-02.wav"), 3 * 44100);
}

TEST_F(Cli, InterruptedSplitLeavesOnlyWellFormedClosedFiles)
{
    const QString longSource = dir.filePath("long.wav");
    fixtures::MakeTone(longSource, 240.0, 44100, 2, {"-c:a", "pcm_s16le"});
    const QString out = dir.filePath("cut");
    QProcess p;
    p.start(CliPath(), {"split", longSource, "--parts", "8", "--format", "mp3", "--out", out, "--precision", "very-high"});
    ASSERT_TRUE(p.waitForStarted());
    // Wait for the first part to appear, then press Ctrl-C.
    for (int i = 0; i < 600 && QDir(out).entryList({"*.mp3"}, QDir::Files).isEmpty(); ++i)
        QThread::msleep(50);
    ::kill(p.processId(), SIGINT);
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 1);
    const QStringList files = QDir(out).entryList({"*.mp3"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    EXPECT_LT(files.size(), 8);
    for (const QString &name : files) {
        QByteArray err;
        // ffmpeg decodes every part to its end without complaint.
        EXPECT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-xerror", "-i", out + "/" + name, "-f", "null", "-"}, &err), 0)
            << name.toStdString();
        EXPECT_GT(fixtures::DecodedFrames(out + "/" + name), 0);
    }
}

} // namespace

namespace {

TEST_F(Cli, MergeJoinsInOrderIntoOneTaggedFile)
{
    const QString second = dir.filePath("second.ogg");
    fixtures::MakeTone(second, 3.0, 48000, 1, {"-c:a", "libvorbis"}, 660);
    const QString out = dir.filePath("merged");
    const Result r = RunCli({"merge", source, second, "--output", "both", "--format", "mp3", "--out", out,
                             "--title", "Both Tones", "--artist", "Quorvis Tests", "--year", "2024", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const fixtures::Probe p = fixtures::ProbeFile(out + "/both.mp3");
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_NEAR(p.duration, 9.0, 0.1);
    EXPECT_EQ(p.tags.value("title").toString(), "Both Tones");
    EXPECT_EQ(p.tags.value("artist").toString(), "Quorvis Tests");
    EXPECT_TRUE(p.tags.value("date").toString().startsWith("2024")) << p.tags.value("date").toString().toStdString();
}

TEST_F(Cli, ConvertNamesByExtensionAndNeverOverwritesAFile)
{
    const QString tagged = dir.filePath("tagged.mp3");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-i", source, "-metadata", "title=Original",
                                       "-c:a", "libmp3lame", tagged}), 0);
    // Converting into the sources' own folder: tone.ogg is new, tagged.ogg is
    // new, and a second run finds both taken and writes New_ files.
    for (int run = 0; run < 2; ++run) {
        const Result r = RunCli({"convert", source, tagged, "--format", "ogg", "--out", dir.path(), "--copy-tags", "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // Quiet, but a script learns where an output went when its name was taken.
        EXPECT_EQ(r.err.contains(dir.filePath("New_tone.ogg")), run == 1) << r.err.toStdString();
    }
    for (const char *name : {"tone.ogg", "tagged.ogg", "New_tone.ogg", "New_tagged.ogg"}) {
        const fixtures::Probe p = fixtures::ProbeFile(dir.filePath(name));
        EXPECT_EQ(p.codec, "vorbis") << name;
        EXPECT_NEAR(p.duration, 6.0, 0.05) << name;
    }
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath("New_tagged.ogg")).tags.value("title").toString(), "Original");
}

TEST_F(Cli, ConvertWritesFlacAndOpusWhenAskedFor)
{
    for (const char *format : {"flac", "opus"}) {
        const Result r = RunCli({"convert", source, "--format", format, "--out", dir.filePath(format), "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(fixtures::ProbeFile(dir.filePath(QString(format) + "/tone." + format)).codec, format);
    }
}

TEST_F(Cli, ConvertReportsAMissingSourceAndFailsTheRun)
{
    const Result r = RunCli({"convert", source, dir.filePath("gone.wav"), "--format", "wav", "--out", dir.filePath("o"), "--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("gone.wav")) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("o/tone.wav")));
}

} // namespace

namespace {

TEST_F(Cli, QuietStillSaysWhyARunWasRefused)
{
    // The output would be the source itself.
    const Result r = RunCli({"merge", source, "--output", "tone", "--format", "wav", "--out", dir.path(), "--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("is one of the files to merge")) << r.err.toStdString();
}

TEST_F(Cli, YearTakesWhatTheTagDialogTakes)
{
    const QString out = dir.filePath("year");
    const Result r = RunCli({"merge", source, "--output", "y", "--format", "mp3", "--out", out, "--year", "$7D5", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(fixtures::ProbeFile(out + "/y.mp3").tags.value("date").toString().startsWith("2005"));
    EXPECT_EQ(RunCli({"merge", source, "--output", "y", "--out", out, "--year", "2o05"}).exitCode, 2);
}

TEST_F(Cli, AnUnreadableFileIsNamedOnce)
{
    const QString junk = dir.filePath("junk.mp3");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    const QStringList runs[] = {
        {"merge", source, junk, "--output", "m", "--format", "wav", "--out", dir.filePath("m"), "--quiet"},
        {"convert", junk, source, "--format", "wav", "--out", dir.filePath("c"), "--quiet"}};
    for (const QStringList &args : runs) {
        const Result r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1) << args[0].toStdString();
        EXPECT_EQ(r.err.count(junk), 1) << r.err.toStdString();
    }
}

// Passes once the reader reports what it could not decode; skips before.
TEST_F(Cli, ADamageWarningIsPrintedEvenWhenQuiet)
{
    const QString damaged = dir.filePath("damaged.mp3");
    MakeDamagedMp3(damaged);
    if (ReaderDamage(damaged).isEmpty())
        GTEST_SKIP() << "the reader does not report damage yet";
    const Result r = RunCli({"split", damaged, "--parts", "2", "--format", "wav", "--out", dir.filePath("d"), "--quiet"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("quorvis-cli: warning: " + damaged + ": ")) << r.err.toStdString();
}

TEST_F(Cli, ConvertWithJobsWritesWhatOneAtATimeWrites)
{
    const QString second = dir.filePath("second.ogg");
    fixtures::MakeTone(second, 3.0, 48000, 1, {"-c:a", "libvorbis"}, 660);
    for (const char *jobs : {"1", "2"}) {
        const Result r = RunCli({"convert", source, second, source, "--format", "wav", "--out", dir.filePath(jobs),
                                 "--jobs", jobs, "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    for (const char *name : {"tone.wav", "second.wav", "New_tone.wav"}) {
        QFile serial(dir.filePath(QString("1/") + name)), parallel(dir.filePath(QString("2/") + name));
        ASSERT_TRUE(serial.open(QIODevice::ReadOnly) && parallel.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(serial.readAll(), parallel.readAll()) << name;
    }
    EXPECT_EQ(RunCli({"convert", source, "--jobs", "many"}).exitCode, 2);
}

TEST_F(Cli, InterruptedParallelConvertClosesItsFilesAndStartsNoMore)
{
    QStringList args = {"convert"};
    for (int i = 0; i < 4; ++i) {
        args << dir.filePath(QString("long%1.wav").arg(i));
        fixtures::MakeTone(args.last(), 90.0, 44100, 2, {"-c:a", "pcm_s16le"});
    }
    const QString out = dir.filePath("conv");
    QProcess p;
    p.start(CliPath(), args << "--format" << "mp3" << "--out" << out << "--jobs" << "2");
    ASSERT_TRUE(p.waitForStarted());
    for (int i = 0; i < 600 && QDir(out).entryList({"*.mp3"}, QDir::Files).size() < 2; ++i)
        QThread::msleep(50);
    ::kill(p.processId(), SIGINT);
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 1);
    const QStringList files = QDir(out).entryList({"*.mp3"}, QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"long0.mp3", "long1.mp3"}));
    for (const QString &name : files) {
        QByteArray err;
        EXPECT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-xerror", "-i", out + "/" + name, "-f", "null", "-"}, &err), 0)
            << name.toStdString();
        EXPECT_LT(fixtures::DecodedFrames(out + "/" + name), 90 * 44100);
    }
}

} // namespace

namespace {

TEST_F(Cli, DoubleDashEndsTheOptionsSoFilesMayStartWithADash)
{
    for (const char *name : {"-x.wav", "--y.wav"})
        fixtures::MakeTone(dir.filePath(name), 1.0, 44100, 2, {"-c:a", "pcm_s16le"});
    const Result r = RunCli({"convert", "--format", "flac", "--out", "o", "--quiet", "--", "-x.wav", "--y.wav"}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath("o")).entryList(QDir::Files, QDir::Name), (QStringList{"--y.flac", "-x.flac"}));
}

// Ctrl-C during a merge over an existing file: the old file stays, the part
// merged is kept under the free name, and the message says where.
TEST_F(Cli, InterruptedMergeKeepsTheExistingOutput)
{
    QStringList args = {"merge"};
    for (int i = 0; i < 2; ++i) {
        args << dir.filePath(QString("long%1.wav").arg(i));
        fixtures::MakeTone(args.last(), 30.0, 44100, 2, {"-c:a", "pcm_s16le"});
    }
    const QString out = dir.filePath("m");
    QDir().mkpath(out);
    fixtures::MakeTone(out + "/mix.mp3", 1.0, 44100, 2, {"-c:a", "libmp3lame"});
    QFile old(out + "/mix.mp3");
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();

    QProcess p;
    p.start(CliPath(), args << "--output" << "mix" << "--format" << "mp3" << "--out" << out);
    ASSERT_TRUE(p.waitForStarted());
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains('%') && p.waitForReadyRead(60000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains('%')) << err.toStdString();
    ::kill(p.processId(), SIGINT);
    ASSERT_TRUE(p.waitForFinished(120000));
    err += p.readAllStandardError();

    EXPECT_EQ(p.exitCode(), 1);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    const QString kept = out + "/New_mix.mp3";
    EXPECT_TRUE(err.contains(("saved as " + kept).toUtf8())) << err.toStdString();
    const double seconds = fixtures::ProbeFile(kept).duration;
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 60.0);
}

} // namespace
