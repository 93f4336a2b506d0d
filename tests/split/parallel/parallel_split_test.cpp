// Parts written at once by workers of their own give the files that writing
// them one after another gives; a stop or a failing part leaves only whole,
// closed files. Judged by ffmpeg and ffprobe.
#include "audio/WmaProfiles.h"
#include "split/SplitEngine.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Observer : public RunReport {
public:
    explicit Observer(SplitRun &run) : run_(run) {}
    QStringList statuses, errors, information;
    bool cancelOnceWriting = false;
    void Progress(int percent) override
    {
        if (cancelOnceWriting && percent > 0)
            run_.Running = false;
    }
    void Status(const QString &text) override { statuses << text; }
    void Information(const QString &text) override { information << text; }
    void Message(const QString &text) override { errors << text; }
    void Error(const QString &text) override { errors << text; }
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

    // The parts of `count` equal parts (or of the hand-set plan `handSet`
    // makes), written `jobs` at a time into out<jobs>/.
    SplitOutcome Split(int jobs, int32_t count, bool exact, const std::function<void(SplitPlan &)> &handSet = {})
    {
        observer.statuses.clear();
        observer.errors.clear();
        observer.information.clear();
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
        if (handSet)
            handSet(plan);
        SplitEngine engine(fileW, info, lame, settings, plan, run, observer);
        return engine.RunSplit(source, handSet ? SplitMode::BySettings : SplitMode::ByAmount, count);
    }

    // What a split leaves the user, to hold the parallel run against the serial one.
    struct Left {
        QStringList files;
        std::vector<int64_t> frames; // by ffmpeg
        std::string messages;
        bool operator==(const Left &) const = default;
    };
    Left LeftBy(int jobs) const
    {
        Left left{Files(jobs), {}, (observer.information + observer.errors).join("\n").toStdString()};
        for (const QString &name : left.files)
            left.frames.push_back(fixtures::DecodedFrames(PathOf(jobs, name)));
        return left;
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

// The Opus writer takes its channel count from the input it is told of when
// its file is created; every other writer has its own setting.
class WriterChannels : public ParallelSplit, public ::testing::WithParamInterface<std::tuple<const char *, int>> {};

TEST_P(WriterChannels, OpusAndSameAsSourceFollowTheSourceOthersTheirSetting)
{
    const QString format = std::get<0>(GetParam());
    const int jobs = std::get<1>(GetParam());
    settings.saveformat = format;
    const int configured = format == "mp3"    ? (settings.mp3_channels == 1 ? 1 : 2)
                           : format == "wav"  ? int(settings.wav_channels)
                           : format == "ogg"  ? settings.ogg_channels
                           : format == "flac" ? settings.flac_channels
                           : format == "wma"  ? audio_detail::wmaProfileAt(settings.wma_wmaprofile).channels
                                              : 0;
    for (const int channels : {1, 2, 6}) {
        SCOPED_TRACE(channels);
        source = dir.filePath(QStringLiteral("ch%1.wav").arg(channels));
        fixtures::MakeTone(source, 2.0, 44100, channels);
        info.LoadFile(source);
        ASSERT_EQ(Split(jobs, 2, true), SplitOutcome::Completed) << observer.errors.join("\n").toStdString();
        EXPECT_EQ(run.PartsAtOnce, jobs);
        for (const int k : {1, 2}) {
            const QString part = PathOf(jobs, QStringLiteral("ch%1-0%2.%3").arg(channels).arg(k).arg(format));
            // Opus and a channel setting of 0 ("Same as source") follow the source.
            EXPECT_EQ(fixtures::ProbeFile(part).channels,
                      format == "opus" ? std::min(channels, 2) : configured == 0 ? channels : configured);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FormatsAndRuns, WriterChannels,
                         ::testing::Combine(::testing::Values("mp3", "wav", "wma", "ogg", "flac", "opus"),
                                            ::testing::Values(1, 2)),
                         [](const auto &p) {
                             return std::string(std::get<0>(p.param)) + "_jobs" + std::to_string(std::get<1>(p.param));
                         });

// Sources a reading through and parts read at once can disagree on.
struct Awkward {
    const char *name;
    const char *ext;
    std::function<void(const QString &path)> make;
    bool exact;
    int partsAtOnce; // what the parallel run may use
};

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// A FLAC file cut off after about half of what its header says.
void MakeTruncatedFlac(const QString &path)
{
    fixtures::MakeTone(path, 6.0, 44100, 2, {"-c:a", "flac"});
    const QByteArray data = FileBytes(path);
    WriteBytes(path, data.left(data.size() * 11 / 20));
}

// Garbage in four places of a float WAV: each becomes silence and a loss.
void MakeDamagedFloatWav(const QString &path)
{
    fixtures::MakeTone(path, 8.0, 44100, 2, {"-c:a", "pcm_f32le"});
    QByteArray data = FileBytes(path);
    for (const double at : {0.1, 0.35, 0.6, 0.85})
        for (qsizetype i = qsizetype(data.size() * at), n = 0; n < 4000; ++i, ++n)
            data[i] = char(0xff);
    WriteBytes(path, data);
}

// Two MP2 files joined with `cat`.
void MakeJoinedMp2(const QString &path)
{
    fixtures::MakeTone(path + ".a.mp2", 3.0, 44100, 2, {"-c:a", "mp2", "-b:a", "192k"}, 440);
    fixtures::MakeTone(path + ".b.mp2", 3.0, 44100, 2, {"-c:a", "mp2", "-b:a", "192k"}, 660);
    WriteBytes(path, FileBytes(path + ".a.mp2") + FileBytes(path + ".b.mp2"));
}

class AwkwardSource : public ParallelSplit, public ::testing::WithParamInterface<Awkward> {};

TEST_P(AwkwardSource, LeavesWhatTheSerialSplitLeaves)
{
    const Awkward &c = GetParam();
    source = dir.filePath(QStringLiteral("tone.%1").arg(c.ext));
    c.make(source);
    info.LoadFile(source);
    settings.saveformat = "wav";
    ASSERT_NE(Split(1, 5, c.exact), SplitOutcome::Refused);
    const Left serial = LeftBy(1);
    ASSERT_NE(Split(2, 5, c.exact), SplitOutcome::Refused);
    EXPECT_EQ(run.PartsAtOnce, c.partsAtOnce);
    const Left parallel = LeftBy(2);
    EXPECT_EQ(parallel.files, serial.files);
    EXPECT_EQ(parallel.frames, serial.frames);
    EXPECT_EQ(parallel.messages, serial.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, AwkwardSource,
    ::testing::Values(Awkward{"truncated_flac_exact", "flac", MakeTruncatedFlac, true, 2},
                      Awkward{"truncated_flac_blocks", "flac", MakeTruncatedFlac, false, 2},
                      Awkward{"damaged_wav", "wav", MakeDamagedFloatWav, false, 2},
                      // Its length is an estimate: cut there, the last part would lose its end.
                      Awkward{"estimated_wma", "wma",
                              [](const QString &path) { fixtures::MakeTone(path, 6.0, 44100, 2, {"-c:a", "wmav2"}); },
                              true, 1},
                      // Layer II's decode after a jump differs from a reading through.
                      Awkward{"joined_mp2", "mp2", MakeJoinedMp2, true, 1}),
    [](const auto &p) { return std::string(p.param.name); });

// The header claims about 54 hours; the audio is one second. Each part's
// announced length decides its WAV form: past 4 GiB it is RF64 from its
// first byte, whatever it turns out to hold.
class AnnouncedLength : public ParallelSplit, public ::testing::WithParamInterface<int> {};

TEST_P(AnnouncedLength, PartExpectedPast4GiBIsRf64)
{
    const int jobs = GetParam();
    source = dir.filePath("claims.flac");
    fixtures::MakeTone(source, 1.0, 44100, 2, {"-c:a", "flac"});
    QByteArray data = FileBytes(source);
    ASSERT_EQ(data.left(4), "fLaC");
    // STREAMINFO's 36-bit sample count (bytes 21-25, low nibble of 21 first) := 2^33; no MD5.
    data[21] = char((data[21] & 0xf0) | 0x02);
    for (int i = 22; i < 42; ++i)
        data[i] = 0;
    WriteBytes(source, data);
    info.LoadFile(source);
    ASSERT_EQ(info.TotalSamples(), int64_t(1) << 33);
    ASSERT_EQ(Split(jobs, 2, true), SplitOutcome::Completed) << observer.errors.join("\n").toStdString();
    EXPECT_EQ(Files(jobs), QStringList{"claims-01.wav"});
    EXPECT_EQ(FileBytes(PathOf(jobs, "claims-01.wav")).left(4), "RF64");
    EXPECT_EQ(fixtures::DecodedFrames(PathOf(jobs, "claims-01.wav")), 44100);
}

INSTANTIATE_TEST_SUITE_P(Runs, AnnouncedLength, ::testing::Values(1, 2));

// Ogg page checksum: CRC-32, polynomial 0x04C11DB7, not reflected, over the page with the field zeroed.
void FixOggPageChecksum(QByteArray &data, qsizetype page)
{
    const auto segments = uchar(data[page + 26]);
    qsizetype size = 27 + segments;
    for (int i = 0; i < segments; ++i)
        size += uchar(data[page + 27 + i]);
    for (int i = 22; i < 26; ++i)
        data[page + i] = 0;
    uint32_t crc = 0;
    for (qsizetype i = page; i < page + size; ++i) {
        crc ^= uint32_t(uchar(data[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        data[page + 22 + i] = char(crc >> (8 * i));
}

// Two Ogg Vorbis streams end to end, the second with a codebook its decoder
// refuses: reading fails 3 s in, where the second begins.
class ReadFailure : public ParallelSplit, public ::testing::WithParamInterface<int> {};

TEST_P(ReadFailure, RemovesThePartItCutShortAndSaysSo)
{
    const int jobs = GetParam();
    source = dir.filePath("chain.ogg");
    fixtures::MakeTone(source + ".a.ogg", 3.0, 44100, 2, {"-c:a", "libvorbis"}, 440);
    fixtures::MakeTone(source + ".b.ogg", 3.0, 44100, 2, {"-c:a", "libvorbis"}, 660);
    QByteArray second = FileBytes(source + ".b.ogg");
    const qsizetype setup = second.indexOf("\x05vorbis");
    ASSERT_GT(setup, 0);
    ASSERT_EQ(second.mid(setup + 8, 3), "BCV"); // the first codebook's sync
    second[setup + 8] = 'X';
    FixOggPageChecksum(second, second.lastIndexOf("OggS", setup));
    WriteBytes(source, FileBytes(source + ".a.ogg") + second);
    info.LoadFile(source);

    EXPECT_EQ(Split(jobs, 3, true), SplitOutcome::Failed);
    EXPECT_EQ(Files(jobs), QStringList{"chain-01.wav"});
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors[0].contains("chain.ogg"));
    EXPECT_TRUE(observer.errors[0].endsWith("The unfinished part file " + PathOf(jobs, "chain-02.wav") + " was removed."))
        << observer.errors[0].toStdString();
    EXPECT_EQ(fixtures::DecodedFrames(PathOf(jobs, "chain-01.wav")), 2 * 44100);
}

INSTANTIATE_TEST_SUITE_P(Runs, ReadFailure, ::testing::Values(1, 2));

// Part 1 runs out of disk late; parts 2 and 3, short, are closed by then on
// the other worker. A reading through never writes them.
TEST_F(ParallelSplit, PartsClosedAfterAFailingOneAreRemoved)
{
    MakeSource("wav", 10.0);
    const auto handSet = [](SplitPlan &p) {
        p.ResetManualPlan("wav");
        p.ResizeParts(3);
        p.PartCount = 3;
        p.TimePoints = {0, 8, 9, 10};
        p.PartNames[2] = "second";
        p.PartNames[3] = "third";
    };
    for (const int jobs : {1, 2}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const FileSizeLimit limit(400000);
            _exit(int(Split(jobs, 0, true, handSet)));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), int(SplitOutcome::Failed)) << jobs;
    }
    EXPECT_EQ(Files(2), Files(1));
    EXPECT_FALSE(Files(2).contains("second.wav"));
}

} // namespace
