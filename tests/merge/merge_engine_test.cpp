#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "config/OutputSetup.h"
#include "merge/MergeEngine.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Source {
    const char *name;
    double seconds;
    int rate;
    int channels;
    QStringList args;
};

// Three sources of mixed formats, rates and channel counts, 2 to 4 seconds.
const Source kMixed[] = {
    {"one.wav", 2.0, 22050, 1, {"-c:a", "pcm_s16le", "-metadata", "title=First"}},
    {"two.mp3", 4.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "title=Second"}},
    {"three.ogg", 2.5, 48000, 2, {"-c:a", "libvorbis", "-metadata", "title=Third"}},
};

class MergeEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings = TProgramSettings{};
        settings.savepath = out();
    }

    QString in(const QString &name) const { return dir.filePath("in/" + name); }
    QString out() const { return dir.filePath("out") + "/"; }

    QStringList MakeSources(int count = 3)
    {
        QDir(dir.path()).mkpath("in");
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            const Source &s = kMixed[i];
            fixtures::MakeTone(in(s.name), s.seconds, s.rate, s.channels, s.args, 300 + 100 * i);
            paths << in(s.name);
        }
        return paths;
    }

    MergeRequest Request(const QStringList &sources, const QString &format = "WAV")
    {
        MergeSourceList list;
        list.Add(sources);
        list.Refresh(InformationProbe(info));
        MergeRequest r;
        r.sources = sources;
        r.fileNameText = "Untitled";
        r.savePath = out();
        r.formatText = format;
        r.listTotalSamples = list.ListTotalSamples;
        return r;
    }

    QTemporaryDir dir;
    TAudioFile2 fileR, fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    RecordingObserver observer;
    MergeEngine engine{fileW, info, encoder, observer};
    TProgramSettings settings;
};

double SecondsOf(const QString &path)
{
    const fixtures::Probe p = fixtures::ProbeFile(path);
    return double(fixtures::DecodedFrames(path)) / p.sampleRate;
}

// Every entry of a folder, hidden work files included.
QStringList EverythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class MergeEachFormat : public MergeEngineTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MergeEachFormat, OneOutputAsLongAsAllSources)
{
    const QStringList sources = MakeSources();
    const QString format = GetParam();
    const MergeResult result = engine.Run(Request(sources, format), settings);

    const QString output = out() + "Untitled." + format.toLower();
    ASSERT_TRUE(QFileInfo::exists(output)) << observer.boxes.value(0).text.toStdString();
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete merging files!"});
    EXPECT_EQ(observer.statusTexts.first(), "Merging ...");
    EXPECT_EQ(observer.statusTexts.last(), "Complete!");
    EXPECT_EQ(observer.gauge.last(), 100);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(observer.rowStatus[row].first(), "0%");
        EXPECT_EQ(observer.lastRow(row), "100%");
    }
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_EQ(result.name, "Untitled." + format.toLower());
    EXPECT_FALSE(result.failed);
    EXPECT_FALSE(engine.Merging());
    EXPECT_NEAR(SecondsOf(output), 2.0 + 4.0 + 2.5, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Formats, MergeEachFormat, ::testing::Values("MP3", "WAV", "WMA", "OGG"));

// Today's formats in, lossless out: each source counts with its exact length
// (the Opus pre-skip and end trim and the MP3 delay and padding removed), at
// the output's rate.
TEST_F(MergeEngineTest, FlacOpusAndMp3IntoFlacLastTheirSum)
{
    QDir(dir.path()).mkpath("in");
    const QStringList sources{in("a.flac"), in("b.opus"), in("c.mp3")};
    fixtures::MakeTone(sources[0], 2.0, 44100, 2, {"-c:a", "flac"}, 330);
    fixtures::MakeTone(sources[1], 2.5, 48000, 2, {"-c:a", "libopus", "-b:a", "128k"}, 440);
    fixtures::MakeTone(sources[2], 3.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}, 550);
    settings.flac_frequency = 44100;
    const MergeRequest request = Request(sources, "FLAC");
    EXPECT_EQ(request.listTotalSamples, 88200 + 120000 + 132300) << "the list counts each source at its own rate";
    engine.Run(request, settings);

    const QString output = out() + "Untitled.flac";
    ASSERT_TRUE(QFileInfo::exists(output)) << observer.boxes.value(0).text.toStdString();
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete merging files!"});
    const fixtures::Probe p = fixtures::ProbeFile(output);
    EXPECT_EQ(p.codec, "flac");
    EXPECT_EQ(p.sampleRate, 44100);
    // 2 s + 2.5 s (120 000 frames at 48 kHz: 110 250 at 44.1 kHz) + 3 s.
    EXPECT_EQ(fixtures::DecodedFrames(output), 88200 + 110250 + 132300);
}

