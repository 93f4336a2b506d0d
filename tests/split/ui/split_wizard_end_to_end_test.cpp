// The wizard walked the way a user walks it: a real MP3 opened in step 1, a
// format and folder in step 2, a mode in step 3, "Split Now" in step 4, and
// the parts judged by ffmpeg/ffprobe rather than by our own reader.
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"
#include "audio/ui/PreviewPanel.h"
#include "config/ProgramSettings.h"
#include "split/ui/TEditSelectionForm.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/TSplitPieChart.h"
#include "split/ui/SplitPointControls.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;
constexpr double kSourceSeconds = 12.0;

class SplitWizardEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
        out = dir.path() + "/out/";
        saved = ProgramSettings;
        form = new TSplitForm(&owner);
        SplitForm = form;
        owner.show();
        form->show();
    }

    void TearDown() override
    {
        delete form.data();
        ProgramSettings = saved;
    }

    void Next() { QTest::mouseClick(form->BitBtnNext, Qt::LeftButton); }

    // A click on the button's label, where a user aims (the button itself
    // spans its layout cell).
    static void ClickRadio(QRadioButton *button)
    {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        ASSERT_TRUE(button->isChecked()) << button->text().toStdString();
    }

    // Steps 1 and 2: a 12-second MP3 with an artist tag, parts in their own
    // folder (so the folder holds exactly what the run wrote), in `format`.
    void ToStep3(const QString &format)
    {
        source = dir.path() + "/tone.mp3";
        fixtures::MakeTone(source, kSourceSeconds, kRate, 2,
                           {"-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "artist=Tone Artist"});
        platform.openAnswers << QStringList{source};
        QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
        ASSERT_EQ(form->Plan.DurationSeconds, 12);
        Next();
        ASSERT_EQ(form->Step(), 2);
        form->cbFormat->setCurrentText(format);
        ClickRadio(form->RBSavePath);
        platform.folderAnswers << dir.path() + "/out";
        QTest::mouseClick(form->SpeedBtnSavePath, Qt::LeftButton);
        Next();
        ASSERT_EQ(form->Step(), 3);
    }

    // Step 4 and "Split Now"; the run must report completion.
    void SplitNow()
    {
        Next();
        ASSERT_EQ(form->Step(), 4);
        QTest::mouseClick(form->BitBtnSplit, Qt::LeftButton);
        EXPECT_EQ(platform.messages(), QStringList{"Complete splitting file " + source + "!"});
        EXPECT_EQ(form->StatusPanel1->text(), "Complete!");
    }

    QStringList OutputFiles() const
    {
        return QDir(out).entryList(QDir::Files, QDir::Name);
    }

    // Frames one read covers; neighbouring parts share the block at each cut.
    int64_t Block() const { return kRate / form->Run.PrecisionDivisor; }

    // A part as an independent decoder sees it: its length in frames within
    // one block (plus an MP3 frame of encoder padding) of `frames`, and the
    // source's tag with the part's name as title.
    void ExpectPart(const QString &name, int64_t frames, const QString &codec)
    {
        SCOPED_TRACE(name.toStdString());
        const QString path = out + name;
        ASSERT_TRUE(QFile::exists(path));
        const fixtures::Probe p = fixtures::ProbeFile(path);
        EXPECT_EQ(p.codec, codec);
        EXPECT_EQ(p.sampleRate, kRate);
        const int64_t decoded = fixtures::DecodedFrames(path);
        EXPECT_LE(std::abs(decoded - frames), Block() + 1152) << decoded << " frames, expected " << frames;
        const QString title = name.left(name.lastIndexOf('.'));
        EXPECT_EQ(p.tags.value("title").toString(), title);
        EXPECT_EQ(p.tags.value("artist").toString(), "Tone Artist");
    }

    // Moves the preview to `ms` the way the slider does and sets a split
    // point there, at the frame the slider points at. The position is chosen
    // inside a second, so the time display's whole seconds do not depend on
    // the rounding of the slider.
    void SetSplitPointAt(int64_t ms, int32_t expectedSeconds)
    {
        const int64_t durationMs = form->AudioInformation.Duration();
        form->Preview->SeekPreview(int(ms * 1000 / durationMs));
        ASSERT_EQ(form->Preview->ElapsedSeconds(), expectedSeconds);
        QTest::mouseClick(form->SpeedBtnSet, Qt::LeftButton);
    }

    QRect RowRect(int row) const
    {
        return form->ListView1->visualItemRect(form->ListView1->topLevelItem(row));
    }

    void ClickRow(int row)
    {
        QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, RowRect(row).center());
    }

    void ClickCheckBox(int row)
    {
        QStyleOptionViewItem option;
        option.initFrom(form->ListView1);
        option.rect = RowRect(row);
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = form->ListView1->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option,
                                                                    form->ListView1);
        QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, box.center());
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QString out;
    QString source;
    QWidget owner;
    QPointer<TSplitForm> form;
    TProgramSettings saved;
};

} // namespace

