#include "split/ui/TEditSelectionForm.h"
#include "split/ui/SplitPointControls.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A stand-in for the split window's step-3 group: the editor's controls, a
// plan over a five-minute source and hooks that record what reaches the
// preview panel, the status bar and the chart.
class EditorHarness : public ::testing::Test {
protected:
    void SetUp() override
    {
        plan.SourcePath = "/music/show.mp3";
        plan.DurationSeconds = 300;
        plan.Mode = SplitMode::BySettings;
        plan.ResetManualPlan("mp3");

        auto *layout = new QVBoxLayout(&window);
        controls.SpeedBtnSet = new QToolButton(&window);
        controls.CheckTip = new QCheckBox(&window);
        controls.ListView1 = new QTreeWidget(&window);
        controls.BitBtnEdit = new QPushButton(&window);
        controls.BitBtnRemove = new QPushButton(&window);
        controls.BitBtnRemoveAll = new QPushButton(&window);
        for (QWidget *w : {static_cast<QWidget *>(controls.SpeedBtnSet), static_cast<QWidget *>(controls.CheckTip),
                           static_cast<QWidget *>(controls.ListView1), static_cast<QWidget *>(controls.BitBtnEdit),
                           static_cast<QWidget *>(controls.BitBtnRemove),
                           static_cast<QWidget *>(controls.BitBtnRemoveAll)})
            layout->addWidget(w);
        controls.ListView1->setMinimumHeight(200);

        SplitPointEditorHooks hooks;
        hooks.ElapsedSeconds = [this] { return elapsed; };
        hooks.SeekPreview = [this](int v) { seeks << v; };
        hooks.SetDisplayMilliseconds = [this](int64_t ms) { displayMs = ms; };
        hooks.PreviewActive = [this] { return playing; };
        hooks.SetStatusText = [this](const QString &text) { status = text; };
        hooks.DurationMs = [] { return int64_t(300000); };
        hooks.OutputExtension = [] { return QString("mp3"); };
        hooks.RefreshPieChart = [this](int32_t count) { pies << count; };
        editor = new SplitPointControls(&window, plan, controls, hooks);
        editor->SetEnabled(true);
        SplitPointControls::FillPartList(controls.ListView1, plan);
        window.resize(500, 400);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QTreeWidget *List() const { return controls.ListView1; }

    QStringList Row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << List()->topLevelItem(r)->text(c);
        return cells;
    }

    void ClickRow(int r)
    {
        const QRect rect = List()->visualItemRect(List()->topLevelItem(r));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void ClickCheckBox(int r)
    {
        const QRect rect = List()->visualItemRect(List()->topLevelItem(r));
        QStyleOptionViewItem option;
        option.initFrom(List());
        option.rect = rect;
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = List()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, List());
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, box.center());
    }

    // Sets split points at the given seconds through the button.
    void SetAt(std::initializer_list<int32_t> seconds)
    {
        for (int32_t s : seconds) {
            elapsed = s;
            controls.SpeedBtnSet->click();
        }
    }

    // Runs check while the modal dialog opened by open() is showing; check
    // must close the dialog.
    void WithDialog(const std::function<void()> &open, const std::function<void(TEditSelectionForm *)> &check)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            ASSERT_NE(EditSelectionForm, nullptr);
            EXPECT_TRUE(EditSelectionForm->isModal());
            check(EditSelectionForm);
            if (EditSelectionForm && EditSelectionForm->isVisible())
                EditSelectionForm->BitBtnCancel->click();
        });
        open();
        EXPECT_TRUE(ran);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(EditSelectionForm, nullptr);
    }

    ScriptedPlatform platform;
    SplitPlan plan;
    QWidget window;
    SplitPointEditorControls controls;
    SplitPointControls *editor = nullptr;
    int32_t elapsed = 0;
    bool playing = false;
    QList<int> seeks;
    int64_t displayMs = -1;
    QString status;
    QList<int32_t> pies;
};