TEST_F(MergeEngineTest, TagFromTheDialogNotFromTheLastSource)
{
    const QStringList sources = MakeSources(2);
    MergeRequest r = Request(sources, "MP3");
    r.tagEnabled = true;
    r.tag.title = "Live Set";
    r.tag.artist = "Band";
    r.tag.year = 2005;
    engine.Run(r, settings);
    const fixtures::Probe p = fixtures::ProbeFile(out() + "Untitled.mp3");
    EXPECT_EQ(p.tags.value("title").toString(), "Live Set");
    EXPECT_EQ(p.tags.value("artist").toString(), "Band");
}

TEST_F(MergeEngineTest, WithoutTheTagBoxTheOutputGetsNoDialogTag)
{
    const QStringList sources = MakeSources(1);
    MergeRequest r = Request(sources, "MP3");
    r.tag.title = "Live Set";
    engine.Run(r, settings);
    const fixtures::Probe p = fixtures::ProbeFile(out() + "Untitled.mp3");
    EXPECT_NE(p.tags.value("title").toString(), "Live Set");
}

TEST_F(MergeEngineTest, StopDuringTheSecondOfThreeSources)
{
    const QStringList sources = MakeSources();
    MergeRequest r = Request(sources, "WAV");
    r.tagEnabled = true;
    r.tag.title = "Stopped";
    // A block is 22050 frames (the first source's mono 22.05 kHz): source 1
    // takes two blocks, so the third breath is inside source 2.
    observer.onBreathe = [this](int breath) {
        if (breath == 3)
            engine.Stop();
    };
    const MergeResult result = engine.Run(r, settings);

    EXPECT_EQ(observer.statusTexts.last(), "Cancel");
    EXPECT_EQ(observer.lastRow(1), "100%");
    EXPECT_EQ(observer.lastRow(2), "Stop");
    EXPECT_FALSE(observer.rowStatus.contains(3));
    EXPECT_EQ(observer.gauge.last(), 100);
    EXPECT_EQ(observer.texts("information"), QStringList{"Cancel merging files!"});
    EXPECT_EQ(result.name, "Untitled.wav");
    EXPECT_FALSE(result.failed);
    const QString output = out() + "Untitled.wav";
    EXPECT_LT(SecondsOf(output), 2.0 + 4.0);
    EXPECT_GT(SecondsOf(output), 2.0);
    EXPECT_EQ(fixtures::ProbeFile(output).tags.value("title").toString(), "Stopped");
    EXPECT_EQ(EverythingIn(out()), QStringList{"Untitled.wav"});
}

// A stopped merge is only part of what was asked for: it never replaces the
// file already there, but is kept beside it under the free name, with the tag.
TEST_F(MergeEngineTest, AStoppedMergeKeepsAnExistingOutputAndSaysWhereItWent)
{
    const QStringList sources = MakeSources();
    QDir().mkpath(out());
    fixtures::MakeTone(out() + "Untitled.wav", 1.0, 44100, 2, {"-c:a", "pcm_s16le"});
    const QByteArray before = Contents(out() + "Untitled.wav");
    MergeRequest r = Request(sources, "WAV");
    r.tagEnabled = true;
    r.tag.title = "Stopped";
    observer.onBreathe = [this](int breath) {
        if (breath == 3)
            engine.Stop();
    };
    engine.Run(r, settings);

    const QString kept = out() + "New_Untitled.wav";
    EXPECT_EQ(observer.texts("information"),
              QStringList{"Cancel merging files!\nThe merge so far was saved as " + kept + "; " + out() +
                          "Untitled.wav was left as it was."});
    EXPECT_EQ(Contents(out() + "Untitled.wav"), before);
    EXPECT_EQ(EverythingIn(out()), (QStringList{"New_Untitled.wav", "Untitled.wav"}));
    EXPECT_GT(SecondsOf(kept), 2.0);
    EXPECT_LT(SecondsOf(kept), 2.0 + 4.0);
    EXPECT_EQ(fixtures::ProbeFile(kept).tags.value("title").toString(), "Stopped");
}

