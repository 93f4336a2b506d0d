#include "config/ProgramSettings.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/TSilenceForm.h"
#include "split/ui/TSplitPieChart.h"
#include "split/ui/TUpDown.h"
#include "audio/ui/PreviewPanel.h"
#include "audio/ui/TNCTSliderB2.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class SplitWizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Whatever the wizard saves lands in this test's own setup.ini.
        SetProgramDirectoryForTesting(dir.path());
        saved = ProgramSettings;
        Create();
    }

    void TearDown() override
    {
        delete form.data();
        ProgramSettings = saved;
        SetProgramDirectoryForTesting(QString());
    }

    void Create()
    {
        form = new TSplitForm(&owner);
        SplitForm = form;
        owner.show();
        form->show();
    }

    // A 3-second stereo tone, opened in step 1.
    QString OpenTone(double seconds = 3.0)
    {
        const QString path = dir.path() + "/tone.wav";
        fixtures::MakeTone(path, seconds, 44100, 2, {"-c:a", "pcm_s16le", "-metadata", "artist=Tone Artist"});
        platform.openAnswers << QStringList{path};
        QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
        return path;
    }

    void OpenMp3()
    {
        fixtures::MakeTone(dir.path() + "/tone.mp3", 3.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
        platform.openAnswers << QStringList{dir.path() + "/tone.mp3"};
        QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
    }

    QByteArray Ini() const
    {
        QFile f(ConfigFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void Next() { QTest::mouseClick(form->BitBtnNext, Qt::LeftButton); }
    void Back() { QTest::mouseClick(form->BitBtnBack, Qt::LeftButton); }

    // From a fresh window to step 3 with the output in the source folder.
    QString ToStep3(const char *format = "WAV")
    {
        const QString path = OpenTone();
        Next();
        form->cbFormat->setCurrentText(format);
        Next();
        EXPECT_EQ(form->Step(), 3);
        return path;
    }

    QStringList Memo() const { return form->Memo1->toPlainText().split('\n'); }
    int Slices() const { return form->Chart1->SliceCount(); }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QWidget owner;
    QPointer<TSplitForm> form;
    TProgramSettings saved;
};

} // namespace

TEST_F(SplitWizardTest, OpensOnStepOneWithItsDefaults)
{
    EXPECT_EQ(form->windowTitle(), "Split Audio File Wizard");
    EXPECT_EQ(form->size(), QSize(502, 435));
    EXPECT_EQ(form->Step(), 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->PageControl1->isTabVisible(i), i == 0);
    EXPECT_EQ(form->PageControl1->tabText(0), "Step 1 of 4:  Open a File to Split");
    EXPECT_FALSE(form->BitBtnBack->isEnabled());
    EXPECT_EQ(form->BitBtnBack->text(), " Back");
    EXPECT_TRUE(form->BitBtnNext->isEnabled());
    EXPECT_EQ(form->BitBtnCancel->text(), "Cancel");
    EXPECT_FALSE(form->SpeedBtnUpdate->isEnabled());
    EXPECT_EQ(form->Plan.Mode, SplitMode::ByAmount);
    EXPECT_EQ(form->EdAmount->text(), "2");
    EXPECT_TRUE(form->EdAmount->isEnabled());
    EXPECT_FALSE(form->EdMin->isEnabled());
    EXPECT_FALSE(form->ListView1->isEnabled());
    EXPECT_EQ(Slices(), 2);
    EXPECT_EQ(form->cbPrecision->currentText(), "Normal");
    EXPECT_EQ(form->Run.PrecisionDivisor, 2);
    EXPECT_EQ(form->ListView1->headerItem()->text(4), "File name");
    // The classic widths at least, wider where a caption would be cut.
    const int widths[] = {40, 60, 60, 50, 130};
    const QFontMetrics header(form->ListView1->header()->font());
    for (int i = 0; i < 5; ++i) {
        EXPECT_GE(form->ListView1->columnWidth(i), widths[i]);
        EXPECT_GT(form->ListView1->columnWidth(i), header.horizontalAdvance(form->ListView1->headerItem()->text(i)));
    }
    EXPECT_EQ(form->ListView1->columnCount(), 5);
    EXPECT_TRUE(platform.messages().isEmpty());
}

TEST_F(SplitWizardTest, NextWithoutASourceAsksForOne)
{
    Next();
    EXPECT_EQ(platform.messages(), QStringList{"Please open a source file."});
    EXPECT_EQ(platform.callsOf("information").size(), 1);
    EXPECT_EQ(form->Step(), 1);
}

TEST_F(SplitWizardTest, OpeningAFileShowsItsInformationAndAllowsNext)
{
    const QString path = OpenTone();
    const auto open = platform.callsOf("open");
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0].caption, "Open a file to Split:");
    EXPECT_TRUE(open[0].text.startsWith("All supported files(*.wav;*.mp3;*.mp2;*.mp1;*.wma;*.ogg;*.mpc;*.mp+;*.flac;"
                                        "*.opus;*.m4a;*.aac;*.mp4;*.aif;*.aiff;*.wv;*.ape) ("))
        << open[0].text.toStdString();
    EXPECT_TRUE(open[0].text.contains(";;Ogg Vorbis files (*.ogg) (*.ogg);;MPPlus files (*.mpc;*.mp+) (*.mpc *.mp+);;"
                                      "FLAC files (*.flac) (*.flac);;Opus files (*.opus) (*.opus);;"
                                      "AAC and ALAC files (*.m4a;*.aac;*.mp4) (*.m4a *.aac *.mp4);;"
                                      "AIFF files (*.aif;*.aiff) (*.aif *.aiff);;WavPack files (*.wv) (*.wv);;"
                                      "Monkey's Audio files (*.ape) (*.ape)"));
    EXPECT_EQ(form->EdFileName->text(), path);
    EXPECT_EQ(form->EdArtist->text(), "Tone Artist");
    EXPECT_EQ(form->EdDuration->text(), "3000");
    EXPECT_EQ(form->EdSize->text(), QString::number(QFileInfo(path).size()));
    EXPECT_FALSE(form->EdFormat->text().isEmpty());
    EXPECT_EQ(form->Plan.DurationSeconds, 3);
    EXPECT_EQ(form->StatusPanel0->text(), path);
    EXPECT_TRUE(form->SpeedBtnUpdate->isEnabled());

    Next();
    EXPECT_EQ(form->Step(), 2);
    EXPECT_TRUE(form->PageControl1->isTabVisible(1));
    EXPECT_FALSE(form->PageControl1->isTabVisible(0));
    EXPECT_TRUE(form->BitBtnBack->isEnabled());
    Back();
    EXPECT_EQ(form->Step(), 1);
    EXPECT_FALSE(form->BitBtnBack->isEnabled());
}

