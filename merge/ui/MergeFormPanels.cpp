#include "merge/ui/MergeFormPanels.h"
#include "merge/ui/LibraryOptions.h"
#include "merge/ui/JobsBox.h"

#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "base/OutputFormat.h"
#include "merge/ui/SourceListView.h"
#include "merge/ui/TMergeForm.h"
#include "merge/ui/NormaliseBox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace merge_form {

namespace {

QToolButton *MakeToolButton(QToolBar *bar, const char *name, const char *caption, const char *hint)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    bar->addWidget(button);
    return button;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption, const char *hint)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    if (hint)
        button->setToolTip(hint);
    return button;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const char *caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QComboBox *MakeFormatBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(output_format::Items());
    box->setCurrentIndex(0);
    return box;
}

QProgressBar *MakeGauge(QWidget *parent, const char *name)
{
    auto *gauge = new QProgressBar(parent);
    gauge->setObjectName(name);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setTextVisible(true);
    return gauge;
}

QLineEdit *MakePathEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    edit->setPalette(palette);
    return edit;
}

// Names and folders lose their middle (both ends tell files apart), other
// columns their end.
class PathElidingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 1 || index.column() == 5)
            option->textElideMode = Qt::ElideMiddle;
    }
};

// A page's row of Start and Cancel buttons, at the right.
QHBoxLayout *ButtonRow(QPushButton *start, QPushButton *cancel)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start);
    buttons->addWidget(cancel);
    return buttons;
}

} // namespace

void BuildToolBar(TMergeForm &f)
{
    f.ToolBar1 = new QToolBar(&f);
    f.ToolBar1->setObjectName("ToolBar1");
    f.ToolBtnOpen = MakeToolButton(f.ToolBar1, "ToolBtnOpen", "Add Files...", "Add files");
    f.ToolBar1->addSeparator();
    f.ToolBtnRemove = MakeToolButton(f.ToolBar1, "ToolBtnRemove", "Remove", "Remove selected item");
    f.ToolBtnRemoveAll = MakeToolButton(f.ToolBar1, "ToolBtnRemoveAll", "Remove All", "Remove all items");
    f.ToolBar1->addSeparator();
    f.ToolBtnMoveUp = MakeToolButton(f.ToolBar1, "ToolBtnMoveUp", "Move Up", "Move up selected item");
    f.ToolBtnMoveDown = MakeToolButton(f.ToolBar1, "ToolBtnMoveDown", "Move Down", "Move down selected item");
    f.ToolBtnAddFolder = AddFolderButton(f.ToolBar1);
}

void BuildSourceList(TMergeForm &f)
{
    QTreeWidget *list = f.ListView1 = new QTreeWidget(&f);
    list->setObjectName("ListView1");
    list->setColumnCount(8);
    list->setHeaderLabels({"#", "File name", "Format", "Length", "Size (kb)", "Directory", "Status", "Chapter"});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    const int widths[] = {30, 80, 60, 60, 60, 100, 40};
    for (int c = 0; c < 7; ++c)
        list->setColumnWidth(c, widths[c]);
    list->setColumnWidth(kChapterColumn, 100);
    list->setColumnHidden(kChapterColumn, true);
    // The narrow columns keep both ends of a long name or folder in view; the
    // whole text is in the cell's tool tip.
    list->setItemDelegate(new PathElidingDelegate(list));
    // Files dropped from the file manager are added like "Add Files..." adds them.
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(&f);
}

