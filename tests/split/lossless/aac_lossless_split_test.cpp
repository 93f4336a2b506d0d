#include "split/SplitEngine.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Quiet : public RunReport {
public:
    QStringList errors;
    void Progress(int) override {}
    void Status(const QString &) override {}
    void Information(const QString &) override {}
    void Message(const QString &) override {}
    void Error(const QString &text) override { errors << text; }
    void Breathe() override {}
};

// AAC in MP4 split by copying packets, with and without tags: the split
// points move to packet edges, so the parts, decoded by ffmpeg, join to the
// source's own decode; tagged parts carry the source's tags and their title,
// untagged ones no tag at all.
TEST(AacLosslessSplit, PartsJoinToTheSourceAndCarryTagsOnlyWhenAsked)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("song.m4a");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "sine=f=440:d=10", "-ar",
                                       "44100", "-ac", "2", "-c:a", "aac", "-metadata", "artist=Someone", source}),
              0);
    const int64_t whole = fixtures::DecodedFrames(source);
    for (const bool copyTag : {true, false}) {
        const QString out = dir.filePath(copyTag ? "tagged/" : "plain/");
        QDir().mkpath(out);
        TAudioFile2 fileW;
        TAudioInformation2 info;
        TAudioFile2LameEnc lame;
        info.LoadFile(source);
        TProgramSettings settings;
        settings.savepath = out;
        settings.saveformat = "m4a";
        SplitPlan plan;
        plan.SourcePath = source;
        plan.DurationSeconds = int32_t(info.Duration() / 1000);
        SplitRun run;
        run.Lossless = true;
        run.CopyTag = copyTag;
        Quiet observer;
        SplitEngine engine(fileW, info, lame, settings, plan, run, observer);
        ASSERT_EQ(engine.RunSplit(source, SplitMode::ByAmount, 3), SplitOutcome::Completed)
            << observer.errors.join("\n").toStdString();
        const QStringList parts = QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        ASSERT_EQ(parts, (QStringList{"song-01.m4a", "song-02.m4a", "song-03.m4a"}));
        int64_t joined = 0;
        for (const QString &name : parts) {
            joined += fixtures::DecodedFrames(out + name);
            const fixtures::Probe p = fixtures::ProbeFile(out + name);
            EXPECT_EQ(p.tags.value("artist").toString(), copyTag ? "Someone" : "") << name.toStdString();
            EXPECT_EQ(p.tags.value("title").toString(), copyTag ? QFileInfo(name).completeBaseName() : "");
        }
        EXPECT_EQ(joined, whole);
    }
}

} // namespace