TEST_F(SplitWizardTest, UnreadableFileIsReportedAndNotKept)
{
    const QString path = dir.path() + "/broken.mp3";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'z'));
    f.close();
    platform.openAnswers << QStringList{path};
    QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
    ASSERT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_TRUE(platform.callsOf("error")[0].text.contains(path));
    EXPECT_TRUE(form->EdFileName->text().isEmpty());
    EXPECT_FALSE(form->SpeedBtnUpdate->isEnabled());
    Next();
    EXPECT_EQ(platform.messages().last(), "Please open a source file.");
    EXPECT_EQ(form->Step(), 1);
}

TEST_F(SplitWizardTest, UpdateRefusesAYearThatIsNotANumberAndLeavesTheSourceAlone)
{
    const QString path = OpenTone();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    form->EdYear->setText("abcd");
    QTest::mouseClick(form->SpeedBtnUpdate, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Please input correct Year!"});
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(SplitWizardTest, UpdateWritesTheEditedTagIntoTheSource)
{
    const QString path = OpenTone();
    form->EdTitle->setText("New Title");
    form->EdYear->setText("1999");
    QTest::mouseClick(form->SpeedBtnUpdate, Qt::LeftButton);
    EXPECT_TRUE(platform.messages().isEmpty());
    const fixtures::Probe p = fixtures::ProbeFile(path);
    EXPECT_EQ(p.tags.value("title").toString(), "New Title");
}

TEST_F(SplitWizardTest, StepTwoNeedsAFolderWhenPathIsChosen)
{
    OpenTone();
    Next();
    EXPECT_FALSE(form->SpeedBtnSavePath->isEnabled());
    form->RBSavePath->click();
    EXPECT_TRUE(form->SpeedBtnSavePath->isEnabled());
    Next();
    EXPECT_EQ(platform.messages(), QStringList{"Please input Save Path."});
    EXPECT_EQ(form->Step(), 2);

    platform.folderAnswers << dir.path();
    QTest::mouseClick(form->SpeedBtnSavePath, Qt::LeftButton);
    EXPECT_EQ(platform.callsOf("folder").at(0).caption, "Select a directory to save output file");
    EXPECT_EQ(form->EdSavePath->text(), dir.path() + "/");
    Next();
    EXPECT_EQ(form->Step(), 3);
    EXPECT_EQ(ProgramSettings.savepath, dir.path() + "/");

    // The folder stays in its box when "Same as the source file" is chosen again.
    Back();
    form->RBSame->click();
    EXPECT_FALSE(form->SpeedBtnSavePath->isEnabled());
    EXPECT_EQ(form->EdSavePath->text(), dir.path() + "/");
}

TEST_F(SplitWizardTest, StepTwoTakesFormatFolderAndTagChoiceOnLeaving)
{
    OpenTone();
    Next();
    form->cbFormat->setCurrentText("WAV");
    form->CheckCopyTag->setChecked(false);
    Next();
    EXPECT_EQ(ProgramSettings.saveformat, "wav");
    EXPECT_EQ(ProgramSettings.savepath, dir.path() + "/");
    EXPECT_FALSE(form->Run.CopyTag);
    EXPECT_EQ(Slices(), 2);
    Back();
    form->cbFormat->setCurrentText("OGG");
    EXPECT_EQ(ProgramSettings.saveformat, "wav");
    Next();
    EXPECT_EQ(ProgramSettings.saveformat, "ogg");
}

TEST_F(SplitWizardTest, StepThreeRefusesPartCountsBelowOne)
{
    ToStep3(); // a 3-second source, which may still be cut in more than 3 parts
    form->EdAmount->setText("0");
    Next();
    form->EdAmount->setText("-2");
    Next();
    const auto boxes = platform.callsOf("captioned");
    ASSERT_EQ(boxes.size(), 2);
    for (const auto &box : boxes) {
        EXPECT_EQ(box.caption, "Information");
        EXPECT_EQ(box.text, "Please input correct parts number!");
    }
    EXPECT_EQ(form->Step(), 3);
    form->EdAmount->setText("5");
    Next();
    EXPECT_EQ(form->Step(), 4);
    EXPECT_EQ(Memo()[3], "        Split in 5 Parts");
}

TEST_F(SplitWizardTest, AmountThatIsNotANumberShowsTheConversionErrorThenRefusesNext)
{
    ToStep3();
    form->EdAmount->setText("x");
    EXPECT_EQ(platform.callsOf("error").at(0).text, "'x' is not a valid integer value.");
    EXPECT_EQ(Slices(), 2);
    Next();
    EXPECT_EQ(platform.callsOf("captioned").at(0).text, "Please input correct number!");
    EXPECT_EQ(form->Step(), 3);

    form->EdAmount->clear();
    EXPECT_EQ(platform.callsOf("error").last().text, "'' is not a valid integer value.");
    EXPECT_EQ(Slices(), 2);
}

TEST_F(SplitWizardTest, PieChartFollowsTheEditsAndDrawsAtMostOneHundredSlices)
{
    ToStep3();
    form->EdAmount->setText("5");
    EXPECT_EQ(Slices(), 5);
    form->UpDown1->StepUp();
    EXPECT_EQ(form->EdAmount->text(), "6");
    EXPECT_EQ(Slices(), 6);
    form->EdAmount->setText("150");
    EXPECT_EQ(Slices(), 100);
    form->EdAmount->setText("0");
    EXPECT_EQ(Slices(), 0);

    form->RBTime->click();
    EXPECT_EQ(form->Plan.Mode, SplitMode::ByTime);
    EXPECT_FALSE(form->EdAmount->isEnabled());
    EXPECT_TRUE(form->EdMin->isEnabled());
    EXPECT_EQ(Slices(), 1); // 3 s in parts of 120 s
    form->EdMin->setText("0");
    form->EdSec->setText("1");
    EXPECT_EQ(Slices(), 3);
    form->EdSec->setText("0"); // 0 s: the chart stays as it was
    EXPECT_EQ(Slices(), 3);
    EXPECT_TRUE(platform.messages().isEmpty());
}

TEST_F(SplitWizardTest, ByTimeChecksTheTotalAndShowsItInSeconds)
{
    ToStep3();
    form->RBTime->click();
    form->EdMin->setText("0");
    form->EdSec->setText("0");
    Next();
    EXPECT_EQ(platform.callsOf("captioned").at(0).text, "Please input correct number!");
    form->EdSec->setText("-5");
    Next();
    EXPECT_EQ(platform.callsOf("captioned").size(), 2);
    form->EdMin->setText("1");
    form->EdSec->setText("30");
    Next();
    EXPECT_EQ(form->Step(), 4);
    EXPECT_FALSE(form->BitBtnNext->isEnabled());
    EXPECT_EQ(form->Plan.SecondsPerPart, 90);
    const QStringList memo = Memo();
    ASSERT_EQ(memo.size(), 8);
    EXPECT_EQ(memo[0], "Source File ");
    EXPECT_EQ(memo[1], "        " + dir.path() + "/tone.wav");
    EXPECT_EQ(memo[2], "Split Mode ");
    EXPECT_EQ(memo[3], "        Split every 90 seconds");
    EXPECT_EQ(memo[4], "Save Format ");
    EXPECT_EQ(memo[5], "        wav");
    EXPECT_EQ(memo[6], "Save Path ");
    EXPECT_EQ(memo[7], "        " + dir.path() + "/");

    Back();
    EXPECT_EQ(form->Step(), 3);
    EXPECT_TRUE(form->BitBtnNext->isEnabled());
}

TEST_F(SplitWizardTest, BySettingsStartsFromOnePartOverTheWholeFile)
{
    ToStep3("OGG");
    form->RBManual->click();
    EXPECT_EQ(form->Plan.Mode, SplitMode::BySettings);
    EXPECT_TRUE(form->ListView1->isEnabled());
    EXPECT_TRUE(form->NCTSliderB1->isEnabled());
    EXPECT_FALSE(form->EdAmount->isEnabled());
    EXPECT_FALSE(form->EdMin->isEnabled());
    EXPECT_EQ(Slices(), 1);
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 1);
    const QTreeWidgetItem *row = form->ListView1->topLevelItem(0);
    EXPECT_EQ(row->text(0), "1");
    EXPECT_EQ(row->text(1), "00:00");
    EXPECT_EQ(row->text(2), "00:03");
    EXPECT_EQ(row->text(3), "00:03");
    EXPECT_EQ(row->text(4), "tone-01.ogg");
    EXPECT_EQ(row->checkState(0), Qt::Checked);
    Next();
    EXPECT_EQ(Memo()[3], "        Split by pre-listening settings");

    Back();
    form->RBAmount->click();
    EXPECT_FALSE(form->ListView1->isEnabled());
    EXPECT_FALSE(form->NCTSliderB1->isEnabled());
    EXPECT_EQ(Slices(), 2);
}

TEST_F(SplitWizardTest, SplitNowWritesThePartsAndReports)
{
    const QString source = ToStep3("WAV");
    Next();
    QTest::mouseClick(form->BitBtnSplit, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Complete splitting file " + source + "!"});
    EXPECT_EQ(form->StatusPanel1->text(), "Complete!");
    EXPECT_EQ(form->Gauge1->value(), 100);
    EXPECT_EQ(form->BitBtnCancel->text(), "Close");
    EXPECT_TRUE(form->BitBtnSplit->isEnabled());
    EXPECT_TRUE(form->BitBtnBack->isEnabled());
    EXPECT_FALSE(form->BitBtnNext->isEnabled());
    EXPECT_TRUE(QFile::exists(dir.path() + "/tone-01.wav"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/tone-02.wav"));
    EXPECT_EQ(fixtures::ProbeFile(dir.path() + "/tone-02.wav").tags.value("title").toString(), "tone-02");
}

TEST_F(SplitWizardTest, ClosingDuringARunCancelsItAndClosesAfterwards)
{
    const QString source = ToStep3("WAV");
    Next();
    form->cbPrecision->setCurrentIndex(3); // many blocks: the close arrives after the first
    EXPECT_EQ(form->Run.PrecisionDivisor, 8);
    QMetaObject::invokeMethod(form, [this] { form->close(); }, Qt::QueuedConnection);
    QTest::mouseClick(form->BitBtnSplit, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Cancel splitting file " + source + "!"});
    ASSERT_FALSE(form.isNull()); // alive until the run returned
    // Both parts are written at once on two cores: each is closed where it was stopped.
    EXPECT_TRUE(QFile::exists(dir.path() + "/tone-01.wav"));
    EXPECT_GT(fixtures::DecodedFrames(dir.path() + "/tone-01.wav"), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(SplitForm, nullptr);
}

TEST_F(SplitWizardTest, CancelClosesAndDestroysTheWindow)
{
    QTest::mouseClick(form->BitBtnCancel, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(SplitForm, nullptr);
}

TEST_F(SplitWizardTest, MinimisingTheWizardMinimisesTheLauncher)
{
    form->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(owner.windowState() & Qt::WindowMinimized);
}

TEST_F(SplitWizardTest, TypedAmountBeyondTheUpDownRangeStillPassesForALongSource)
{
    ToStep3();
    form->Plan.DurationSeconds = 200; // as for a source of 200 s
    form->EdAmount->setText("150");
    EXPECT_EQ(Slices(), 100);
    Next();
    EXPECT_EQ(form->Step(), 4);
    EXPECT_EQ(form->Plan.PartCount, 150);
    EXPECT_EQ(Memo()[3], "        Split in 150 Parts");
    EXPECT_TRUE(platform.messages().isEmpty());
}

TEST_F(SplitWizardTest, LosslessCopyIsOfferedOnlyForAnMp3SourceSavedAsMp3)
{
    OpenTone();
    Next();
    EXPECT_FALSE(form->CheckLossless->isEnabled());
    EXPECT_TRUE(form->CheckLossless->toolTip().contains("MPEG Layer III"));
    // Ticked from setup.ini but unusable here: the run re-encodes as before.
    form->CheckLossless->setChecked(true);
    form->cbFormat->setCurrentText("WAV");
    Next();
    Next();
    EXPECT_FALSE(form->Run.Lossless);
    EXPECT_EQ(Memo().size(), 8);

    Back();
    Back();
    Back();
    OpenMp3();
    Next();
    EXPECT_FALSE(form->CheckLossless->isEnabled()); // still WAV
    EXPECT_TRUE(form->CheckLossless->toolTip().contains("Choose MP3"));
    form->cbFormat->setCurrentText("MP3");
    EXPECT_TRUE(form->CheckLossless->isEnabled());
    EXPECT_TRUE(form->CheckLossless->toolTip().contains("not used"));
}

TEST_F(SplitWizardTest, LosslessCopyIsOfferedForAFlacSourceSavedAsFlac)
{
    fixtures::MakeTone(dir.path() + "/tone.flac", 3.0, 44100, 2, {"-c:a", "flac"});
    platform.openAnswers << QStringList{dir.path() + "/tone.flac"};
    QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
    Next();
    EXPECT_EQ(form->CheckLossless->text(), "Copy the audio without re-encoding");
    form->cbFormat->setCurrentText("MP3");
    EXPECT_FALSE(form->CheckLossless->isEnabled());
    EXPECT_TRUE(form->CheckLossless->toolTip().contains("Choose FLAC")) << form->CheckLossless->toolTip().toStdString();
    form->cbFormat->setCurrentText("FLAC");
    EXPECT_TRUE(form->CheckLossless->isEnabled());
    form->CheckLossless->setChecked(true);
    Next();
    EXPECT_TRUE(form->Run.Lossless);
    Next();
    EXPECT_EQ(Memo().value(9), "        FLAC frames are copied without re-encoding; the cut is exact");
}

TEST_F(SplitWizardTest, LosslessChoiceIsSavedAtOnceAndTakenIntoTheRun)
{
    EXPECT_FALSE(form->CheckLossless->isChecked());
    OpenMp3();
    Next();
    QTest::keyClick(form->CheckLossless, Qt::Key_Space);
    EXPECT_EQ(ProgramSettings.losslessmp3, 1);
    EXPECT_EQ(Ini(), "[general]\nlosslessmp3=1\n");
    Next();
    EXPECT_TRUE(form->Run.Lossless);
    Next();
    const QStringList memo = Memo();
    ASSERT_EQ(memo.size(), 10);
    EXPECT_EQ(memo[8], "Lossless ");
    EXPECT_EQ(memo[9], "        MP3 frames are copied without re-encoding; the cut is exact");
    EXPECT_FALSE(form->cbPrecision->isEnabled());
    EXPECT_EQ(Ini(), "[general]\nlosslessmp3=1\n"); // leaving step 2 writes nothing

    // A new wizard starts from the saved choice; unticking it is saved too.
    delete form.data();
    Create();
    EXPECT_TRUE(form->CheckLossless->isChecked());
    OpenMp3();
    Next();
    QTest::keyClick(form->CheckLossless, Qt::Key_Space);
    EXPECT_EQ(Ini(), "[general]\nlosslessmp3=0\n");

    // The program folder lies below a regular file: the failure reaches the error box.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SetProgramDirectoryForTesting(dir.filePath("blocker"));
    QTest::keyClick(form->CheckLossless, Qt::Key_Space);
    ASSERT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_TRUE(platform.callsOf("error")[0].text.startsWith("Unable to write to "));
}

TEST_F(SplitWizardTest, ExactPrecisionAsksForExactCutsAndTheOthersDoNot)
{
    form->cbPrecision->setCurrentText("Exact");
    EXPECT_TRUE(form->Run.ExactCut);
    EXPECT_EQ(form->Run.PrecisionDivisor, 2);
    form->cbPrecision->setCurrentText("Very High");
    EXPECT_FALSE(form->Run.ExactCut);
    EXPECT_EQ(form->Run.PrecisionDivisor, 8);
}

TEST_F(SplitWizardTest, SetAsSplitPointTakesThePositionsExactFrame)
{
    ToStep3();
    form->RBManual->click();
    form->Preview->SeekPreview(500); // half of 3 s
    ASSERT_EQ(form->Preview->ElapsedSeconds(), 1);
    QTest::mouseClick(form->SpeedBtnSet, Qt::LeftButton);
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
    EXPECT_EQ(form->Plan.PointFrames[1], 66150);
    const QTreeWidgetItem *first = form->ListView1->topLevelItem(0);
    const QTreeWidgetItem *second = form->ListView1->topLevelItem(1);
    EXPECT_EQ(QStringList({first->text(1), first->text(2), first->text(3)}), QStringList({"00:00", "00:01.500", "00:01.500"}));
    EXPECT_EQ(QStringList({second->text(1), second->text(2), second->text(3)}), QStringList({"00:01.500", "00:03", "00:01.500"}));
    EXPECT_EQ(second->text(4), "tone-02.wav");
}

TEST_F(SplitWizardTest, ImportedCueSheetReplacesThePartsAndChoosesTheExactCut)
{
    ToStep3();
    form->RBManual->click();
    const QString sheet = dir.filePath("live.cue");
    QFile f(sheet);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("PERFORMER \"Band\"\nFILE \"live.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:01:50\n");
    f.close();
    auto *import = form->findChild<QPushButton *>("BitBtnImportCue");
    ASSERT_TRUE(import && import->isEnabled());

    // The sheet names another file: the user is asked, and No changes nothing.
    platform.openAnswers << QStringList{sheet};
    import->click();
    ASSERT_EQ(platform.callsOf("question").size(), 1);
    EXPECT_TRUE(platform.callsOf("question").first().text.contains("\"live.wav\", not for tone.wav"));
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 1);

    platform.openAnswers << QStringList{sheet};
    platform.questionAnswers << true;
    import->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(4), "02 - Two.wav");
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(1), "00:01.667");
    EXPECT_EQ(form->Plan.PointFrames[1], 44100 + 50 * 588);
    EXPECT_EQ(form->cbPrecision->currentText(), "Exact");
    EXPECT_TRUE(form->Run.ExactCut);
}

TEST_F(SplitWizardTest, ANumberOfTracksSplitsAtTheLongestSilencesOnly)
{
    const QString path = dir.filePath("tape.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                       "aevalsrc='if(between(t,1,1.6)+between(t,2.5,3.5),0,0.5*sin(2*PI*440*t))'"
                                       ":s=44100:d=5",
                                       "-c:a", "pcm_s16le", path}),
              0);
    platform.openAnswers << QStringList{path};
    form->SpeedBtnOpen->click();
    Next();
    Next();
    form->RBManual->click();
    QTimer::singleShot(0, form, [] {
        auto *dialog = qobject_cast<TSilenceForm *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        auto *layout = dialog->findChild<QFormLayout *>();
        ASSERT_TRUE(layout);
        auto *label = qobject_cast<QLabel *>(layout->labelForField(dialog->EdTracks));
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), "Number of tracks");
        dialog->EdMinSilence->setValue(0.5);
        dialog->EdTracks->setValue(2);
        dialog->accept();
    });
    form->findChild<QPushButton *>("BitBtnDetectSilences")->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
    EXPECT_NEAR(double(form->Plan.PointFrames[1]), 3.0 * 44100, 441);
}

TEST_F(SplitWizardTest, DetectedSilencesBecomeUncheckedPartsWhenDropped)
{
    const QString path = dir.filePath("tape.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                       "aevalsrc='if(between(t,1,2),0,0.5*sin(2*PI*440*t))':s=44100:d=3", "-c:a",
                                       "pcm_s16le", path}),
              0);
    platform.openAnswers << QStringList{path};
    form->SpeedBtnOpen->click();
    Next();
    Next();
    form->RBManual->click();
    // The user asks for silences of at least half a second, cut out.
    QTimer::singleShot(0, form, [] {
        auto *dialog = qobject_cast<TSilenceForm *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->EdMinSilence->setValue(0.5);
        dialog->CheckDropSilence->setChecked(true);
        dialog->accept();
    });
    form->findChild<QPushButton *>("BitBtnDetectSilences")->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 3);
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(1), "00:01");
    EXPECT_EQ(form->ListView1->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(form->ListView1->topLevelItem(2)->text(4), "tape-02.mp3");
    EXPECT_EQ(form->cbPrecision->currentText(), "Exact");
}
