#include "split/ui/SplitPointControls.h"

#include "config/ProgramSettings.h"
#include "split/SplitPointEditor.h"
#include "split/ui/TEditSelectionForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QTreeWidget>

namespace {

// Part, start, end, length, file name; "File name" takes what is left of the row.
constexpr int ClassicColumnWidths[5] = {40, 60, 60, 50, 130};

} // namespace

SplitPointControls::SplitPointControls(QObject *parent, SplitPlan &plan, const SplitPointEditorControls &controls,
                                     SplitPointEditorHooks hooks)
    : QObject(parent), plan_(plan), c_(controls), hooks_(std::move(hooks))
{
    setObjectName("SplitPointEditor");
    Q_ASSERT(c_.SpeedBtnSet && c_.CheckTip && c_.ListView1 && c_.BitBtnEdit && c_.BitBtnRemove
             && c_.BitBtnRemoveAll);

    c_.SpeedBtnSet->setToolTip("Set as split point");
    c_.CheckTip->setText("Enable Tooltips");
    c_.CheckTip->setChecked(false);
    c_.BitBtnEdit->setText("Edit Selection");
    c_.BitBtnEdit->setToolTip("Edit Selecttion");
    c_.BitBtnRemove->setText("Remove");
    c_.BitBtnRemove->setToolTip("Remove selected item");
    c_.BitBtnRemoveAll->setText("Remove All");
    c_.BitBtnRemoveAll->setToolTip("Remove all items");

    QTreeWidget *list = c_.ListView1;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setRootIsDecorated(false);
    list->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = new QMenu(list);
    PopupMenu1->setObjectName("PopupMenu1");
    Edit1 = PopupMenu1->addAction("Edit Selection");
    Edit1->setObjectName("Edit1");
    Remove1 = PopupMenu1->addAction("Remove Selection");
    Remove1->setObjectName("Remove1");

    connect(c_.SpeedBtnSet, &QAbstractButton::clicked, this, &SplitPointControls::SpeedBtnSetClick);
    connect(c_.BitBtnEdit, &QAbstractButton::clicked, this, &SplitPointControls::Edit1Click);
    connect(Edit1, &QAction::triggered, this, &SplitPointControls::Edit1Click);
    connect(c_.BitBtnRemove, &QAbstractButton::clicked, this, &SplitPointControls::BitBtnRemoveClick);
    connect(Remove1, &QAction::triggered, this, &SplitPointControls::BitBtnRemoveClick);
    connect(c_.BitBtnRemoveAll, &QAbstractButton::clicked, this, &SplitPointControls::BitBtnRemoveAllClick);
    connect(list, &QTreeWidget::itemChanged, this, &SplitPointControls::CopyRowChecked);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(c_.ListView1->viewport()->mapToGlobal(pos)); });
    // Clicks and double clicks anywhere in the list (also on empty space) and
    // row hints arrive at the viewport.
    viewport_ = list->viewport();
    viewport_->installEventFilter(this);
    list->installEventFilter(this);

    SetEnabled(false);
}

void SplitPointControls::SetEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(c_.SpeedBtnSet), static_cast<QWidget *>(c_.BitBtnEdit),
                       static_cast<QWidget *>(c_.BitBtnRemove), static_cast<QWidget *>(c_.BitBtnRemoveAll),
                       static_cast<QWidget *>(c_.ListView1), static_cast<QWidget *>(c_.CheckTip)})
        w->setEnabled(enabled);
}

QString SplitPointControls::Extension() const
{
    return (hooks_.OutputExtension ? hooks_.OutputExtension() : ProgramSettings.saveformat).toLower();
}

void SplitPointControls::RebuildPartList()
{
    FillPartList(c_.ListView1, plan_);
    emit PartListRebuilt();
}

void SplitPointControls::FitPartColumns()
{
    QTreeWidget *list = c_.ListView1;
    const QFontMetrics header(list->header()->font());
    for (int i = 0; i < list->columnCount() && i < 5; ++i) {
        const int caption = header.horizontalAdvance(list->headerItem()->text(i)) + 16;
        list->setColumnWidth(i, std::max(ClassicColumnWidths[i], caption));
    }
}

void SplitPointControls::RefreshPieChart()
{
    if (hooks_.RefreshPieChart)
        hooks_.RefreshPieChart(plan_.PartCount);
}

int SplitPointControls::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = c_.ListView1->selectedItems();
    return selected.isEmpty() ? -1 : c_.ListView1->indexOfTopLevelItem(selected.first());
}

void SplitPointControls::CopyRowChecked(QTreeWidgetItem *item, int column)
{
    if (column != 0)
        return;
    const int k = c_.ListView1->indexOfTopLevelItem(item) + 1;
    if (k >= 1 && k < plan_.PartSaveFlags.size())
        plan_.PartSaveFlags[k] = item->checkState(0) == Qt::Checked;
}

void SplitPointControls::SpeedBtnSetClick()
{
    const int rate = hooks_.SampleRate ? hooks_.SampleRate() : 0;
    if (hooks_.PositionFrame && rate > 0) {
        SplitPointEditor::SetSplitPointAt(plan_, hooks_.PositionFrame(), rate, Extension());
    } else {
        const int32_t t = hooks_.ElapsedSeconds ? hooks_.ElapsedSeconds() : 0;
        SplitPointEditor::SetSplitPoint(plan_, t, Extension());
    }
    RebuildPartList();
    RefreshPieChart();
}

