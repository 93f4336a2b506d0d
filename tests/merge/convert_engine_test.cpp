#include "tests/common/AudioFixtures.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/InChild.h"
#include "tests/merge/EngineFixtures.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/ConvertEngine.h"
#include "merge/SourceList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>


namespace {

QByteArray Hash(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

class ConvertEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("in");
        QDir(dir.path()).mkpath("out");
    }

    QString in(const QString &name) const { return dir.filePath("in/" + name); }
    QString out(const QString &name = {}) const { return dir.filePath("out") + "/" + name; }

    QString MakeMp3(const QString &name, double seconds, const QString &title)
    {
        fixtures::MakeTone(in(name), seconds, 44100, 2,
                           {"-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "title=" + title});
        return in(name);
    }

    ConvertRequest Request(const QStringList &sources, int formatIndex, const QString &savePath)
    {
        MergeSourceList list;
        list.Add(sources);
        list.Refresh(InformationProbe(info));
        ConvertRequest r;
        r.sources = sources;
        r.savePath = savePath;
        r.formatIndex = formatIndex;
        r.listTotalSamples = list.ListTotalSamples;
        r.mergeFileName = "Untitled";
        return r;
    }

    QTemporaryDir dir;
    TAudioFile2 fileR, fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    RecordingObserver observer;
    ConvertEngine engine{fileW, info, encoder, observer};
    TProgramSettings settings;
};

} // namespace

class ConvertEachFormat : public ConvertEngineTest, public ::testing::WithParamInterface<int> {};

TEST_P(ConvertEachFormat, EverySourceGetsAFileWithTheFormatsExtension)
{
    const char *const extensions[] = {"mp3", "wav", "wma", "ogg"};
    const QString ext = extensions[GetParam()];
    fixtures::MakeTone(in("Song.Live.wav"), 2.0, 48000, 1, {"-c:a", "pcm_s16le"});
    fixtures::MakeTone(in("b.ogg"), 3.0, 22050, 2, {"-c:a", "libvorbis"});
    engine.Start(Request({in("Song.Live.wav"), in("b.ogg")}, GetParam(), out()), settings);

    EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
    EXPECT_EQ(observer.statusTexts.first(), "Converting...");
    EXPECT_EQ(observer.statusTexts.last(), "Complete!");
    EXPECT_EQ(observer.gauge.last(), 100);
    EXPECT_EQ(observer.lastRow(1), "100%");
    EXPECT_EQ(observer.lastRow(2), "100%");
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    EXPECT_EQ(fixtures::ProbeFile(out("Song.Live." + ext)).sampleRate, 44100);
    EXPECT_NEAR(fixtures::ProbeFile(out("b." + ext)).duration, 3.0, 0.1);
    EXPECT_EQ(QDir(out()).entryList(QDir::Files).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertEachFormat, ::testing::Values(0, 1, 2, 3));

TEST_F(ConvertEngineTest, NewFilesBesideTheSourcesCarryTheirTags)
{
    const QStringList sources = {MakeMp3("a.mp3", 2.0, "Alpha"), MakeMp3("b.mp3", 2.0, "Beta"),
                                 MakeMp3("c.mp3", 2.0, "Gamma")};
    QList<QByteArray> before;
    for (const QString &s : sources)
        before << Hash(s);
    ConvertRequest r = Request(sources, 0, dir.filePath("in") + "/");
    r.copyTags = true;
    engine.Start(r, settings);

    EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
    const char *const titles[] = {"Alpha", "Beta", "Gamma"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Hash(sources[i]), before[i]);
        const QString written = in("New_" + QFileInfo(sources[i]).fileName());
        EXPECT_EQ(fixtures::ProbeFile(written).tags.value("title").toString(), titles[i]);
    }
}

TEST_F(ConvertEngineTest, TheSameSourceTwiceGivesTheFileAndItsNewCopy)
{
    const QString a = MakeMp3("a.mp3", 2.0, "Alpha");
    engine.Start(Request({a, a}, 1, out()), settings);
    EXPECT_TRUE(QFileInfo::exists(out("a.wav")));
    EXPECT_TRUE(QFileInfo::exists(out("New_a.wav")));
    EXPECT_EQ(QDir(out()).entryList(QDir::Files).size(), 2);
}

TEST_F(ConvertEngineTest, StartItemDuringARunStopsIt)
{
    const QString a = MakeMp3("a.mp3", 3.0, "Alpha");
    const QString b = MakeMp3("b.mp3", 2.0, "Beta");
    const ConvertRequest r = Request({a, b}, 1, out());
    observer.onBreathe = [&](int breath) {
        if (breath == 1)
            engine.Start(r, settings); // the context menu's start item, pressed again
    };
    engine.Start(r, settings);

    EXPECT_EQ(observer.statusTexts, (QStringList{"Converting...", "Stop", "Cancel"}));
    EXPECT_EQ(observer.lastRow(1), "Stop");
    EXPECT_FALSE(observer.rowStatus.contains(2));
    EXPECT_EQ(observer.texts("information"), QStringList{"Cancel converting files!"});
    EXPECT_FALSE(QFileInfo::exists(out("b.wav")));
    EXPECT_LT(fixtures::ProbeFile(out("a.wav")).duration, 3.0);
    EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
}

TEST_F(ConvertEngineTest, OggQualityModeNeverChecksTheBitRates)
{
    const QString a = MakeMp3("a.mp3", 2.0, "Alpha");
    settings.ogg_fquality = 1;
    settings.ogg_vbr = 1;
    settings.ogg_bitrate = 7; // would be refused in bit-rate mode
    settings.ogg_quality = 500;
    engine.Start(Request({a}, 3, out()), settings);
    EXPECT_TRUE(observer.texts("message").isEmpty());
    EXPECT_EQ(fixtures::ProbeFile(out("a.ogg")).codec, "vorbis");
}

TEST_F(ConvertEngineTest, RefusedOggBitRatesAreReportedOncePerSource)
{
    const QString a = MakeMp3("a.mp3", 2.0, "Alpha");
    settings.ogg_bitrate = 7;
    engine.Start(Request({a, a}, 3, out()), settings);
    EXPECT_EQ(observer.texts("message"), (QStringList{"Incorrect format", "Incorrect format"}));
}

TEST_F(ConvertEngineTest, NeverWritesOverAListedSource)
{
    const QString a = MakeMp3("a.mp3", 2.0, "Alpha");
    const QString newA = MakeMp3("New_a.mp3", 2.0, "Other");
    const QByteArray before = Hash(newA);
    engine.Start(Request({a, newA}, 0, dir.filePath("in") + "/"), settings);

    EXPECT_EQ(Hash(newA), before);
    EXPECT_EQ(observer.written, (QMap<int, QString>{{1, in("New_2_a.mp3")}, {2, in("New_New_a.mp3")}}));
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
}

// Sources of one name from different formats: each gets a file of its own,
// in list order, and a file already there under a New_ name is kept.
TEST_F(ConvertEngineTest, SameNamedSourcesGetDistinctFilesInListOrder)
{
    const QStringList sources = {in("t.flac"), in("t.opus"), in("t.m4a")};
    const double seconds[] = {1.0, 1.5, 2.0};
    const QStringList codecs[] = {{"-c:a", "flac"}, {"-c:a", "libopus"}, {"-c:a", "aac"}};
    for (int i = 0; i < 3; ++i)
        fixtures::MakeTone(sources[i], seconds[i], 48000, 2, codecs[i]);
    QFile kept(out("New_t.wav"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("kept");
    kept.close();

    engine.Start(Request(sources, 1, out()), settings);
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
    const QStringList names = {"t.wav", "New_2_t.wav", "New_3_t.wav"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(observer.written.value(i + 1), out(names[i]));
        EXPECT_NEAR(fixtures::ProbeFile(out(names[i])).duration, seconds[i], 0.05) << names[i].toStdString();
    }
    EXPECT_EQ(QDir(out()).entryList(QDir::Files).size(), 4);
    QFile again(out("New_t.wav"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), "kept");
}

TEST_F(ConvertEngineTest, UnreadableSourceMakesNoFileAndTheRunGoesOn)
{
    for (int format : {0, 2}) {
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        observer = RecordingObserver();
        const QString broken = in("broken.wma");
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'z'));
        f.close();
        const QString b = MakeMp3("b.mp3", 2.0, "Beta");
        engine.Start(Request({broken, b}, format, out()), settings);

        // Named once, below the end message.
        ASSERT_EQ(observer.boxes.size(), 1) << format;
        EXPECT_TRUE(observer.texts("information").value(0).startsWith(
            "Finished converting files, but 1 of 2 file(s) could not be converted.\n"));
        EXPECT_EQ(observer.boxes[0].text.count(broken), 1) << observer.boxes[0].text.toStdString();
        EXPECT_EQ(observer.lastRow(1), "Error");
        EXPECT_FALSE(observer.rowStatus[1].contains("100%"));
        EXPECT_EQ(observer.lastRow(2), "100%");
        EXPECT_EQ(QDir(out()).entryList(QDir::Files), QStringList{QString("b.") + (format == 0 ? "mp3" : "wma")});
        EXPECT_EQ(observer.lifecycle, (QStringList{"began", "ended"}));
    }
}

// A file that outgrows what may be written (a full disk, for this child
// process only) is named once in the end message; the files after it are
// converted and the failed one leaves nothing behind.
TEST_F(ConvertEngineTest, AFailingWriteIsNamedInTheEndMessageAndTheOthersAreConverted)
{
    const QString big = MakeMp3("big.mp3", 4.0, "Big");
    const QString small = MakeMp3("small.mp3", 0.5, "Small");
    const ConvertRequest r = Request({big, small}, 1, out());
    const QByteArray bytes = InChild([&] {
        {
            const FileSizeLimit limit(300000); // the 4 s WAV needs 700 kB, the 0.5 s one 90 kB
            engine.Start(r, settings);
        }
        QStringList report;
        for (const RecordingObserver::Box &box : observer.boxes)
            report << box.kind + ": " + box.text;
        report << "rows: " + observer.lastRow(1) + " " + observer.lastRow(2);
        return report.join('\n').toUtf8();
    });

    const QString report = QString::fromUtf8(bytes);
    EXPECT_TRUE(report.startsWith(
        "information: Finished converting files, but 1 of 2 file(s) could not be converted.\n"))
        << report.toStdString();
    EXPECT_EQ(report.count(out("big.wav")), 1) << report.toStdString();
    EXPECT_TRUE(report.endsWith("rows: Error 100%")) << report.toStdString();
    EXPECT_EQ(QDir(out()).entryList(QDir::Files), QStringList{"small.wav"});
    EXPECT_NEAR(fixtures::ProbeFile(out("small.wav")).duration, 0.5, 0.05);
}

TEST_F(ConvertEngineTest, InputChecks)
{
    ConvertRequest r;
    engine.Start(r, settings);
    r.sources = QStringList{"/x.mp3"};
    engine.Start(r, settings);
    EXPECT_EQ(observer.texts("information"), (QStringList{"Please add files first!", "Please select save path!"}));
    EXPECT_TRUE(observer.lifecycle.isEmpty());
}

TEST_F(ConvertEngineTest, AMissingOutputFolderIsMadeOrNamedOnce)
{
    const QString a = MakeMp3("a.mp3", 1.0, "Alpha");
    const QString b = MakeMp3("b.mp3", 1.0, "Bravo");
    const QString made = out("new/deeper/");
    engine.Start(Request({a, b}, 1, made), settings);
    EXPECT_EQ(observer.texts("information"), QStringList{"Complete converting files!"});
    EXPECT_EQ(QDir(made).entryList(QDir::Files), (QStringList{"a.wav", "b.wav"}));

    // Below a file no folder can be made: one error, no run.
    QFile(out("plain")).open(QIODevice::WriteOnly);
    observer = RecordingObserver{};
    engine.Start(Request({a, b}, 1, out("plain/sub/")), settings);
    EXPECT_EQ(observer.texts("error"), QStringList{"Cannot create " + out("plain/sub/")});
    EXPECT_TRUE(observer.rowStatus.isEmpty());
    EXPECT_FALSE(engine.Converting());
}

// Passes once the reader reports what it could not decode; skips before.
TEST_F(ConvertEngineTest, ADamagedSourceIsNamedBelowTheEndMessage)
{
    const QString damaged = in("damaged.mp3");
    MakeDamagedMp3(damaged);
    const QString damage = ReaderDamage(damaged);
    if (damage.isEmpty())
        GTEST_SKIP() << "the reader does not report damage yet";
    const QString a = MakeMp3("a.mp3", 1.0, "Alpha");
    engine.Start(Request({damaged, a}, 1, out()), settings);
    EXPECT_EQ(observer.texts("information"),
              QStringList{"Complete converting files!\nWarning: " + damaged + ": " + damage});
}
