#include "audio/AudioError.h"
#include "split/CueSheet.h"
#include "split/SplitEngine.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class QuietObserver : public RunReport {
public:
    QStringList messages;
    void Progress(int) override {}
    void Status(const QString &) override {}
    void Information(const QString &text) override { messages << text; }
    void Message(const QString &text) override { messages << text; }
    void Error(const QString &text) override { messages << text; }
    void Breathe() override {}
};

// Written in Latin-1, as older rippers do; INDEX frames that are not whole
// samples at 32 kHz (1/75 s = 426.67 frames).
const QString Sheet = "REM GENRE \"Chanson\"\r\n"
                      "REM DATE 1998\r\n"
                      "PERFORMER \"Zoé Quorvis\"\r\n"
                      "TITLE \"Café Live\"\r\n"
                      "FILE \"ALBUM.WAV\" WAVE\r\n"
                      "  TRACK 01 AUDIO\r\n"
                      "    TITLE \"Ouverture\"\r\n"
                      "    INDEX 01 00:00:00\r\n"
                      "  TRACK 02 AUDIO\r\n"
                      "    TITLE \"Déjà vu: à deux\"\r\n"
                      "    PERFORMER \"Noël\"\r\n"
                      "    INDEX 00 00:01:00\r\n"
                      "    INDEX 01 00:01:37\r\n"
                      "  TRACK 03 AUDIO\r\n"
                      "    TITLE \"Fin?\"\r\n"
                      "    INDEX 01 00:03:74"; // no line break at the end, as many editors leave it

class CueSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath("album.wav");
        fixtures::MakeTone(source, 6.0, 32000, 1, {"-c:a", "pcm_s16le"});
        info.LoadFile(source);
        plan.SourcePath = source;
        plan.DurationSeconds = int32_t(info.Duration() / 1000);
        plan.Mode = SplitMode::BySettings;
    }

    QString WriteSheet(const QString &text, const QString &name = "album.cue")
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toLatin1());
        return path;
    }

    // The message a bad sheet is refused with; empty when it is accepted.
    QString Refusal(const QString &text)
    {
        try {
            ApplyCueSheet(plan, ReadCueSheet(WriteSheet(text, "bad.cue")), info.TotalSamples(), 32000, "wav");
        } catch (const CueSheetError &e) {
            return e.text();
        }
        return {};
    }

    QTemporaryDir dir;
    QString source;
    TAudioInformation2 info;
    SplitPlan plan;
};

} // namespace

TEST_F(CueSheetTest, TracksCutAtTheirExactSamplesWithNamesAndTagsFromTheSheet)
{
    const CueSheet sheet = ReadCueSheet(WriteSheet(Sheet));
    EXPECT_TRUE(CueNamesSource(sheet, source)); // case ignored
    ApplyCueSheet(plan, sheet, info.TotalSamples(), 32000, "wav");
    ASSERT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.PartNames.mid(1), (QList<QString>{"01 - Ouverture.wav", "02 - Déjà vu_ à deux.wav", "03 - Fin_.wav"}));
    EXPECT_EQ(plan.PartTips.mid(1), (QList<QString>{"Zoé Quorvis", "Noël", "Zoé Quorvis"}));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 1, 3, 6}));

    TProgramSettings settings;
    settings.savepath = dir.path() + "/";
    settings.saveformat = "wav";
    settings.wav_frequency = 32000;
    settings.wav_channels = 1;
    SplitRun run;
    run.ExactCut = true;
    TAudioFile2 fileR, fileW;
    TAudioFile2LameEnc lame;
    QuietObserver observer;
    SplitEngine engine(fileW, info, lame, settings, plan, run, observer);
    ASSERT_EQ(engine.RunSplit(source, SplitMode::BySettings, 0), SplitOutcome::Completed) << observer.messages.join('\n').toStdString();

    // 01:37 is frame 112 * 32000 / 75 = 47786.67, 03:74 frame 127573.33.
    const int64_t lengths[3] = {47787, 127573 - 47787, 192000 - 127573};
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(fixtures::DecodedFrames(dir.filePath(plan.PartNames[k])), lengths[k - 1]) << k;
    const QJsonObject tags = fixtures::ProbeFile(dir.filePath(plan.PartNames[2])).tags;
    EXPECT_EQ(tags.value("title").toString(), "Déjà vu: à deux");
    EXPECT_EQ(tags.value("artist").toString(), "Noël");
    EXPECT_EQ(tags.value("album").toString(), "Café Live");
    EXPECT_EQ(tags.value("track").toString(), "2/3");
    EXPECT_EQ(tags.value("date").toString(), "1998");
    EXPECT_EQ(tags.value("genre").toString(), "Chanson");
    EXPECT_EQ(fixtures::ProbeFile(dir.filePath(plan.PartNames[3])).tags.value("artist").toString(), "Zoé Quorvis");
}

TEST_F(CueSheetTest, TextThatIsValidUtf8IsReadAsUtf8)
{
    EXPECT_EQ(DecodeCueText("\xEF\xBB\xBFZo\xC3\xA9"), "Zoé");
    EXPECT_EQ(DecodeCueText("Zo\xE9 \x93quoted\x94"), "Zoé \u201Cquoted\u201D"); // Windows-1252
}

TEST_F(CueSheetTest, BadSheetsAreRefusedNamingTheLine)
{
    const QString head = "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n";
    EXPECT_TRUE(Refusal("TITLE \"x\"\nFILE \"album.wav\" WAVE\n").endsWith("line 2: the sheet has no tracks"))
        << Refusal("TITLE \"x\"\nFILE \"album.wav\" WAVE\n").toStdString();
    const QString late = Refusal(head + "    INDEX 01 00:09:00\n");
    EXPECT_TRUE(late.contains("bad.cue, line 5: track 2 starts at 00:09:00, at or past the end of")) << late.toStdString();
    const QString backwards = Refusal(head + "    INDEX 01 00:02:00\n  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n");
    EXPECT_TRUE(backwards.contains("line 7: track 3 starts at 00:01:00, not after track 2 (00:02:00)"))
        << backwards.toStdString();
    // A refused sheet leaves the plan as it was.
    EXPECT_EQ(plan.PartCount, 2);
}
