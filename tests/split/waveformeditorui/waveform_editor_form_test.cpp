#include "base/TimeFormat.h"
#include "config/ProgramSettings.h"
#include "split/WaveformEditorModel.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/TWaveformEditorForm.h"
#include "split/ui/TWaveformEditorView.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"
#include "tests/split/waveformeditorui/EditorFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>

using namespace editor_test;

namespace {

class WheelZoom : public EditorTest, public ::testing::WithParamInterface<int> {};

struct Nudge {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int64_t delta;
};
class NudgeKeys : public EditorTest, public ::testing::WithParamInterface<Nudge> {};

} // namespace

TEST_P(WheelZoom, CtrlWheelZoomsAboutTheMouseAndThePlainWheelScrolls)
{
    Wheel(400, 120 * 3, Qt::ControlModifier); // somewhere to zoom out from
    const int notches = GetParam();
    const double fpp = view->Axis().FramesPerPixel();
    const double under = view->Axis().FrameAt(300);
    Wheel(300, 120 * notches, Qt::ControlModifier);
    EXPECT_NEAR(view->Axis().FramesPerPixel(), fpp * std::pow(0.8, notches), 1e-9 * fpp);
    EXPECT_NEAR(view->Axis().FrameAt(300), under, 1e-6);
    const double first = view->Axis().FirstFrame();
    Wheel(300, -120, Qt::NoModifier);
    EXPECT_NEAR(view->Axis().FirstFrame(), first + view->Axis().VisibleFrames() / 8, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Notches, WheelZoom, ::testing::Values(1, 2, -1));

TEST_F(EditorTest, ADraggedLineShowsItsTimeAndStopsBeforeItsNeighbour)
{
    const int from = XOf(Point(0));
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(from, Y()));
    QTest::mouseMove(view, QPoint(from + 40, Y()));
    ASSERT_TRUE(view->Readout()->isVisible());
    EXPECT_EQ(view->Readout()->text(), FormatClock(FrameAt(from + 40), Rate));
    EXPECT_EQ(Point(0), 3 * Rate); // nothing changes before the drop
    QTest::mouseMove(view, QPoint(XOf(8 * Rate), Y()));
    EXPECT_EQ(view->Readout()->text(), FormatClock(6 * Rate - 1, Rate));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(XOf(8 * Rate), Y()));
    EXPECT_FALSE(view->Readout()->isVisible());
    EXPECT_EQ(Point(0), 6 * Rate - 1);
    form->W.BtnUndo->click();
    EXPECT_EQ(Point(0), 3 * Rate);
}

TEST_P(NudgeKeys, ArrowKeysNudgeTheSelectedLine)
{
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(XOf(Point(1)), Y()));
    ASSERT_EQ(view->SelectedPoint(), 1);
    QTest::keyClick(view, GetParam().key, GetParam().modifiers);
    EXPECT_EQ(Point(1), 6 * Rate + GetParam().delta);
}

INSTANTIATE_TEST_SUITE_P(Steps, NudgeKeys,
                         ::testing::Values(Nudge{Qt::Key_Right, Qt::NoModifier, Rate / 100},
                                           Nudge{Qt::Key_Left, Qt::ShiftModifier, -1},
                                           Nudge{Qt::Key_Right, Qt::ControlModifier, Rate}));

TEST_F(EditorTest, SAddsASplitPointAtTheCursorsExactFrameAndDeleteRemovesIt)
{
    const int x = XOf(8 * Rate) + 1;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, Y()));
    EXPECT_EQ(view->CursorFrame(), FrameAt(x));
    QTest::keyClick(view, Qt::Key_S);
    ASSERT_EQ(form->Model().Points().size(), 3u);
    EXPECT_EQ(Point(2), FrameAt(x));
    EXPECT_EQ(form->W.PartList->topLevelItemCount(), 4);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(form->Model().Points().size(), 2u);
}

namespace {

// The wizard at step 3 in "By Settings" mode on a ten-second tone; OK or
// Cancel (the parameter) closes the editor after a point is added at 4.5 s.
class EditorFromWizard : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        saved = ProgramSettings;
        wizard = new TSplitForm(nullptr);
        SplitForm = wizard;
        wizard->show();
        const QString path = dir.filePath("tone.wav");
        fixtures::MakeTone(path, 10.0, Rate, 2, {"-c:a", "pcm_s16le"});
        platform.openAnswers << QStringList{path};
        QTest::mouseClick(wizard->SpeedBtnOpen, Qt::LeftButton);
        QTest::mouseClick(wizard->BitBtnNext, Qt::LeftButton);
        wizard->cbFormat->setCurrentText("WAV");
        QTest::mouseClick(wizard->BitBtnNext, Qt::LeftButton);
        wizard->RBManual->click();
    }

    void TearDown() override
    {
        delete wizard.data();
        ProgramSettings = saved;
        SetProgramDirectoryForTesting(QString());
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QPointer<TSplitForm> wizard;
    TProgramSettings saved;
};

} // namespace

