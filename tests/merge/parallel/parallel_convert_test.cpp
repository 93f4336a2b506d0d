// Conversions of several files at once: the same files and names as one at a
// time, a stop that closes what runs and passes over the rest, and a failing
// file that leaves the others alone. Also run under ThreadSanitizer.
#include "tests/common/AsOrdinaryUser.h"
#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/ConvertEngine.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ParallelConvertTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Path(const QString &name) const
    {
        const QString p = dir.filePath(name);
        QDir().mkpath(QFileInfo(p).path());
        return p;
    }
    QString Mp3(const QString &name, double seconds, const QString &title = "t")
    {
        fixtures::MakeTone(Path(name), seconds, 44100, 2,
                           {"-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "title=" + title});
        return Path(name);
    }

    // Converts with a fresh engine and observer; returns what was reported.
    RecordingObserver Convert(const QStringList &sources, int format, const QString &out, int jobs,
                              bool copyTags = false,
                              std::function<void(ConvertEngine &, const RecordingObserver &)> onBreathe = {})
    {
        TAudioFile2 fileR, fileW;
        TAudioInformation2 info;
        TAudioFile2LameEnc encoder;
        RecordingObserver observer;
        ConvertEngine engine(fileW, info, encoder, observer);
        MergeSourceList list;
        list.Add(sources);
        list.Refresh(InformationProbe(info));
        ConvertRequest r;
        r.sources = sources;
        r.savePath = out;
        r.formatIndex = format;
        r.copyTags = copyTags;
        r.listTotalSamples = list.ListTotalSamples;
        r.jobs = jobs;
        if (onBreathe)
            observer.onBreathe = [&](int) { onBreathe(engine, observer); };
        const TProgramSettings settings;
        engine.Start(r, settings);
        EXPECT_FALSE(engine.Converting());
        return observer;
    }

    QTemporaryDir dir;
};

} // namespace

class ParallelEachFormat : public ParallelConvertTest, public ::testing::WithParamInterface<int> {};

// Encoders without a random stream serial give the same bytes; Ogg the same
// length and tag.
TEST_P(ParallelEachFormat, SameFilesAndNamesAsOneAtATime)
{
    const int format = GetParam();
    const QString ext = QStringList{"mp3", "wav", "wma", "ogg"}[format];
    fixtures::MakeTone(Path("in/a.wav"), 2.0, 48000, 1, {"-c:a", "pcm_s16le"});
    fixtures::MakeTone(Path("in/b.ogg"), 1.5, 44100, 2, {"-c:a", "libvorbis", "-metadata", "title=Beta"});
    fixtures::MakeTone(Path("in/sub/a.flac"), 1.0, 44100, 2, {"-c:a", "flac"});
    const QStringList sources = {Path("in/a.wav"), Path("in/b.ogg"), Path("in/sub/a.flac"), Mp3("in/c.mp3", 2.5, "Gamma")};

    QList<RecordingObserver> runs;
    for (int jobs : {1, 3}) {
        const QString out = Path(QString("out%1/").arg(jobs));
        QFile taken(out + "b." + ext); // a name already there: b gets New_b
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.close();
        runs << Convert(sources, format, out, jobs, true);
        EXPECT_EQ(runs.last().texts("information"), QStringList{"Complete converting files!"}) << jobs;
        EXPECT_EQ(runs.last().gauge.last(), 100);
        EXPECT_EQ(runs.last().lifecycle, (QStringList{"began", "ended"}));
        for (int row = 1; row <= 4; ++row)
            EXPECT_EQ(runs.last().lastRow(row), "100%") << jobs << " " << row;
    }
    const QStringList names = {"a." + ext, "New_b." + ext, "New_a." + ext, "c." + ext};
    for (int row = 1; row <= 4; ++row) {
        const QString serial = runs[0].written.value(row), parallel = runs[1].written.value(row);
        ASSERT_EQ(QFileInfo(serial).fileName(), names[row - 1]);
        EXPECT_EQ(QFileInfo(parallel).fileName(), names[row - 1]);
        if (ext == "ogg") {
            EXPECT_EQ(fixtures::DecodedFrames(parallel), fixtures::DecodedFrames(serial));
            EXPECT_EQ(fixtures::ProbeFile(parallel).tags, fixtures::ProbeFile(serial).tags);
        } else {
            EXPECT_EQ(Bytes(parallel), Bytes(serial)) << parallel.toStdString();
        }
    }
    EXPECT_EQ(fixtures::ProbeFile(runs[1].written.value(4)).tags.value("title").toString(), "Gamma");
}

