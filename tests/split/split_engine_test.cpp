#include "audio/AudioError.h"
#include "split/SplitEngine.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// Records what the window would show; can press Cancel after a given block.
class RecordingObserver : public RunReport {
public:
    explicit RecordingObserver(SplitRun &run) : run_(run) {}

    QList<int> progress;
    QStringList statuses;
    QStringList information;
    QStringList plain;
    QStringList errors;
    QList<bool> checkedRows; // row i is checked when absent or true
    int blocks = 0;
    int cancelAfterBlock = -1;
    std::function<void()> onBreathe;

    void Progress(int percent) override { progress << percent; }
    void Status(const QString &text) override { statuses << text; }
    void Information(const QString &text) override { information << text; }
    void Message(const QString &text) override { plain << text; }
    void Error(const QString &text) override { errors << text; }
    bool IsRowChecked(int row) const { return row >= checkedRows.size() || checkedRows[row]; }
    void Breathe() override
    {
        if (++blocks == cancelAfterBlock)
            run_.Running = false;
        if (onBreathe)
            onBreathe();
    }

private:
    SplitRun &run_;
};

// One split window's worth of components around a generated source.
class SplitEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        out = dir.path() + "/out/";
        QDir().mkpath(out);
        settings.savepath = out;
        settings.saveformat = "wav";
    }

    // A stereo 44100 Hz sine of the given length as WAV: every frame exact.
    void MakeSource(double seconds, int rate = 44100)
    {
        source = dir.path() + "/tone.wav";
        fixtures::MakeTone(source, seconds, rate, 2, {"-c:a", "pcm_s16le"});
        try {
            info.LoadFile(source);
        } catch (const AudioError &e) {
            FAIL() << "information component cannot read the tone: " << e.what();
        }
        info.setInfoArtist("Split Artist");
        plan.SourcePath = source;
        plan.DurationSeconds = int32_t(info.Duration() / 1000);
    }

    SplitOutcome Run(SplitMode mode, int32_t number)
    {
        run.IsRowChecked = [this](int row) { return observer.IsRowChecked(row); };
        SplitEngine engine(fileW, info, lame, settings, plan, run, observer);
        try {
            return engine.RunSplit(source, mode, number);
        } catch (const AudioError &e) {
            ADD_FAILURE() << "component error escaped the run: " << e.what();
            return SplitOutcome::Failed;
        }
    }

    QStringList OutputFiles() const { return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // A 320 kbps stereo MP3 of the given length, for the lossless split.
    void MakeMp3Source(double seconds)
    {
        source = dir.path() + "/tone.mp3";
        ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                           QStringLiteral("sine=f=440:d=%1").arg(seconds), "-ar", "44100", "-ac", "2",
                                           "-c:a", "libmp3lame", "-b:a", "320k", source}),
                  0);
        info.LoadFile(source);
        plan.SourcePath = source;
        plan.DurationSeconds = int32_t(info.Duration() / 1000);
        settings.saveformat = "mp3";
        run.Lossless = true;
    }

    QTemporaryDir dir;
    QString out;
    QString source;
    TAudioFile2 fileR, fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc lame;
    TProgramSettings settings;
    SplitPlan plan;
    SplitRun run;
    RecordingObserver observer{run};
};

} // namespace

TEST_F(SplitEngineTest, ByAmountSharesTheBlockThatReachesThePartEnd)
{
    MakeSource(4.0); // 176400 frames, 8 blocks of 22050 at "Normal"
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed);

    EXPECT_EQ(OutputFiles(), (QStringList{"tone-01.wav", "tone-02.wav"}));
    EXPECT_EQ(run.SplitBlockSamples, 22050);
    // Block 4 reaches 88200 exactly: it ends part 1 and begins part 2.
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 4 * 22050);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-02.wav"), 5 * 22050);
    QFile part(out + "tone-01.wav");
    ASSERT_TRUE(part.open(QIODevice::ReadOnly));
    EXPECT_EQ(part.read(4), "RIFF"); // announced as the small part it is
    EXPECT_EQ(observer.statuses.last(), "Complete!");
    EXPECT_EQ(observer.information, QStringList{"Complete splitting file " + source + "!"});
    EXPECT_EQ(observer.progress.last(), 100);
    EXPECT_TRUE(observer.errors.isEmpty());
    EXPECT_FALSE(run.Running);
}