TEST_P(EditorFromWizard, OkWritesTheExactFramesBackAndCancelLeavesThePlan)
{
    const bool ok = GetParam();
    auto *open = wizard->findChild<QPushButton *>("BitBtnWaveformEditor");
    ASSERT_TRUE(open && open->isEnabled());
    EXPECT_EQ(open->text(), "Waveform Editor...");
    int64_t added = -1;
    QTimer::singleShot(0, wizard, [&] {
        auto *editor = wizard->findChild<TWaveformEditorForm *>();
        ASSERT_TRUE(editor);
        TWaveformEditorView *v = editor->W.View;
        const int x = int(std::lround(v->Axis().XOf(4.5 * Rate)));
        QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(x, v->WaveTop() + 30));
        QTest::keyClick(v, Qt::Key_S);
        added = v->CursorFrame();
        editor->W.Buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    open->click();
    ASSERT_GT(added, 4 * Rate);
    if (ok) {
        ASSERT_EQ(wizard->Plan.PartCount, 2);
        EXPECT_EQ(wizard->Plan.PointFrames[1], added);
        EXPECT_EQ(wizard->ListView1->topLevelItemCount(), 2);
        // An exact point between two seconds reads to the nearest millisecond.
        EXPECT_EQ(wizard->ListView1->topLevelItem(1)->text(1),
                  FormatMinutesSecondsMs((added * 1000 + Rate / 2) / Rate));
        EXPECT_EQ(wizard->cbPrecision->currentText(), "Exact");
    } else {
        EXPECT_EQ(wizard->Plan.PartCount, 1);
        EXPECT_EQ(wizard->ListView1->topLevelItemCount(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Closing, EditorFromWizard, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &p) { return p.param ? "Ok" : "Cancel"; });

TEST_F(EditorFromWizard, ARenamedAndAnUncheckedPartAreUndoableAndReachThePlan)
{
    auto *open = wizard->findChild<QPushButton *>("BitBtnWaveformEditor");
    ASSERT_TRUE(open);
    QTimer::singleShot(0, wizard, [&] {
        auto *editor = wizard->findChild<TWaveformEditorForm *>();
        ASSERT_TRUE(editor);
        TWaveformEditorView *v = editor->W.View;
        QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(int(std::lround(v->Axis().XOf(4.5 * Rate))), v->WaveTop() + 30));
        QTest::keyClick(v, Qt::Key_S);
        QTreeWidget *list = editor->W.PartList;
        const auto settle = [] { QCoreApplication::processEvents(); }; // the list is rebuilt after an edit
        const QString defaultName = list->topLevelItem(1)->text(waveform_editor::ColumnName);
        list->topLevelItem(1)->setText(waveform_editor::ColumnName, "Outro");
        settle();
        list->topLevelItem(0)->setCheckState(waveform_editor::ColumnPart, Qt::Unchecked);
        settle();
        editor->W.BtnUndo->click();
        EXPECT_EQ(list->topLevelItem(0)->checkState(waveform_editor::ColumnPart), Qt::Checked);
        editor->W.BtnUndo->click();
        EXPECT_EQ(list->topLevelItem(1)->text(waveform_editor::ColumnName), defaultName);
        editor->W.BtnRedo->click();
        editor->W.BtnRedo->click();
        EXPECT_EQ(list->topLevelItem(1)->text(waveform_editor::ColumnName), "Outro");
        EXPECT_EQ(list->topLevelItem(0)->checkState(waveform_editor::ColumnPart), Qt::Unchecked);
        editor->W.Buttons->button(QDialogButtonBox::Ok)->click();
    });
    open->click();
    ASSERT_EQ(wizard->Plan.PartCount, 2);
    EXPECT_EQ(wizard->Plan.PartNames[2], "Outro.wav");
    EXPECT_FALSE(wizard->Plan.PartSaveFlags[1]);
    EXPECT_TRUE(wizard->Plan.PartSaveFlags[2]);
}
