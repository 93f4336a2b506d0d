#pragma once
#include "split/SplitPlan.h"

#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QAction;
class QCheckBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The controls of the split window's "Split Point Settings" group that the
// editor drives. The window creates and lays them out; the editor sets their
// captions and hints and connects them.
struct SplitPointEditorControls {
    QAbstractButton *SpeedBtnSet = nullptr;
    QCheckBox *CheckTip = nullptr;
    QTreeWidget *ListView1 = nullptr; // parts list, check box in column 0
    QAbstractButton *BitBtnEdit = nullptr;
    QAbstractButton *BitBtnRemove = nullptr;
    QAbstractButton *BitBtnRemoveAll = nullptr;
};

// What the editor takes from its window: the preview panel, the status bar,
// the source's information and the chart; the parts list is the editor's own.
// Hooks left empty fall back to the defaults named below.
struct SplitPointEditorHooks {
    // Whole seconds shown by the preview's time display (default 0).
    std::function<int32_t()> ElapsedSeconds;
    // The frame of the source being heard, and the source's frames per
    // second; "Set as split point" places the point there when both are
    // given, else at ElapsedSeconds.
    std::function<int64_t()> PositionFrame;
    std::function<int()> SampleRate;
    // Moves the preview slider to v (0..1000) as a user's drag would.
    std::function<void(int v)> SeekPreview;
    // Sets the time display, in milliseconds.
    std::function<void(int64_t ms)> SetDisplayMilliseconds;
    std::function<bool()> PreviewActive;
    // Status bar panel 1.
    std::function<void(const QString &text)> SetStatusText;
    // The source's duration in milliseconds (default DurationSeconds * 1000).
    std::function<int64_t()> DurationMs;
    // Output extension, lower case, no dot (default ProgramSettings.saveformat).
    std::function<QString()> OutputExtension;
    // Redraws the pie chart with that many slices (default: nothing).
    std::function<void(int32_t count)> RefreshPieChart;
    // One part over the whole file, list rebuilt (default
    // SplitPlan::ResetManualPlan then the editor's RebuildPartList).
    std::function<void()> ResetManualPlan;
};

// The split-point editor of the split window's step 3: sets split points from
// the preview position, selects, edits and removes parts. It keeps no state of
// its own beyond the plan and the list rows, and keeps the rows' check boxes
// and the plan's save flags equal: any change of a check box, by mouse or
// keyboard, is copied into the plan at once.
class SplitPointControls : public QObject {
    Q_OBJECT
public:
    SplitPointControls(QObject *parent, SplitPlan &plan, const SplitPointEditorControls &controls,
                      SplitPointEditorHooks hooks);

    // Enables or disables the group's controls together (the window adds the
    // preview slider and play button). The editor starts disabled.
    void SetEnabled(bool enabled);

    void SpeedBtnSetClick();
    void ListView1Click();
    void Edit1Click();
    void BitBtnRemoveClick();
    void BitBtnRemoveAllClick();
    // The hint of a row: its part number, or the part's tip when "Enable
    // Tooltips" is checked.
    QString ListView1InfoTip(const QTreeWidgetItem *item) const;

    // The selected row, -1 when none.
    int SelectedRow() const;

    // Refills ListView1 from the plan's rows; leaves the chart alone. The one
    // rebuild of the list, also for the window after it changes the plan.
    void RebuildPartList();
    // Gives ListView1's columns the classic widths, widened where the list's
    // header font would cut a caption short.
    void FitPartColumns();

    QMenu *PopupMenu1 = nullptr;
    QAction *Edit1 = nullptr;
    QAction *Remove1 = nullptr;

    // Fills a parts list from the plan's rows: five columns, check box in
    // column 0; a list without its five columns gets the classic ones.
    static void FillPartList(QTreeWidget *list, const SplitPlan &plan);

signals:
    // After every RebuildPartList: the plan's points may have changed.
    void PartListRebuilt();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString Extension() const;
    void RefreshPieChart();
    void CopyRowChecked(QTreeWidgetItem *item, int column);

    SplitPlan &plan_;
    SplitPointEditorControls c_;
    SplitPointEditorHooks hooks_;
    QWidget *viewport_ = nullptr; // ListView1's viewport, which the editor watches
};