void BuildPopupMenu(TMergeForm &f)
{
    f.PopupMenu1 = new QMenu(&f);
    f.PopupMenu1->setObjectName("PopupMenu1");
    auto addItem = [&f](const char *name, const char *caption, bool enabled) {
        QAction *action = caption ? f.PopupMenu1->addAction(caption) : f.PopupMenu1->addSeparator();
        action->setObjectName(name);
        action->setEnabled(enabled);
        return action;
    };
    f.AddFiles1 = addItem("AddFiles1", "Add Files...", true);
    f.Remove1 = addItem("Remove1", "Remove", false);
    f.RemoveAll1 = addItem("RemoveAll1", "Remove All", false);
    f.MoveUp1 = addItem("MoveUp1", "Move Up", false);
    f.MoveDown1 = addItem("MoveDown1", "Move Down", false);
    f.N1 = addItem("N1", nullptr, false);
    f.Play1 = addItem("Play1", "Play", false);
    f.Pause1 = addItem("Pause1", "Pause", false);
    f.Stop1 = addItem("Stop1", "Stop", false);
    f.N2 = addItem("N2", nullptr, false);
    f.StartConverting1 = addItem("StartConverting1", "Start Converting", false);
}

QWidget *BuildPreviewStrip(TMergeForm &f)
{
    auto *strip = new QWidget(&f);
    strip->setObjectName("PreviewStrip");
    f.NCTPlayButtonB1 = new TNCTPlayButtonB2(strip);
    f.NCTPlayButtonB1->setObjectName("NCTPlayButtonB1");
    f.NCTSliderB1 = new TNCTSliderB2(strip);
    f.NCTSliderB1->setObjectName("NCTSliderB1");
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(f.NCTPlayButtonB1);
    layout->addWidget(f.NCTSliderB1, 1);
    return strip;
}

void BuildPageControl(TMergeForm &f)
{
    f.PageControl1 = new QStackedWidget(&f);
    f.PageControl1->setObjectName("PageControl1");
}

void BuildMergePage(TMergeForm &f)
{
    QWidget *page = f.TabSheet1 = new QWidget(f.PageControl1);
    page->setObjectName("TabSheet1");
    f.Label2 = MakeLabel(page, "Label2", "File name");
    f.EdSaveFileName = new QLineEdit("Untitled", page);
    f.EdSaveFileName->setObjectName("EdSaveFileName");
    f.Label3 = MakeLabel(page, "Label3", "Save path:");
    f.EdSavePath = MakePathEdit(page, "EdSavePath");
    f.SpeedBtnSavePath = MakeButton(page, "SpeedBtnSavePath", "Select", "Select path");
    f.Label4 = MakeLabel(page, "Label4", "Save format:");
    f.CBFormat = MakeFormatBox(page, "CBFormat");
    f.SpeedBtnSet = MakeButton(page, "SpeedBtnSet", "Settings...", "Set audio formats");
    f.CheckID3Tag = new QCheckBox("Enable ID3 Tag", page);
    f.CheckID3Tag->setObjectName("CheckID3Tag");
    f.CheckChapters = new QCheckBox("Chapter marks", page);
    f.CheckChapters->setObjectName("CheckChapters");
    f.CheckChapters->setToolTip("Mark where each file begins (MP3, OGG, OPUS, FLAC); "
                                "double-click a title in the Chapter column to change it");
    f.CBNormalise = MakeNormaliseBox(page);
    auto *normaliseLabel = MakeLabel(page, "LabelNormalise", "Normalise to");
    normaliseLabel->setBuddy(f.CBNormalise);
    f.CheckLossless = new QCheckBox("Copy the audio without re-encoding", page);
    f.CheckLossless->setObjectName("CheckLossless");
    f.Gauge1 = MakeGauge(page, "Gauge1");
    QPalette palette = f.Gauge1->palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128)); // navy
    f.Gauge1->setPalette(palette);
    f.BitBtnMerge = MakeButton(page, "BitBtnMerge", "Merge", "Merge");
    f.BitBtnCancel = MakeButton(page, "BitBtnCancel", "Cancel", "Cancel");

    auto *grid = new QGridLayout(page);
    grid->addWidget(f.Label2, 0, 0);
    grid->addWidget(f.EdSaveFileName, 0, 1, 1, 2);
    grid->addWidget(f.Label3, 1, 0);
    grid->addWidget(f.EdSavePath, 1, 1);
    grid->addWidget(f.SpeedBtnSavePath, 1, 2);
    grid->addWidget(f.Label4, 2, 0);
    grid->addWidget(f.CBFormat, 2, 1);
    grid->addWidget(f.SpeedBtnSet, 2, 2);
    auto *checks = new QHBoxLayout;
    checks->addWidget(f.CheckID3Tag);
    checks->addWidget(f.CheckChapters);
    checks->addWidget(normaliseLabel);
    checks->addWidget(f.CBNormalise);
    checks->addWidget(f.CheckLossless);
    checks->addStretch(1);
    grid->addLayout(checks, 3, 1, 1, 2);
    grid->addWidget(f.Gauge1, 4, 0, 1, 3);
    grid->addLayout(ButtonRow(f.BitBtnMerge, f.BitBtnCancel), 5, 0, 1, 3);
    f.PageControl1->addWidget(page);
    WatchLosslessCheck(f);
}