TEST_F(EditorHarness, ControlsCarryTheirCaptionsAndHints)
{
    EXPECT_EQ(controls.SpeedBtnSet->toolTip(), "Set as split point");
    EXPECT_EQ(controls.CheckTip->text(), "Enable Tooltips");
    EXPECT_FALSE(controls.CheckTip->isChecked());
    EXPECT_EQ(controls.BitBtnEdit->text(), "Edit Selection");
    EXPECT_EQ(controls.BitBtnEdit->toolTip(), "Edit Selecttion");
    EXPECT_EQ(controls.BitBtnRemove->text(), "Remove");
    EXPECT_EQ(controls.BitBtnRemove->toolTip(), "Remove selected item");
    EXPECT_EQ(controls.BitBtnRemoveAll->text(), "Remove All");
    EXPECT_EQ(controls.BitBtnRemoveAll->toolTip(), "Remove all items");
    EXPECT_EQ(editor->Edit1->text(), "Edit Selection");
    EXPECT_EQ(editor->Remove1->text(), "Remove Selection");
    editor->SetEnabled(false);
    EXPECT_FALSE(controls.SpeedBtnSet->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(controls.CheckTip->isEnabled());
    EXPECT_FALSE(controls.BitBtnRemoveAll->isEnabled());
}

TEST_F(EditorHarness, SetAtOneMinuteThenHalfAMinuteThenOneMinuteAgain)
{
    SetAt({60});
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{"1", "00:00", "01:00", "01:00", "show-01.mp3"}));
    EXPECT_EQ(Row(1), (QStringList{"2", "01:00", "05:00", "04:00", "show-02.mp3"}));
    EXPECT_EQ(List()->topLevelItem(1)->checkState(0), Qt::Checked);

    plan.PartNames[2] = "mine.mp3";
    SetAt({30});
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(Row(1), (QStringList{"2", "00:30", "01:00", "00:30", "mine.mp3"}));
    EXPECT_EQ(Row(2), (QStringList{"3", "01:00", "05:00", "04:00", "show-03.mp3"}));

    plan.PartNames[3] = "outro.mp3";
    ClickCheckBox(2);
    ASSERT_FALSE(plan.PartSaveFlags[3]);
    SetAt({60});
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(Row(2), (QStringList{"3", "01:00", "05:00", "04:00", "show-03.mp3"}));
    EXPECT_EQ(List()->topLevelItem(2)->checkState(0), Qt::Checked);
    EXPECT_EQ(pies, (QList<int32_t>{2, 3, 3}));
}

TEST_F(EditorHarness, ClickingARowSeeksToItsStartAndNamesItInTheStatusBar)
{
    SetAt({150});
    ClickRow(1);
    EXPECT_EQ(seeks, (QList<int>{500}));
    EXPECT_EQ(displayMs, 150000);
    EXPECT_EQ(status, "Select show-02.mp3");
    EXPECT_TRUE(controls.BitBtnEdit->isEnabled());
    EXPECT_TRUE(editor->Remove1->isEnabled());

    playing = true;
    ClickRow(0);
    EXPECT_EQ(seeks.last(), 0);
    EXPECT_EQ(status, "Playing show-01.mp3");
}

TEST_F(EditorHarness, ClickingEmptySpaceDisablesEditAndRemove)
{
    ClickRow(0);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(10, List()->viewport()->height() - 5));
    EXPECT_EQ(editor->SelectedRow(), -1);
    EXPECT_FALSE(controls.BitBtnEdit->isEnabled());
    EXPECT_FALSE(controls.BitBtnRemove->isEnabled());
    EXPECT_FALSE(editor->Edit1->isEnabled());
    EXPECT_FALSE(editor->Remove1->isEnabled());
}

TEST_F(EditorHarness, CheckBoxTogglesReachThePlanAtOnceByMouseAndKeyboard)
{
    SetAt({100, 200});
    ClickCheckBox(1);
    EXPECT_EQ(List()->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(plan.PartSaveFlags[2]);

    ClickRow(2);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(List()->topLevelItem(2)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(plan.PartSaveFlags[3]);
    // A rebuild before any further click shows what the user chose.
    SplitPointControls::FillPartList(List(), plan);
    EXPECT_EQ(List()->topLevelItem(2)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(List()->topLevelItem(0)->checkState(0), Qt::Checked);
}

TEST_F(EditorHarness, RemoveJoinsTheSelectedPartWithThePartBefore)
{
    SetAt({10, 20});
    plan.TimePoints.back() = 30;
    ClickCheckBox(0); // flags: false, true, true
    ClickRow(2);
    controls.BitBtnRemove->click();
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 30}));
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{false, true}));
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(1), (QStringList{"2", "00:10", "00:30", "00:20", "show-02.mp3"}));
    EXPECT_EQ(pies.last(), 2);

    // Nothing selected after the rebuild: nothing removed.
    editor->Remove1->trigger();
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 30}));

    ClickRow(0);
    editor->Remove1->trigger();
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 30}));
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{true}));

    // A single part cannot be removed.
    const int chartCalls = int(pies.size());
    ClickRow(0);
    controls.BitBtnRemove->click();
    EXPECT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(pies.size(), chartCalls);
    EXPECT_TRUE(platform.messages().isEmpty());
}

TEST_F(EditorHarness, RemoveAllStartsOverWithOneDefaultPart)
{
    SetAt({10, 20, 30});
    plan.PartNames[1] = "renamed.mp3";
    controls.BitBtnRemoveAll->click();
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 300}));
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(Row(0), (QStringList{"1", "00:00", "05:00", "05:00", "show-01.mp3"}));
    EXPECT_EQ(pies.last(), 1);
}