// Opus and FLAC (by default "Same as source") take the first source's
// channels; the other formats their configured two.
class MergeChannels : public MergeEngineTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MergeChannels, OneSourceOfEachLayout)
{
    QDir(dir.path()).mkpath("in");
    QStringList sources;
    for (int channels : {1, 2, 6}) {
        sources << in(QString("c%1.wav").arg(channels));
        fixtures::MakeTone(sources.last(), 1.0, 48000, channels, {"-c:a", "pcm_s16le"});
    }
    const QString format = GetParam();
    engine.Run(Request(sources, format), settings);
    ASSERT_EQ(observer.texts("information"), QStringList{"Complete merging files!"});
    EXPECT_EQ(fixtures::ProbeFile(out() + "Untitled." + format.toLower()).channels,
              format == "OPUS" || format == "FLAC" ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, MergeChannels, ::testing::Values("MP3", "WAV", "WMA", "OGG", "FLAC", "OPUS"));

TEST(MergedLength, AddsEachSourceAtTheOutputRate)
{
    // 2 s at 22.05 kHz, 1 s at 48 kHz and 1 s at 44.1 kHz are 4 s at 44.1 kHz,
    // not the 132 300 frames of the three counts added as they are.
    const QList<SourceLength> sources = {{44100, 22050}, {48000, 48000}, {44100, 44100}};
    EXPECT_EQ(MergedLength(sources, 44100), 4 * 44100);
    EXPECT_EQ(MergedLength(sources, 22050), 4 * 22050);
    EXPECT_EQ(MergedLength({{1, 44100}}, 48000), 2); // rounded up, never short
    EXPECT_EQ(MergedLength({{1000, 0}, {-5, 44100}}, 44100), 0);
}

TEST_F(MergeEngineTest, ExistingOutputIsReplacedWithoutAQuestion)
{
    const QStringList sources = MakeSources(1);
    QDir().mkpath(out());
    QFile old(out() + "song.wav");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("not audio");
    old.close();
    MergeRequest r = Request(sources, "WAV");
    r.fileNameText = "song.mp3";
    engine.Run(r, settings);
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete merging files!"});
    EXPECT_NEAR(SecondsOf(out() + "song.wav"), 2.0, 0.01);
    EXPECT_EQ(EverythingIn(out()), QStringList{"song.wav"});
}

// The old output goes only when the new one is whole: a merge that fails on
// its first source or halfway through leaves it byte for byte, and no work file.
TEST_F(MergeEngineTest, AFailedMergeLeavesTheOldOutputAsItWas)
{
    const QStringList sources = MakeSources(2);
    const QString broken = in("broken.mp3");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4000, 'x'));
    f.close();
    QDir().mkpath(out());
    const QString output = out() + "Untitled.wav";
    fixtures::MakeTone(output, 1.0, 44100, 2, {"-c:a", "pcm_s16le"});
    const QByteArray before = Contents(output);

    for (const QStringList &list : {QStringList{broken, sources[0]}, QStringList{sources[0], sources[1], broken}}) {
        observer = RecordingObserver();
        engine.Run(Request(list, "WAV"), settings);
        EXPECT_EQ(observer.texts("error").size(), 1) << list.indexOf(broken);
        EXPECT_TRUE(observer.texts("information").isEmpty());
        EXPECT_EQ(Contents(output), before);
        EXPECT_EQ(EverythingIn(out()), QStringList{"Untitled.wav"});
    }
}

TEST_F(MergeEngineTest, InputChecksComeFirstAndChangeNothing)
{
    MergeRequest r;
    engine.Run(r, settings);
    r.sources = QStringList{"/nowhere/a.wav"};
    engine.Run(r, settings);
    r.fileNameText = "x";
    engine.Run(r, settings);
    EXPECT_EQ(observer.texts("information"),
              (QStringList{"Please add files first!", "Please input file name!", "Please select save path!"}));
    EXPECT_TRUE(observer.lifecycle.isEmpty());
}