void BuildConvertPage(TMergeForm &f)
{
    QWidget *page = f.TabSheet2 = new QWidget(f.PageControl1);
    page->setObjectName("TabSheet2");
    f.Label1 = MakeLabel(page, "Label1", "Save path:");
    f.EdSavePath2 = MakePathEdit(page, "EdSavePath2");
    f.SpeedBtnSavePath2 = MakeButton(page, "SpeedBtnSavePath2", "Select", "Select path");
    f.Label5 = MakeLabel(page, "Label5", "Save format:");
    f.cbFormat2 = MakeFormatBox(page, "cbFormat2");
    f.SpeedBtnSet2 = MakeButton(page, "SpeedBtnSet2", "Settings...", "Set audio formats");
    f.CheckId3Tag2 = new QCheckBox("Auto save ID3 tags", page);
    f.CheckId3Tag2->setObjectName("CheckId3Tag2");
    QWidget *jobs = BuildJobsBox(page, f.SpinJobs);
    f.Gauge2 = MakeGauge(page, "Gauge2");
    f.BitBtnConvert = MakeButton(page, "BitBtnConvert", "Convert", "Convert");
    f.BitBtnCancel2 = MakeButton(page, "BitBtnCancel2", "Cancel", "Cancel");

    auto *grid = new QGridLayout(page);
    grid->addWidget(f.Label1, 0, 0);
    grid->addWidget(f.EdSavePath2, 0, 1);
    grid->addWidget(f.SpeedBtnSavePath2, 0, 2);
    grid->addWidget(f.Label5, 1, 0);
    grid->addWidget(f.cbFormat2, 1, 1);
    grid->addWidget(f.SpeedBtnSet2, 1, 2);
    grid->addWidget(f.CheckId3Tag2, 2, 1);
    grid->addWidget(jobs, 2, 2);
    f.Library = new LibraryOptions(page);
    grid->addWidget(f.Library, 3, 0, 1, 3);
    grid->addWidget(f.Gauge2, 4, 0, 1, 3);
    grid->addLayout(ButtonRow(f.BitBtnConvert, f.BitBtnCancel2), 5, 0, 1, 3);
    f.PageControl1->addWidget(page);
}

void BuildStatusBar(TMergeForm &f)
{
    f.StatusBar1 = new QStatusBar(&f);
    f.StatusBar1->setObjectName("StatusBar1");
    f.StatusBar1->setSizeGripEnabled(false);
    f.StatusPanel1 = MakeLabel(f.StatusBar1, "StatusPanel1", "");
    f.StatusPanel1->setMinimumWidth(320);
    f.StatusPanel2 = MakeLabel(f.StatusBar1, "StatusPanel2", "");
    f.StatusPanel2->setMinimumWidth(50);
    f.StatusBar1->addWidget(f.StatusPanel1);
    f.StatusBar1->addWidget(f.StatusPanel2, 1);
}

void LayOutWindow(TMergeForm &f, QWidget *previewStrip)
{
    auto *layout = new QVBoxLayout(&f);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(2);
    layout->addWidget(f.ToolBar1);
    layout->addWidget(f.ListView1, 1);
    layout->addWidget(previewStrip);
    layout->addWidget(f.PageControl1);
    layout->addWidget(f.StatusBar1);
    f.resize(474, 420);
}

} // namespace merge_form