TEST_F(SplitEngineTest, PrecisionSetsTheBlockAndHowFarAPartRunsPastItsEnd)
{
    MakeSource(3.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    run.PrecisionDivisor = 8; // 5512 frames a block
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed);
    EXPECT_EQ(run.SplitBlockSamples, 5512);
    // 13 blocks reach 66150 (half of 132300); part 2 starts with block 13.
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 13 * 5512);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-02.wav"), 132300 - 12 * 5512);
}

TEST_F(SplitEngineTest, EveryPlannedPartIsCreatedWhenOneBlockPassesSeveralEnds)
{
    MakeSource(2.0); // 88200 frames
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    run.PrecisionDivisor = 1; // one-second blocks, parts of a quarter second
    ASSERT_EQ(Run(SplitMode::ByAmount, 8), SplitOutcome::Completed);
    QStringList expected;
    for (int k = 1; k <= 8; ++k)
        expected << QString("tone-%1.wav").arg(k, 2, 10, QChar('0'));
    EXPECT_EQ(OutputFiles(), expected);
    // Block 1 passes the ends of parts 1-4, block 2 those of parts 5-7: each
    // part gets the block that passed over it, part 5 both blocks.
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 44100);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-04.wav"), 44100);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-05.wav"), 88200);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-07.wav"), 44100);
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-08.wav"), 44100);
}

TEST_F(SplitEngineTest, UncheckedPartsAreReadButNotWritten)
{
    MakeSource(6.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    plan.ResetManualPlan("wav");
    plan.ResizeParts(3);
    plan.PartCount = 3;
    plan.TimePoints = {0, 2, 4, 6};
    plan.PartNames[2] = "middle.mp3";
    plan.PartNames[3] = "last";
    observer.checkedRows = {true, false, true};
    ASSERT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Completed);

    EXPECT_EQ(OutputFiles(), (QStringList{"last.wav", "tone-01.wav"}));
    // Part 1: blocks 1-4; part 2 (blocks 4-8) unsaved; part 3 begins with block 8.
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 4 * 22050);
    EXPECT_EQ(fixtures::DecodedFrames(out + "last.wav"), 264600 - 7 * 22050);
}

TEST_F(SplitEngineTest, FirstUncheckedRowCreatesNoFileUntilACheckedPartBegins)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    plan.ResetManualPlan("wav");
    plan.ResizeParts(2);
    plan.PartCount = 2;
    plan.TimePoints = {0, 1, 2};
    plan.PartNames[2] = "second.wav";
    observer.checkedRows = {false, true};
    ASSERT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Completed);
    EXPECT_EQ(OutputFiles(), QStringList{"second.wav"});
    EXPECT_EQ(fixtures::DecodedFrames(out + "second.wav"), 88200 - 22050);
}

TEST_F(SplitEngineTest, CancelKeepsThePartWrittenSoFarWithItsTag)
{
    MakeSource(4.0);
    if (HasFatalFailure()) return;
    settings.jobs = 1; // blocks counted one part after another
    observer.cancelAfterBlock = 3;
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Cancelled);
    EXPECT_EQ(OutputFiles(), QStringList{"tone-01.wav"});
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 3 * 22050);
    EXPECT_EQ(fixtures::ProbeFile(out + "tone-01.wav").tags.value("title").toString(), "tone-01");
    EXPECT_EQ(observer.statuses.last(), "Cancel");
    EXPECT_EQ(observer.information, QStringList{"Cancel splitting file " + source + "!"});
}

TEST_F(SplitEngineTest, WithoutCopyTagNoTitleIsWritten)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    ASSERT_EQ(Run(SplitMode::ByAmount, 1), SplitOutcome::Completed);
    EXPECT_EQ(OutputFiles(), QStringList{"tone-01.wav"});
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 88200);
    EXPECT_TRUE(fixtures::ProbeFile(out + "tone-01.wav").tags.value("title").toString().isEmpty());
}

