#include "split/CueSheet.h"
#include "split/WaveformEditorModel.h"
#include "split/WaveformEditorPlayer.h"
#include "tests/split/waveformeditorui/EditorFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

using namespace editor_test;

namespace {

QStringList Names(const WaveformEditorModel &m)
{
    QStringList names;
    for (int p = 0; p < m.PartCount(); ++p)
        names << m.ShownName(p);
    return names;
}

void Rename(TWaveformEditorForm &form, int part, const QString &name)
{
    form.W.PartList->topLevelItem(part)->setText(waveform_editor::ColumnName, name);
    // The list is rebuilt after the edit, outside the item's own signal.
    QCoreApplication::processEvents();
}

// An eight-second stereo tone with 200 ms of digital silence from 4 s.
class SilenceGap : public EditorTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("gap.wav");
        ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                           "aevalsrc=exprs='0.5*sin(2*PI*440*t)*(1-between(t,4,4.2))':s=44100:c=stereo:d=8",
                                           "-c:a", "pcm_s16le", path}),
                  0);
        OpenEditor(8, {});
    }
};

} // namespace

TEST_F(EditorTest, ExportedLabelsImportBackToTheFrame)
{
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(8 * Rate) + 1, Y()));
    QTest::keyClick(view, Qt::Key_S);
    Rename(*form, 1, "Middle");
    const std::vector<int64_t> exported = form->Model().Points();
    ASSERT_EQ(exported.size(), 3u);
    ASSERT_NE(exported[2] % Rate, 0);
    const QString labels = dir.filePath("labels.txt");
    platform.saveAnswers << labels;
    form->W.BtnExportLabels->click();
    ASSERT_TRUE(QFile::exists(labels));

    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(Point(2)), Y()));
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(form->Model().Points().size(), 2u);
    platform.openAnswers << QStringList{labels};
    form->W.BtnImportLabels->click();
    EXPECT_EQ(form->Model().Points(), exported);
    EXPECT_EQ(Names(form->Model()).value(1), "Middle");
    EXPECT_TRUE(platform.messages().isEmpty()) << platform.messages().join('\n').toStdString();
    form->W.BtnUndo->click(); // an import is one change
    EXPECT_EQ(form->Model().Points().size(), 2u);
}

TEST_F(EditorTest, ExportedCueSheetReadsBackWithTheTitlesAndWarnsOfAPointOffACdFrame)
{
    Rename(*form, 1, "Middle");
    const QString cue = dir.filePath("tone.cue");
    platform.saveAnswers << cue;
    form->W.BtnExportCue->click();
    EXPECT_TRUE(platform.callsOf("question").isEmpty());
    const CueSheet sheet = ReadCueSheet(cue);
    ASSERT_EQ(sheet.tracks.size(), 3u);
    EXPECT_EQ(sheet.tracks[1].title, "Middle");
    EXPECT_EQ(sheet.tracks[2].title, Names(form->Model()).value(2));
    EXPECT_EQ(sheet.tracks[1].index01, 3 * 75);
    EXPECT_EQ(sheet.tracks[2].index01, 6 * 75);

    // One frame later, part 3 no longer starts on a CD frame; No keeps the sheet as it was.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(Point(1)), Y()));
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(Point(1), 6 * Rate + 1);
    form->W.BtnExportCue->click();
    const QList<ScriptedPlatform::Call> questions = platform.callsOf("question");
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].text.startsWith("Part 3 does not start on a CD frame")) << questions[0].text.toStdString();
    EXPECT_EQ(platform.callsOf("save").size(), 1);
    EXPECT_EQ(ReadCueSheet(cue).tracks[2].index01, 6 * 75);
}

TEST_F(SilenceGap, SnapPutsAPointAddedNearASilenceInsideIt)
{
    ASSERT_TRUE(WaitForPeaks());
    const int64_t gapFrom = 4 * Rate, gapTo = 4 * Rate + Rate / 5;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(gapFrom - Rate / 20), Y()));
    ASSERT_LT(view->CursorFrame(), gapFrom);
    form->W.CheckSnap->setChecked(true);
    form->W.SpinSnapMs->setValue(100);
    QTest::keyClick(view, Qt::Key_S);
    ASSERT_EQ(form->Model().Points().size(), 1u);
    EXPECT_GE(Point(0), gapFrom);
    EXPECT_LE(Point(0), gapTo);
}

TEST_F(EditorTest, RepaintingStopsOnceTheFileIsReadAndAgainOnceSamplesHaveLanded)
{
    ASSERT_TRUE(WaitForPeaks());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->Polling(); }, 10000));
    view->SetCursorFrame(2 * Rate);
    while (view->Axis().FramesPerPixel() >= 1)
        view->ZoomAtCursor(0.5);
    EXPECT_TRUE(QTest::qWaitFor([this] { return form->Polling(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->Polling(); }, 10000));
    std::vector<float> samples;
    EXPECT_TRUE(form->Source().Samples(-1, 2 * Rate, 16, samples));
    EXPECT_EQ(samples.size(), 32u);
}

namespace {

bool HaveSoundServer()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

} // namespace

TEST_F(EditorTest, SpacePlaysFromTheCursorAndPausesWhereItWasHeard)
{
    if (!HaveSoundServer())
        GTEST_SKIP() << "no sound server (start the PulseAudio null sink)";
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(2 * Rate), Y()));
    const int64_t cursor = view->CursorFrame();
    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_TRUE(form->Player().Playing()) << platform.messages().join('\n').toStdString();
    EXPECT_EQ(form->Player().Position(), cursor);
    EXPECT_EQ(form->W.BtnPlay->text(), "Pause");
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_FALSE(form->Player().Playing());
    EXPECT_GE(view->CursorFrame(), cursor);
    EXPECT_EQ(form->W.BtnPlay->text(), "Play");
}

TEST_F(EditorTest, PlayAcrossTheCutStartsTwoSecondsBeforeTheSelectedLine)
{
    if (!HaveSoundServer())
        GTEST_SKIP() << "no sound server (start the PulseAudio null sink)";
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(Point(1)), Y()));
    ASSERT_EQ(view->SelectedPoint(), 1);
    ASSERT_DOUBLE_EQ(form->W.SpinBefore->value(), 2.0);
    QTest::keyClick(view, Qt::Key_C);
    ASSERT_TRUE(form->Player().Playing()) << platform.messages().join('\n').toStdString();
    EXPECT_EQ(form->Player().Position(), 4 * Rate);
}