TEST_F(SplitWizardEndToEnd, BySettingsWritesTheCheckedPartsUnderTheirNames)
{
    ToStep3("OGG");
    ClickRadio(form->RBManual);
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 1);
    SetSplitPointAt(4500, 4);
    SetSplitPointAt(8500, 8);

    QTreeWidget *list = form->ListView1;
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(form->Chart1->SliceCount(), 3);
    // The slider's steps are 12 ms: 8500 ms is step 708.
    const QStringList ends{"00:04.500", "00:08.496", "00:12"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(list->topLevelItem(r)->text(2), ends[r]);
        EXPECT_EQ(list->topLevelItem(r)->text(4), QString("tone-0%1.ogg").arg(r + 1));
    }

    // Rename the middle part in the edit dialog (modal: filled while it runs).
    ClickRow(1);
    EXPECT_EQ(form->StatusPanel1->text(), "Select tone-02.ogg");
    bool edited = false;
    QTimer::singleShot(0, [&] {
        TEditSelectionForm *dialog = EditSelectionForm;
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->EdRename->text(), "tone-02");
        dialog->EdRename->setText("Middle Part");
        dialog->EdTip->setText("the bridge");
        QTest::mouseClick(dialog->BitBtnOK, Qt::LeftButton);
        edited = true;
    });
    QTest::mouseClick(form->BitBtnEdit, Qt::LeftButton);
    ASSERT_TRUE(edited);
    EXPECT_TRUE(platform.messages().isEmpty());
    EXPECT_EQ(list->topLevelItem(1)->text(4), "Middle Part.ogg");
    EXPECT_EQ(form->Plan.PartTips[2], "the bridge");

    // Leave the last part out by its check box.
    ClickCheckBox(2);
    ASSERT_EQ(list->topLevelItem(2)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(form->Plan.PartSaveFlags[3]);

    SplitNow();
    EXPECT_EQ(OutputFiles(), (QStringList{"Middle Part.ogg", "tone-01.ogg"}));
    ExpectPart("tone-01.ogg", int64_t(4.5 * kRate), "vorbis");
    ExpectPart("Middle Part.ogg", int64_t(8.496 * kRate) - int64_t(4.5 * kRate), "vorbis");
}

TEST_F(SplitWizardEndToEnd, KeyboardTogglesOfTheRowsReachTheSaveFlagsAndTheRun)
{
    ToStep3("WAV");
    ClickRadio(form->RBManual);
    SetSplitPointAt(6500, 6);
    ClickRow(0);
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_Space);
    EXPECT_EQ(form->ListView1->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(form->Plan.PartSaveFlags[1]);
    // A rebuild (here by a point set at a position that already is one)
    // shows the choice the keyboard made.
    SetSplitPointAt(6500, 6);
    EXPECT_EQ(form->ListView1->topLevelItem(0)->checkState(0), Qt::Unchecked);
    ClickRow(0); // the rebuilt list has no current row
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_Space);
    EXPECT_TRUE(form->Plan.PartSaveFlags[1]);
    QTest::keyClick(form->ListView1, Qt::Key_Space);
    EXPECT_FALSE(form->Plan.PartSaveFlags[1]);

    SplitNow();
    EXPECT_EQ(OutputFiles(), QStringList{"tone-02.wav"});
}