TEST_F(SplitEngineTest, UnreadableSourceIsReportedAndCreatesNoFile)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("this is not audio at all");
    f.close();
    EXPECT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Failed);
    EXPECT_TRUE(OutputFiles().isEmpty());
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(source));
    EXPECT_TRUE(observer.information.isEmpty());
    EXPECT_FALSE(observer.statuses.contains("Complete!"));
}

TEST_F(SplitEngineTest, MissingOutputFolderEndsTheRunWithAMessageNamingTheFile)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    settings.savepath = dir.path() + "/no/such/folder/";
    EXPECT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Failed);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(settings.savepath + "tone-01.wav"));
    EXPECT_TRUE(observer.information.isEmpty());
    EXPECT_FALSE(run.Running);
}

TEST_F(SplitEngineTest, PartThatCannotBeCreatedKeepsThePartsAlreadyFinished)
{
    MakeSource(4.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    run.Overwrite = true; // else the part would go beside the folder, as New_tone-02.wav
    ASSERT_TRUE(QDir().mkpath(out + "tone-02.wav")); // a folder where part 2 should go
    EXPECT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Failed);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(out + "tone-02.wav"));
    EXPECT_EQ(fixtures::DecodedFrames(out + "tone-01.wav"), 4 * 22050);
    EXPECT_FALSE(observer.statuses.contains("Complete!"));
}

TEST_F(SplitEngineTest, WriteFailureEndsTheRunWithAMessageNamingThePart)
{
    MakeSource(4.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    // A file size limit makes the disk "full" after 100 kB for this process.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const SplitOutcome outcome = Run(SplitMode::ByAmount, 2);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(outcome, SplitOutcome::Failed);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(out + "tone-01.wav")) << observer.errors[0].toStdString();
    EXPECT_TRUE(observer.information.isEmpty());
    EXPECT_FALSE(observer.statuses.contains("Complete!"));
    EXPECT_FALSE(QFile::exists(out + "tone-02.wav"));
    EXPECT_FALSE(run.Running);
}

TEST_F(SplitEngineTest, PartNamedLikeTheSourceInItsFolderIsRefused)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    const QByteArray before = [&] { QFile f(source); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    settings.savepath = dir.path() + "/";
    plan.ResetManualPlan("wav");
    plan.PartNames[1] = "tone.wav";
    EXPECT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Refused);
    ASSERT_EQ(observer.information.size(), 1);
    EXPECT_TRUE(observer.information[0].contains(source));
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"tone.wav"});
}

TEST_F(SplitEngineTest, TwoSavedPartsWithOneNameAreRefusedBeforeAnythingIsWritten)
{
    MakeSource(3.0);
    if (HasFatalFailure()) return;
    plan.ResetManualPlan("wav");
    plan.ResizeParts(3);
    plan.PartCount = 3;
    plan.TimePoints = {0, 1, 2, 3};
    plan.PartNames[2] = "tone-02.wav";
    plan.PartNames[3] = "tone-01.ogg"; // the extension does not count: both become tone-01.wav
    EXPECT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Refused);
    EXPECT_EQ(observer.information,
              QStringList{"The parts 1 and 3 would both be written to " + out
                          + "tone-01.wav. Please give one of them another name."});
    EXPECT_TRUE(OutputFiles().isEmpty());

    // An unsaved part writes no file, so it may keep the name.
    observer.information.clear();
    observer.checkedRows = {true, true, false};
    EXPECT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Completed);
    EXPECT_EQ(OutputFiles(), (QStringList{"tone-01.wav", "tone-02.wav"}));
}