INSTANTIATE_TEST_SUITE_P(Formats, ParallelEachFormat, ::testing::Values(0, 1, 3));

TEST_F(ParallelConvertTest, StopClosesTheRunningFilesAndPassesOverTheRest)
{
    QStringList sources;
    for (const char *name : {"a", "b", "c", "d"})
        sources << Mp3(QString("in/%1.mp3").arg(name), 10.0);
    const QString out = Path("out/");
    // Cancel once the second file has begun: both workers are busy then.
    const RecordingObserver seen = Convert(sources, 0, out, 2, false, [](ConvertEngine &engine, const RecordingObserver &o) {
        if (o.rowStatus.contains(2))
            engine.Stop();
    });

    EXPECT_EQ(seen.statusTexts.last(), "Cancel");
    EXPECT_EQ(seen.texts("information"), QStringList{"Cancel converting files!"});
    EXPECT_EQ(seen.lastRow(2), "Stop");
    EXPECT_FALSE(seen.rowStatus.contains(4));
    QStringList expected;
    for (int row = 1; row <= 3; ++row) {
        if (!seen.rowStatus.contains(row))
            continue;
        EXPECT_TRUE(seen.lastRow(row) == "Stop" || seen.lastRow(row) == "100%") << seen.lastRow(row).toStdString();
        const QString written = seen.written.value(row);
        expected << QFileInfo(written).fileName();
        // Closed: the Info frame written at the close trims the encoder's
        // delay and padding, so whole one-second blocks decode.
        const int64_t frames = fixtures::DecodedFrames(written);
        EXPECT_GT(frames, 0);
        EXPECT_EQ(frames % 44100, 0) << written.toStdString();
    }
    EXPECT_LT(fixtures::DecodedFrames(seen.written.value(2)), 10 * 44100);
    EXPECT_EQ(QDir(out).entryList(QDir::Files), expected);
}

TEST_F(ParallelConvertTest, AFailingFileLeavesTheOthersConverted)
{
    const QString broken = Path("in/broken.mp3");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(5000, 'z'));
    f.close();
    const QStringList sources = {Mp3("in/a.mp3", 2.0), broken, Mp3("in/b.mp3", 2.0), Mp3("in/c.mp3", 1.0)};
    const QString out = Path("out/");
    const RecordingObserver seen = Convert(sources, 1, out, 2);

    // Named once, in the end message, not in a box of its own.
    ASSERT_EQ(seen.boxes.size(), 1);
    EXPECT_TRUE(seen.texts("information").value(0).startsWith(
        "Finished converting files, but 1 of 4 file(s) could not be converted.\n"));
    EXPECT_EQ(seen.boxes[0].text.count(broken), 1) << seen.boxes[0].text.toStdString();
    EXPECT_EQ(seen.lastRow(2), "Error");
    for (int row : {1, 3, 4})
        EXPECT_EQ(seen.lastRow(row), "100%") << row;
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(seen.lifecycle, (QStringList{"began", "ended"}));
}

class EachJobCount : public ParallelConvertTest, public ::testing::WithParamInterface<int> {};