TEST_F(SplitWizardEndToEnd, ByAmountCutsEqualMp3Parts)
{
    ToStep3("MP3");
    ClickRadio(form->RBAmount);
    form->EdAmount->setText("3");
    EXPECT_EQ(form->Chart1->SliceCount(), 3);
    SplitNow();
    EXPECT_EQ(OutputFiles(), (QStringList{"tone-01.mp3", "tone-02.mp3", "tone-03.mp3"}));
    const int64_t total = fixtures::DecodedFrames(source);
    for (int k = 1; k <= 3; ++k)
        ExpectPart(QString("tone-0%1.mp3").arg(k), total / 3, "mp3");
}

TEST_F(SplitWizardEndToEnd, ByTimeCutsFiveSecondWavPartsAndAShortRest)
{
    ToStep3("WAV");
    ClickRadio(form->RBTime);
    form->EdMin->setText("0");
    form->EdSec->setText("5");
    EXPECT_EQ(form->Chart1->SliceCount(), 3);
    SplitNow();
    EXPECT_EQ(OutputFiles(), (QStringList{"tone-01.wav", "tone-02.wav", "tone-03.wav"}));
    const int64_t total = fixtures::DecodedFrames(source);
    ExpectPart("tone-01.wav", 5 * kRate, "pcm_s16le");
    ExpectPart("tone-02.wav", 5 * kRate, "pcm_s16le");
    ExpectPart("tone-03.wav", total - 10 * kRate, "pcm_s16le");
}

// The way a user sets points: listening, pressing "Set as split point" at
// the moment heard. Needs a sound server (the tests use a null sink).
TEST_F(SplitWizardEndToEnd, PointsSetWhileListeningCutWhereTheTimeDisplayStood)
{
    if (QMediaDevices::defaultAudioOutput().isNull())
        GTEST_SKIP() << "no sound server";
    ToStep3("WAV");
    ClickRadio(form->RBManual);
    form->Preview->PlayPreview();
    ASSERT_TRUE(form->Preview->PreviewActive);
    // Playback runs on the null sink at its own pace; wait until the display
    // has passed two seconds (the limit only bounds a stalled player).
    QTRY_VERIFY_WITH_TIMEOUT(form->Preview->ElapsedSeconds() >= 2 || !form->Preview->PreviewActive, 60000);
    ASSERT_TRUE(form->Preview->PreviewActive);
    const int32_t heard = form->Preview->ElapsedSeconds();
    form->Preview->PausePreview();
    ASSERT_EQ(form->Preview->ElapsedSeconds(), heard);
    QTest::mouseClick(form->SpeedBtnSet, Qt::LeftButton);
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
    // The point is where playback stopped, to the frame; the display, which
    // follows the player in steps, showed no later second.
    const int64_t paused = form->Preview->PreviewStartSample;
    EXPECT_EQ(form->Plan.PointFrames[1], paused);
    EXPECT_GE(form->Plan.TimePoints[1], heard);

    // "Split Now" stops the preview first: the reader is shared with it.
    SplitNow();
    EXPECT_FALSE(form->Preview->PreviewActive);
    EXPECT_EQ(OutputFiles(), (QStringList{"tone-01.wav", "tone-02.wav"}));
    const int64_t total = fixtures::DecodedFrames(source);
    ExpectPart("tone-01.wav", paused, "pcm_s16le");
    ExpectPart("tone-02.wav", total - paused, "pcm_s16le");
}