TEST_F(SplitEngineTest, NoCheckedPartIsRefusedInsteadOfReportingSuccess)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    plan.ResetManualPlan("wav");
    plan.ResizeParts(2);
    plan.PartCount = 2;
    plan.TimePoints = {0, 1, 2};
    plan.PartNames[2] = "tone-02.wav";
    observer.checkedRows = {false, false};
    EXPECT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Refused);
    EXPECT_EQ(observer.information, QStringList{"Please check at least one part to save!"});
    EXPECT_FALSE(observer.statuses.contains("Complete!"));
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(SplitEngineTest, OggBitrateTheEncoderRefusesShowsIncorrectFormatAndStillSplits)
{
    MakeSource(2.0);
    if (HasFatalFailure()) return;
    run.CopyTag = false;
    settings.saveformat = "ogg";
    settings.ogg_bitrate = 5000; // far beyond what Vorbis can do
    ASSERT_EQ(Run(SplitMode::ByAmount, 1), SplitOutcome::Completed);
    EXPECT_EQ(observer.plain, QStringList{"Incorrect format"});
    EXPECT_EQ(fixtures::ProbeFile(out + "tone-01.ogg").codec, "vorbis");
}

// Each format: three parts by time, with the tag copied and the part's name as title.
class SplitEngineFormatTest : public SplitEngineTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(SplitEngineFormatTest, ByTimeWritesEveryPartInTheFormatWithItsTitle)
{
    MakeSource(5.0);
    if (HasFatalFailure()) return;
    const QString ext = GetParam();
    settings.saveformat = ext;
    ASSERT_EQ(Run(SplitMode::ByTime, 2), SplitOutcome::Completed);
    ASSERT_TRUE(observer.errors.isEmpty()) << observer.errors.join("\n").toStdString();
    const QStringList names{"tone-01." + ext, "tone-02." + ext, "tone-03." + ext};
    ASSERT_EQ(OutputFiles(), names);

    const double block = 0.5;
    const double planned[] = {2.0, 2.0 + block, 1.0 + block}; // shared blocks
    for (int k = 0; k < 3; ++k) {
        const fixtures::Probe p = fixtures::ProbeFile(out + names[k]);
        EXPECT_NEAR(p.duration, planned[k], block + 0.1) << names[k].toStdString();
        EXPECT_EQ(p.tags.value("title").toString(), QFileInfo(names[k]).completeBaseName());
        EXPECT_EQ(p.tags.value("artist").toString(), "Split Artist");
    }
    // Tagging leaves the last part's title in the information object.
    EXPECT_EQ(info.infoTitle(), "tone-03");
}

INSTANTIATE_TEST_SUITE_P(Formats, SplitEngineFormatTest, ::testing::Values("mp3", "wav", "wma", "ogg"),
                         [](const auto &param) { return std::string(param.param); });

// Exact: every part ends at its planned frame and nothing is shared or lost,
// in each mode; the written parts carry "k/n" among the parts written.
class SplitEngineExactTest : public SplitEngineTest, public ::testing::WithParamInterface<SplitMode> {};

TEST_P(SplitEngineExactTest, PartsAddUpToTheSourceFrameForFrame)
{
    MakeSource(5.3); // 233730 frames: the points fall inside blocks
    if (HasFatalFailure()) return;
    run.ExactCut = true;
    int32_t number = 3;
    if (GetParam() == SplitMode::ByTime) {
        number = 2;
    } else if (GetParam() == SplitMode::BySettings) {
        number = 0;
        plan.ResetManualPlan("wav");
        plan.ResizeParts(3);
        plan.PartCount = 3;
        plan.TimePoints = {0, 1, 4, 5};
        plan.PartNames[2] = "b.wav";
        plan.PartNames[3] = "c.wav";
    }
    ASSERT_EQ(Run(GetParam(), number), SplitOutcome::Completed);
    const QStringList parts = GetParam() == SplitMode::BySettings
                                  ? QStringList{"tone-01.wav", "b.wav", "c.wav"}
                                  : QStringList{"tone-01.wav", "tone-02.wav", "tone-03.wav"};
    ASSERT_EQ(OutputFiles().size(), 3);

    std::vector<float> joined;
    for (int k = 1; k <= 3; ++k) {
        const QString part = out + parts[k - 1];
        const std::vector<float> samples = fixtures::DecodedSamples(part);
        const int64_t end = k < 3 ? int64_t(std::ceil(plan.SamplePoints[k])) : 233730;
        EXPECT_EQ(int64_t(joined.size() + samples.size()) / 2, end) << part.toStdString();
        joined.insert(joined.end(), samples.begin(), samples.end());
        EXPECT_EQ(fixtures::ProbeFile(part).tags.value("track").toString(), QString("%1/3").arg(k));
    }
    EXPECT_TRUE(joined == fixtures::DecodedSamples(source));
    EXPECT_TRUE(info.infoTrack().isEmpty()) << "a later Update of the source must not get a track number";
}