TEST_F(EditorHarness, RowHintIsThePartNumberOrItsTooltip)
{
    SetAt({60});
    QTreeWidgetItem *second = List()->topLevelItem(1);
    EXPECT_EQ(editor->ListView1InfoTip(second), "2");
    controls.CheckTip->setChecked(true);
    EXPECT_EQ(editor->ListView1InfoTip(second), "No tip");
    plan.PartTips[2] = "the chorus";
    EXPECT_EQ(editor->ListView1InfoTip(second), "the chorus");

    const QPoint at = List()->visualItemRect(second).center();
    QHelpEvent help(QEvent::ToolTip, at, List()->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(List()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "the chorus");
    QToolTip::hideText();
}

TEST_F(EditorHarness, EditWithoutSelectionOpensNothing)
{
    editor->Edit1Click();
    EXPECT_EQ(EditSelectionForm, nullptr);
}

TEST_F(EditorHarness, EditDialogShowsTheSelectedPart)
{
    SetAt({10, 20});
    plan.TimePoints.back() = 30;
    SplitPointControls::FillPartList(List(), plan);

    ClickRow(1);
    WithDialog([&] { controls.BitBtnEdit->click(); },
               [](TEditSelectionForm *form) {
                   EXPECT_EQ(form->windowTitle(), "Edit Selection");
                   EXPECT_EQ(form->GroupBox1->title(), "Edit Selection 2");
                   EXPECT_EQ(form->EdStartMin->text(), "0");
                   EXPECT_EQ(form->EdStartSec->text(), "10");
                   EXPECT_EQ(form->EdStopSec->text(), "20");
                   EXPECT_TRUE(form->EdStartMin->isEnabled());
                   EXPECT_TRUE(form->EdStopSec->isEnabled());
                   EXPECT_EQ(form->EdRename->text(), "show-02");
                   EXPECT_EQ(form->EdTip->text(), "No tip");
                   EXPECT_TRUE(form->CheckNoSave->isChecked());
                   EXPECT_EQ(form->lbSave->text(), "This selection will be saved.");
               });

    ClickRow(0);
    WithDialog([&] { editor->Edit1->trigger(); },
               [](TEditSelectionForm *form) {
                   EXPECT_FALSE(form->EdStartMin->isEnabled());
                   EXPECT_FALSE(form->EdStartSec->isEnabled());
                   EXPECT_EQ(form->EdStartMin->text() + form->EdStartSec->text(), "00");
                   EXPECT_TRUE(form->EdStopMin->isEnabled());
               });

    // A double click selects the row and opens the dialog for it.
    const QPoint last = List()->visualItemRect(List()->topLevelItem(2)).center();
    WithDialog([&] { QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, last); },
               [](TEditSelectionForm *form) {
                   EXPECT_EQ(form->GroupBox1->title(), "Edit Selection 3");
                   EXPECT_FALSE(form->EdStopMin->isEnabled());
                   EXPECT_FALSE(form->EdStopSec->isEnabled());
                   EXPECT_TRUE(form->EdStartSec->isEnabled());
               });
}

TEST_F(EditorHarness, EditDialogOkMovesSharedPointsAndRenames)
{
    SetAt({10, 20});
    plan.TimePoints.back() = 30;
    SplitPointControls::FillPartList(List(), plan);
    const int chartCalls = int(pies.size());
    ClickRow(1);
    WithDialog([&] { editor->Edit1Click(); },
               [](TEditSelectionForm *form) {
                   form->EdStartSec->setText("5");
                   form->EdStopSec->setText("25");
                   form->EdRename->setText("chorus.wav");
                   form->EdTip->setText("the chorus");
                   form->BitBtnOK->click();
               });
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 5, 25, 30}));
    EXPECT_EQ(Row(0), (QStringList{"1", "00:00", "00:05", "00:05", "show-01.mp3"}));
    EXPECT_EQ(Row(1), (QStringList{"2", "00:05", "00:25", "00:20", "chorus.mp3"}));
    EXPECT_EQ(Row(2), (QStringList{"3", "00:25", "00:30", "00:05", "show-03.mp3"}));
    EXPECT_EQ(plan.PartTips[2], "the chorus");
    EXPECT_EQ(pies.size(), chartCalls);
    EXPECT_TRUE(platform.messages().isEmpty());
}