TEST_F(MergeEngineTest, RefusesToMergeIntoOneOfItsSources)
{
    const QStringList sources = MakeSources(1);
    const QByteArray before = [&] { QFile f(sources[0]); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    MergeRequest r = Request(sources, "WAV");
    r.savePath = dir.filePath("in") + "/";
    r.fileNameText = "one";
    engine.Run(r, settings);
    ASSERT_EQ(observer.boxes.size(), 1);
    EXPECT_TRUE(observer.boxes[0].text.contains("one.wav"));
    EXPECT_TRUE(observer.lifecycle.isEmpty());
    QFile f(sources[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(MergeEngineTest, UnreadableSourceEndsTheRunAndRemovesTheOutput)
{
    QStringList sources = MakeSources(2);
    const QString broken = in("broken.mp3");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4000, 'x'));
    f.close();
    sources.insert(1, broken);
    const MergeResult result = engine.Run(Request(sources, "WAV"), settings);

    ASSERT_EQ(observer.texts("error").size(), 1);
    EXPECT_EQ(observer.texts("error")[0].count(broken), 1) << observer.texts("error")[0].toStdString();
    EXPECT_TRUE(observer.texts("information").isEmpty());
    EXPECT_EQ(observer.lastRow(2), "Error");
    EXPECT_FALSE(observer.rowStatus.contains(3));
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_FALSE(engine.Merging());
    EXPECT_EQ(EverythingIn(out()), QStringList{});
    EXPECT_TRUE(result.failed);
}

TEST_F(MergeEngineTest, UnreadableFirstSourceStartsNothing)
{
    QDir(dir.path()).mkpath("in");
    const QString missing = in("gone.wav");
    engine.Run(Request({missing}, "WAV"), settings);
    ASSERT_EQ(observer.texts("error").size(), 1);
    EXPECT_TRUE(observer.texts("error")[0].contains(missing));
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_FALSE(QFileInfo::exists(out() + "Untitled.wav"));
}

TEST_F(MergeEngineTest, UncreatableFolderIsReportedAndTheWindowReturnsToIdle)
{
    const QStringList sources = MakeSources(1);
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MergeRequest r = Request(sources, "WAV");
    r.savePath = dir.filePath("file/sub") + "/";
    engine.Run(r, settings);
    EXPECT_EQ(observer.texts("error"), QStringList{"Cannot create " + r.savePath});
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_FALSE(engine.Merging());
}

TEST_F(MergeEngineTest, OutputThatCannotBeReplacedIsReported)
{
    const QStringList sources = MakeSources(1);
    QDir().mkpath(out() + "Untitled.wav/inside"); // a folder where the file should go
    engine.Run(Request(sources, "WAV"), settings);
    ASSERT_EQ(observer.texts("error").size(), 1);
    EXPECT_TRUE(observer.texts("error")[0].contains("Untitled.wav"));
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_TRUE(QFileInfo(out() + "Untitled.wav/inside").isDir());
}

// Passes once the reader reports what it could not decode; skips before.
TEST_F(MergeEngineTest, ADamagedSourceIsNamedBelowTheEndMessage)
{
    QDir(dir.path()).mkpath("in");
    const QString damaged = in("damaged.mp3");
    MakeDamagedMp3(damaged);
    const QString damage = ReaderDamage(damaged);
    if (damage.isEmpty())
        GTEST_SKIP() << "the reader does not report damage yet";
    const QStringList sources = MakeSources(1);
    engine.Run(Request({sources[0], damaged}, "WAV"), settings);
    EXPECT_EQ(observer.texts("information"),
              QStringList{"Complete merging files!\nWarning: " + damaged + ": " + damage});
}

TEST(ConfigureMp3Output, VbrModeCountsFromZero)
{
    TAudioFile2 fileW;
    TAudioFile2LameEnc encoder;
    TProgramSettings s;
    s.mp3_fvbr = 1;
    s.mp3_channels = 3; // joint stereo
    s.mp3_frequency = 32000;
    s.mp3_bitrate = 96;
    s.mp3_maxbitrate = 256;
    s.mp3_vbrquality = 4;
    ConfigureMp3Output(fileW, encoder, s);
    EXPECT_EQ(encoder.Mode, 2);
    EXPECT_EQ(encoder.SampleRate, 32000);
    EXPECT_EQ(encoder.Bitrate, 96);
    EXPECT_EQ(encoder.MaxBitrate, 256);
    EXPECT_EQ(encoder.VbrQuality, 4);
    EXPECT_EQ(encoder.OptionA, 0);
    EXPECT_EQ(encoder.OptionB, -1);
}
