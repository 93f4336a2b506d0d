// Parts written at once by workers of their own give the files that writing
// them one after another gives; a stop or a failing part leaves only whole,
// closed files. Judged by ffmpeg and ffprobe.
#include "split/SplitEngine.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Observer : public SplitObserver {
public:
    explicit Observer(SplitRun &run) : run_(run) {}
    QStringList statuses, errors;
    bool cancelOnceWriting = false;
    void Progress(int percent) override
    {
        if (cancelOnceWriting && percent > 0)
            run_.Running = false;
    }
    void StatusText(const QString &text) override { statuses << text; }
    void InformationMessage(const QString &) override {}
    void PlainMessage(const QString &text) override { errors << text; }
    void ErrorMessage(const QString &text) override { errors << text; }
    bool IsRowChecked(int) const override { return true; }
    void Breathe() override {}

private:
    SplitRun &run_;
};

QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Case {
    const char *source; // extension of the source: wav or mp3
    const char *format;
    bool exact;
};

class ParallelSplit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.saveformat = "wav";
    }

    void MakeSource(const QString &ext, double seconds)
    {
        source = dir.filePath("tone." + ext);
        fixtures::MakeTone(source, seconds, 44100, 2,
                           ext == "mp3" ? QStringList{"-c:a", "libmp3lame", "-b:a", "128k"} : QStringList{}, 330);
        info.LoadFile(source);
        info.setInfoArtist("Split Artist");
    }

    // The parts of `count` equal parts, written `jobs` at a time into out<jobs>/.
    SplitOutcome Split(int jobs, int32_t count, bool exact)
    {
        const QString out = dir.filePath(QStringLiteral("out%1/").arg(jobs));
        QDir().mkpath(out);
        settings.savepath = out;
        settings.jobs = jobs;
        run = SplitRun{};
        run.ExactCut = exact;
        run.Overwrite = overwrite;
        SplitPlan plan;
        plan.SourcePath = source;
        plan.DurationSeconds = int32_t(info.Duration() / 1000);
        TAudioFile2 fileR, fileW;
        TAudioFile2LameEnc lame;
        SplitEngine engine(fileR, fileW, info, lame, settings, plan, run, observer);
        return engine.RunSplit(source, SplitMode::ByAmount, count);
    }

    QStringList Files(int jobs) const
    {
        return QDir(dir.filePath(QStringLiteral("out%1").arg(jobs))).entryList(QDir::Files, QDir::Name);
    }
    QString PathOf(int jobs, const QString &name) const { return dir.filePath(QStringLiteral("out%1/").arg(jobs) + name); }

    QTemporaryDir dir;
    QString source;
    TAudioInformation2 info;
    TProgramSettings settings;
    SplitRun run;
    bool overwrite = false;
    Observer observer{run};
};

class SameFiles : public ParallelSplit, public ::testing::WithParamInterface<Case> {};

TEST_P(SameFiles, AsWritingThePartsOneAfterAnother)
{
    const Case c = GetParam();
    MakeSource(c.source, 7.3);
    settings.saveformat = c.format;
    ASSERT_EQ(Split(1, 5, c.exact), SplitOutcome::Completed);
    EXPECT_EQ(run.PartsAtOnce, 1);
    ASSERT_EQ(Split(2, 5, c.exact), SplitOutcome::Completed) << observer.errors.join("\n").toStdString();
    EXPECT_EQ(run.PartsAtOnce, 2);
    EXPECT_EQ(observer.statuses.last(), "Complete!");
    ASSERT_EQ(Files(2), Files(1));
    ASSERT_EQ(Files(2).size(), 5);
    for (const QString &name : Files(1)) {
        SCOPED_TRACE(name.toStdString());
        const QString serial = PathOf(1, name), parallel = PathOf(2, name);
        if (QString(c.format) == "ogg" || QString(c.format) == "opus") {
            // Each Ogg stream has a serial number of its own: the audio and tags must match.
            EXPECT_TRUE(fixtures::DecodedSamples(parallel) == fixtures::DecodedSamples(serial));
            EXPECT_EQ(fixtures::ProbeFile(parallel).tags, fixtures::ProbeFile(serial).tags);
        } else {
            EXPECT_TRUE(Bytes(parallel) == Bytes(serial));
        }
    }
    const fixtures::Probe last = fixtures::ProbeFile(PathOf(2, "tone-05." + QString(c.format)));
    EXPECT_EQ(last.tags.value("title").toString(), "tone-05");
    EXPECT_EQ(last.tags.value("artist").toString(), "Split Artist");
    EXPECT_EQ(info.infoTitle(), "tone-05");
}

INSTANTIATE_TEST_SUITE_P(Formats, SameFiles,
                         ::testing::Values(Case{"wav", "mp3", false}, Case{"wav", "mp3", true}, Case{"wav", "flac", true},
                                           Case{"wav", "wav", false}, Case{"wav", "ogg", true},
                                           Case{"wav", "opus", true}, Case{"mp3", "mp3", false},
                                           Case{"mp3", "flac", true}),
                         [](const auto &p) {
                             return std::string(p.param.source) + "_to_" + p.param.format
                                    + (p.param.exact ? "_exact" : "_blocks");
                         });

TEST_F(ParallelSplit, SourceWhoseSeekDiffersFromReadingThroughIsWrittenOnePartAfterAnother)
{
    source = dir.filePath("tone.m4a");
    fixtures::MakeTone(source, 4.0, 44100, 2, {"-c:a", "aac", "-b:a", "96k"});
    info.LoadFile(source);
    ASSERT_EQ(Split(2, 3, true), SplitOutcome::Completed);
    EXPECT_EQ(run.PartsAtOnce, 1);
    EXPECT_EQ(Files(2).size(), 3);
}

TEST_F(ParallelSplit, StopClosesThePartsBeingWrittenAndPassesOverTheRest)
{
    MakeSource("wav", 40.0);
    settings.saveformat = "flac";
    observer.cancelOnceWriting = true;
    ASSERT_EQ(Split(2, 10, true), SplitOutcome::Cancelled);
    EXPECT_EQ(observer.statuses.last(), "Cancel");
    const QStringList files = Files(2);
    ASSERT_FALSE(files.isEmpty());
    EXPECT_LT(files.size(), 10);
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        // Closed: the length in the header is what decodes, and flac finds it sound.
        const int64_t frames = fixtures::DecodedFrames(PathOf(2, name));
        EXPECT_GT(frames, 0);
        EXPECT_LE(frames, 4 * 44100);
        EXPECT_EQ(fixtures::Run("flac", {"-t", "-s", PathOf(2, name)}), 0);
    }
}

TEST_F(ParallelSplit, AFailingPartLeavesThePartsBeforeItWholeAndNoneAfter)
{
    MakeSource("wav", 10.0);
    ASSERT_EQ(Split(1, 5, true), SplitOutcome::Completed);
    ASSERT_TRUE(QDir().mkpath(PathOf(2, "tone-03.wav"))); // a folder where part 3 should go
    overwrite = true; // else part 3 would go beside it, as New_tone-03.wav
    EXPECT_EQ(Split(2, 5, true), SplitOutcome::Failed);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains(PathOf(2, "tone-03.wav")));
    EXPECT_EQ(Files(2), (QStringList{"tone-01.wav", "tone-02.wav"}));
    for (const QString &name : Files(2))
        EXPECT_TRUE(Bytes(PathOf(2, name)) == Bytes(PathOf(1, name))) << name.toStdString();
}

} // namespace