// The dialog on its own, shown without a modal loop, on the plan
// [0, 10, 20, 30] with row 1 selected.
class EditDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        plan.SourcePath = "/music/show.mp3";
        plan.TimePoints = {0, 10, 20, 30};
        plan.PartCount = 3;
        plan.PartNames = {"", "a.mp3", "b.mp3", "c.mp3"};
        plan.PartTips = {"", "ta", "tb", "tc"};
        plan.PartSaveFlags = {false, true, true, true};
    }

    TEditSelectionForm *Open(int row)
    {
        EditSelectionContext context;
        context.Plan = &plan;
        context.Row = row;
        context.Extension = "mp3";
        context.RowChecked = [this](int r) { return rowChecked.value(r, true); };
        context.SetRowChecked = [this](int r, bool checked) { rowChecked[r] = checked; };
        context.RebuildPartList = [this] { ++rebuilds; };
        dialog = new TEditSelectionForm(nullptr, context);
        ::EditSelectionForm = dialog;
        dialog->show();
        return dialog;
    }

    void TearDown() override { delete dialog.data(); }

    ScriptedPlatform platform;
    SplitPlan plan;
    QMap<int, bool> rowChecked;
    int rebuilds = 0;
    QPointer<TEditSelectionForm> dialog;
};

TEST_F(EditDialog, IsAFixedSizeDialogThatForgetsItselfWhenClosed)
{
    QPointer<TEditSelectionForm> form = Open(1);
    EXPECT_EQ(form->size(), QSize(323, 265));
    EXPECT_TRUE(form->testAttribute(Qt::WA_DeleteOnClose));
    form->BitBtnCancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(::EditSelectionForm, nullptr);
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 20, 30}));
    EXPECT_EQ(rebuilds, 0);
}

struct RefusedEdit {
    const char *startSec;
    const char *stopSec;
    const char *name;
    const char *message;
};

class EditDialogRefuses : public EditDialog, public ::testing::WithParamInterface<RefusedEdit> {};

TEST_P(EditDialogRefuses, ShowsTheMessageAndKeepsTheEntries)
{
    TEditSelectionForm *form = Open(1);
    form->EdStartSec->setText(GetParam().startSec);
    form->EdStopSec->setText(GetParam().stopSec);
    form->EdRename->setText(GetParam().name);
    form->BitBtnOK->click();
    EXPECT_EQ(platform.messages(), QStringList{GetParam().message});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->EdStartSec->text(), GetParam().startSec);
    EXPECT_EQ(form->EdRename->text(), GetParam().name);
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 20, 30}));
    EXPECT_EQ(plan.PartNames[2], "b.mp3");
    EXPECT_EQ(rebuilds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, EditDialogRefuses,
    ::testing::Values(RefusedEdit{"25", "20", "b", "The Start Time should be smaller than Stop Time!"},
                      RefusedEdit{"5", "31", "b", "The Stop Time is not appropriate!"},
                      RefusedEdit{"5", "25", "", "File name can not be blank!"},
                      RefusedEdit{"5", "25", "../../etc/b", "File name can not contain \\ / : * ? \" < > |"},
                      RefusedEdit{"5", "25", "a:b", "File name can not contain \\ / : * ? \" < > |"},
                      RefusedEdit{"x", "25", "b", "'x' is not a valid integer value."},
                      RefusedEdit{"5", "", "b", "'' is not a valid integer value."}));

TEST_F(EditDialog, TheStartMayNotPassThePartBefore)
{
    TEditSelectionForm *form = Open(2);
    form->EdStartSec->setText("9");
    form->BitBtnOK->click();
    EXPECT_EQ(platform.messages(), QStringList{"The Start Time is not appropriate!"});
}

TEST_F(EditDialog, SecondsAboveFiftyNineCarryIntoMinutes)
{
    plan.TimePoints = {0, 10, 20, 300};
    TEditSelectionForm *form = Open(1);
    form->EdStopMin->setText("1");
    form->EdStopSec->setText("90");
    QPointer<TEditSelectionForm> guard = form;
    form->BitBtnOK->click();
    EXPECT_TRUE(platform.messages().isEmpty());
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 150, 300}));
    EXPECT_EQ(rebuilds, 1);
    EXPECT_FALSE(guard && guard->isVisible());
}

TEST_F(EditDialog, UncheckingSaveTakesEffectEvenWhenCancelled)
{
    TEditSelectionForm *form = Open(1);
    form->CheckNoSave->click();
    EXPECT_EQ(form->lbSave->text(), "This selection will be ignored");
    EXPECT_FALSE(rowChecked.value(1, true));
    EXPECT_FALSE(plan.PartSaveFlags[2]);
    form->EdStartSec->setText("5");
    form->BitBtnCancel->click();
    EXPECT_FALSE(plan.PartSaveFlags[2]);
    EXPECT_FALSE(rowChecked.value(1, true));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 20, 30}));

    form->CheckNoSave->setChecked(true);
    EXPECT_EQ(form->lbSave->text(), "This selection will be saved");
}

TEST_F(EditDialog, AnUncheckedRowOpensWithSaveUnchecked)
{
    rowChecked[1] = false;
    TEditSelectionForm *form = Open(1);
    EXPECT_FALSE(form->CheckNoSave->isChecked());
    EXPECT_EQ(form->lbSave->text(), "This selection will be ignored");
}

} // namespace