INSTANTIATE_TEST_SUITE_P(Modes, SplitEngineExactTest,
                         ::testing::Values(SplitMode::ByAmount, SplitMode::ByTime, SplitMode::BySettings),
                         [](const auto &p) { return std::to_string(int(p.param)); });

TEST_F(SplitEngineTest, LosslessCopiesTheFramesAndKeepsTheWholeTagOfTheSource)
{
    source = dir.path() + "/live.mp3";
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=7:a=0.3:c=pink",
                                       "-f", "lavfi", "-i", "color=c=blue:s=32x32:d=1", "-map", "0:a", "-map", "1:v",
                                       "-frames:v", "1", "-c:v", "png", "-disposition:v", "attached_pic",
                                       "-id3v2_version", "3", "-metadata", "composer=Someone", "-ar", "44100",
                                       "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", source}),
              0);
    info.LoadFile(source);
    ASSERT_TRUE(info.IsMpegLayer3());
    plan.SourcePath = source;
    plan.DurationSeconds = int32_t(info.Duration() / 1000);
    settings.saveformat = "mp3";
    settings.mp3_bitrate = 32; // not used: nothing is re-encoded
    run.Lossless = true;
    plan.ResetManualPlan("mp3");
    plan.ResizeParts(3);
    plan.PartCount = 3;
    plan.TimePoints = {0, 2, 5, 7};
    plan.PartNames[2] = "skipped.mp3";
    plan.PartNames[3] = "last.mp3";
    observer.checkedRows = {true, false, true};
    ASSERT_EQ(Run(SplitMode::BySettings, 0), SplitOutcome::Completed) << observer.errors.join("\n").toStdString();
    ASSERT_EQ(OutputFiles(), (QStringList{"last.mp3", "live-01.mp3"}));

    const std::vector<float> whole = fixtures::DecodedSamples(source);
    const int64_t cut[] = {0, 2 * 44100, 5 * 44100, int64_t(whole.size() / 2)};
    const QString names[] = {"live-01.mp3", "", "last.mp3"};
    for (int k : {0, 2}) {
        const std::vector<float> part = fixtures::DecodedSamples(out + names[k]);
        EXPECT_TRUE(part == std::vector<float>(whole.begin() + cut[k] * 2, whole.begin() + cut[k + 1] * 2))
            << names[k].toStdString();
        const fixtures::Probe p = fixtures::ProbeFile(out + names[k]);
        EXPECT_EQ(p.tags.value("composer").toString(), "Someone");
        EXPECT_EQ(p.tags.value("track").toString(), k == 0 ? "1/2" : "2/2");
        EXPECT_EQ(p.tags.value("title").toString(), QFileInfo(names[k]).completeBaseName());
        QByteArray streams;
        fixtures::Run("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", out + names[k]},
                      &streams);
        EXPECT_TRUE(streams.contains("png")) << "the cover picture travels with the audio";
    }
}

TEST_F(SplitEngineTest, LosslessRefusesWhatItCannotCopyAndWritesNothing)
{
    MakeSource(2.0); // a WAV source
    if (HasFatalFailure()) return;
    run.Lossless = true;
    settings.saveformat = "mp3";
    EXPECT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Failed);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(source)) << observer.errors[0].toStdString();
    settings.saveformat = "wav";
    EXPECT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Failed);
    EXPECT_TRUE(OutputFiles().isEmpty());
}

static QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(SplitEngineTest, SplittingAgainKeepsThePartsAlreadyThereAndWritesNewOnes)
{
    MakeSource(3.0);
    if (HasFatalFailure()) return;
    settings.jobs = 1;
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed);
    const QByteArray first = Bytes(out + "tone-01.wav"), second = Bytes(out + "tone-02.wav");
    settings.jobs = 2; // the parts written at once take the chosen names too
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed);
    EXPECT_EQ(run.PartsAtOnce, 2);
    settings.jobs = 1;
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed);

    EXPECT_EQ(OutputFiles(), (QStringList{"New_2_tone-01.wav", "New_2_tone-02.wav", "New_tone-01.wav",
                                          "New_tone-02.wav", "tone-01.wav", "tone-02.wav"}));
    EXPECT_TRUE(Bytes(out + "tone-01.wav") == first);
    EXPECT_TRUE(Bytes(out + "tone-02.wav") == second);
    for (const char *name : {"New_tone-01.wav", "New_2_tone-01.wav"}) {
        EXPECT_EQ(fixtures::DecodedFrames(out + name), fixtures::DecodedFrames(out + "tone-01.wav")) << name;
        EXPECT_EQ(fixtures::ProbeFile(out + name).tags.value("title").toString(), "tone-01") << name;
    }
}

TEST_F(SplitEngineTest, LosslessSplitLetsTheWindowBreatheWhileItWalksAndCopies)
{
    MakeMp3Source(60.0);
    if (HasFatalFailure()) return;
    const QByteArray older("not a part");
    QFile f(out + "tone-01.mp3");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(older) == older.size());
    f.close();
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Completed) << observer.errors.join("\n").toStdString();
    // Once a part was all it had: Cancel went unheard for a whole copy.
    EXPECT_GE(observer.blocks, 4 * 2);
    EXPECT_TRUE(std::is_sorted(observer.progress.begin(), observer.progress.end()));
    EXPECT_EQ(OutputFiles(), (QStringList{"New_tone-01.mp3", "tone-01.mp3", "tone-02.mp3"}));
    EXPECT_TRUE(Bytes(out + "tone-01.mp3") == older);
    EXPECT_NEAR(fixtures::ProbeFile(out + "New_tone-01.mp3").duration, 30.0, 0.05);
}

TEST_F(SplitEngineTest, CancelDuringALosslessCopyLeavesNoUnfinishedPart)
{
    MakeMp3Source(60.0);
    if (HasFatalFailure()) return;
    // Pressed as soon as the first part has begun.
    observer.onBreathe = [&] {
        if (run.CurrentPart == 1 && run.SamplesRead > 0)
            run.Running = false;
    };
    ASSERT_EQ(Run(SplitMode::ByAmount, 2), SplitOutcome::Cancelled);
    EXPECT_EQ(OutputFiles(), QStringList{});
    EXPECT_EQ(observer.statuses.last(), "Cancel");
    EXPECT_EQ(observer.information, QStringList{"Cancel splitting file " + source + "!"});
    EXPECT_FALSE(run.Running);
}

TEST(PartSpans, ABlockThatReachesAPointEndsOnePartAndBeginsTheNext)
{
    // Blocks of 100 frames; block 5 (400-500) reaches 450.
    const std::vector<PartSpan> spans = SplitPartSpans({0, 450, 1000}, 2, 1000, 100, false);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].end, 500);
    EXPECT_EQ(spans[1].start, 400);
    EXPECT_EQ(spans[1].end, 1000);
    EXPECT_EQ(spans[1].begins, 450); // a source shorter than that has no part 2
}

TEST(PartSpans, ExactCutsAtThePointRoundedUpAndNoPartFollowsAnEndPastTheSource)
{
    const std::vector<PartSpan> spans = SplitPartSpans({0, 250.5L, 2000, 3000}, 3, 1000, 100, true);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].end, 251);
    EXPECT_EQ(spans[1].start, 251);
    EXPECT_EQ(spans[1].begins, 251);
    EXPECT_EQ(spans[1].end, 1000);
}

// 40 hours at 44.1 kHz: frames times frames passes 64 bits.
TEST(Progress, ArithmeticHoldsForSourcesOfDays)
{
    const int64_t total = int64_t(44100) * 3600 * 40;
    EXPECT_EQ(ScaleFrames(total / 2, total, total), total / 2);
    EXPECT_EQ(ProgressPercent(total / 2, total), 50);
    EXPECT_EQ(ProgressPercent(INT64_MAX / 3, INT64_MAX), 33);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
}