// A file deleted after it was listed: its box, then the run goes on to its end.
TEST_P(EachJobCount, AVanishedSourceIsPassedOverAndTheRunGoesOn)
{
    const QString a = Mp3("in/a.mp3", 2.0), b = Mp3("in/b.mp3", 1.0), c = Mp3("in/c.mp3", 1.0);
    QFile::remove(b);
    const QString out = Path("out/");
    const RecordingObserver seen = Convert({a, b, c}, 1, out, GetParam());
    EXPECT_EQ(seen.texts("message"), QStringList{"Invalid input file name: " + b});
    EXPECT_EQ(seen.texts("information"),
              QStringList{"Finished converting files, but 1 of 3 file(s) could not be converted."});
    EXPECT_EQ(seen.statusTexts.first(), "Converting...");
    EXPECT_EQ(seen.statusTexts.last(), "Finished");
    EXPECT_EQ(seen.gauge.first(), 0);
    EXPECT_EQ((QStringList{seen.lastRow(1), seen.lastRow(2), seen.lastRow(3)}), (QStringList{"100%", "Error", "100%"}));
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"a.wav", "c.wav"}));
    EXPECT_EQ(seen.lifecycle, (QStringList{"began", "ended"}));
}

// A folder nobody may write to: one message naming it and the reason, not one per file.
TEST_P(EachJobCount, AReadOnlyFolderEndsTheRunWithOneMessage)
{
    const QStringList sources = {Mp3("in/a.mp3", 1.0), Mp3("in/b.mp3", 1.0), Mp3("in/c.mp3", 1.0)};
    const QString out = Path("out/");
    ASSERT_TRUE(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    RecordingObserver seen;
    {
        AsOrdinaryUser user({dir.path(), Path("in"), sources[0], sources[1], sources[2], out});
        seen = Convert(sources, 1, out, GetParam());
    }
    ASSERT_EQ(seen.boxes.size(), 1) << seen.boxes.value(1).text.toStdString();
    EXPECT_EQ(seen.boxes[0].kind, "error");
    EXPECT_TRUE(seen.boxes[0].text.contains(out)) << seen.boxes[0].text.toStdString();
    EXPECT_TRUE(seen.boxes[0].text.contains("Permission denied")) << seen.boxes[0].text.toStdString();
    EXPECT_EQ(seen.statusTexts.last(), "Failed");
    EXPECT_EQ(seen.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

// Every file's writer is set up from that file: Opus follows each source's
// channels, FLAC keeps them by default, the other formats give their configured two,
// one at a time or at once.
class ChannelsPerFile : public ParallelConvertTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(ChannelsPerFile, FollowTheFileNotTheOneBefore)
{
    const auto [format, jobs] = GetParam();
    const QString ext = QStringList{"mp3", "wav", "wma", "ogg", "flac", "opus"}[format];
    QStringList sources;
    for (int channels : {1, 2, 6}) {
        sources << Path(QString("in/c%1.wav").arg(channels));
        fixtures::MakeTone(sources.last(), 1.0, 48000, channels, {"-c:a", "pcm_s16le"});
    }
    const RecordingObserver seen = Convert(sources, format, Path("out/"), jobs);
    ASSERT_EQ(seen.texts("information"), QStringList{"Complete converting files!"});
    // FLAC keeps each source's channels by default ("Same as source").
    const QList<int> expected = ext == "opus"   ? QList<int>{1, 2, 2}
                                : ext == "flac" ? QList<int>{1, 2, 6}
                                                : QList<int>{2, 2, 2};
    QList<int> channels;
    for (int row = 1; row <= 3; ++row)
        channels << fixtures::ProbeFile(seen.written.value(row)).channels;
    EXPECT_EQ(channels, expected);
}

INSTANTIATE_TEST_SUITE_P(JobCounts, EachJobCount, ::testing::Values(1, 2));
INSTANTIATE_TEST_SUITE_P(FormatsAndJobs, ChannelsPerFile,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Values(1, 2)));