void SplitPointControls::ListView1Click()
{
    QTreeWidget *list = c_.ListView1;
    for (int i = 0; i < list->topLevelItemCount() && i + 1 < plan_.PartSaveFlags.size(); ++i)
        plan_.PartSaveFlags[i + 1] = list->topLevelItem(i)->checkState(0) == Qt::Checked;

    const int sel = SelectedRow();
    const bool any = sel >= 0;
    Edit1->setEnabled(any);
    c_.BitBtnEdit->setEnabled(any);
    Remove1->setEnabled(any);
    c_.BitBtnRemove->setEnabled(any);
    if (!any || sel + 1 >= int(plan_.TimePoints.size()))
        return;

    const int64_t durationMs = hooks_.DurationMs ? hooks_.DurationMs() : int64_t(plan_.DurationSeconds) * 1000;
    if (hooks_.SeekPreview)
        hooks_.SeekPreview(SplitPointEditor::SeekPositionForRow(plan_, sel, durationMs));
    if (hooks_.SetDisplayMilliseconds)
        hooks_.SetDisplayMilliseconds(int64_t(plan_.TimePoints[sel]) * 1000);
    if (hooks_.SetStatusText) {
        const bool playing = hooks_.PreviewActive && hooks_.PreviewActive();
        const QString name = sel + 1 < plan_.PartNames.size() ? plan_.PartNames[sel + 1] : QString();
        hooks_.SetStatusText((playing ? "Playing " : "Select ") + name);
    }
}

QString SplitPointControls::ListView1InfoTip(const QTreeWidgetItem *item) const
{
    if (!item)
        return {};
    const QString caption = item->text(0);
    if (!c_.CheckTip->isChecked())
        return caption;
    return SplitPointEditor::RowHint(plan_, caption.toInt() - 1, true);
}

void SplitPointControls::Edit1Click()
{
    const int sel = SelectedRow();
    if (sel < 0)
        return;
    if (!EditSelectionForm) {
        EditSelectionContext context;
        context.Plan = &plan_;
        context.Row = sel;
        context.Extension = Extension();
        QTreeWidget *list = c_.ListView1;
        context.RowChecked = [list](int row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            return item && item->checkState(0) == Qt::Checked;
        };
        context.SetRowChecked = [list](int row, bool checked) {
            if (QTreeWidgetItem *item = list->topLevelItem(row))
                item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        };
        context.RebuildPartList = [this] { RebuildPartList(); };
        EditSelectionForm = new TEditSelectionForm(list->window(), std::move(context));
    }
    EditSelectionForm->hide();
    EditSelectionForm->exec(); // deletes itself when closed
}

void SplitPointControls::BitBtnRemoveClick()
{
    if (c_.ListView1->topLevelItemCount() == 1)
        return;
    SplitPointEditor::RemoveSplitPoint(plan_, SelectedRow());
    RebuildPartList();
    RefreshPieChart();
}

void SplitPointControls::BitBtnRemoveAllClick()
{
    if (hooks_.ResetManualPlan) {
        hooks_.ResetManualPlan();
    } else {
        plan_.ResetManualPlan(Extension());
        RebuildPartList();
    }
    RefreshPieChart();
}

bool SplitPointControls::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == c_.ListView1) {
        // The space bar toggles the current row's check box whichever cell
        // has the focus, as in a native check-box list; the change reaches
        // the plan through itemChanged.
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            QTreeWidgetItem *item = c_.ListView1->currentItem();
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && item
                && (item->flags() & Qt::ItemIsUserCheckable)) {
                item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
    // Compared by the stored pointer: the filter still sees the viewport's
    // events while the list is being destroyed, when it may not be asked.
    if (watched != viewport_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // As in a native report list, a press on empty space selects nothing.
        if (!c_.ListView1->itemAt(static_cast<QMouseEvent *>(event)->position().toPoint()))
            c_.ListView1->clearSelection();
        break;
    case QEvent::MouseButtonRelease:
        // The press has already selected the row; a check box toggled by this
        // release reaches the plan through itemChanged.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            ListView1Click();
        break;
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        if (QTreeWidgetItem *item = c_.ListView1->itemAt(mouse->position().toPoint()))
            c_.ListView1->setCurrentItem(item);
        Edit1Click();
        return true;
    }
    case QEvent::ToolTip: {
        const auto *help = static_cast<QHelpEvent *>(event);
        QTreeWidgetItem *item = c_.ListView1->itemAt(help->pos());
        if (!item) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const QRect rect = c_.ListView1->visualItemRect(item);
        QToolTip::showText(c_.ListView1->viewport()->mapToGlobal(rect.topLeft()), ListView1InfoTip(item),
                           c_.ListView1->viewport(), rect);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void SplitPointControls::FillPartList(QTreeWidget *list, const SplitPlan &plan)
{
    const QSignalBlocker quiet(list); // rows being built are not user changes
    list->clear();
    if (list->columnCount() != 5) {
        list->setColumnCount(5);
        list->setHeaderLabels({"Part", "Start time", "End time", "Length", "File name"});
        for (int i = 0; i < 5; ++i)
            list->setColumnWidth(i, ClassicColumnWidths[i]);
    }
    for (const SplitPartRow &row : plan.PartRows()) {
        auto *item = new QTreeWidgetItem(
            {QString::number(row.number), row.startText, row.endText, row.lengthText, row.fileName});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
        list->addTopLevelItem(item);
    }
}
