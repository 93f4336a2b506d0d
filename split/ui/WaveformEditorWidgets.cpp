#include "split/ui/WaveformEditorWidgets.h"

#include "split/ui/TWaveformEditorView.h"
#include "split/ui/TWaveformOverview.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace waveform_editor {

namespace {

QPushButton *Button(const char *name, const QString &text, const QString &tip)
{
    auto *b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    // The view keeps the keyboard, so its keys work after a click on a button.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QDoubleSpinBox *Seconds(const char *name)
{
    auto *s = new QDoubleSpinBox;
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0.1, 60);
    s->setDecimals(1);
    s->setSingleStep(0.5);
    s->setValue(2);
    s->setSuffix(" s");
    return s;
}

QWidget *BuildSideControls(WaveformEditorWidgets &w)
{
    w.EdTime = new QLineEdit;
    w.EdTime->setObjectName("EdTime");
    w.EdTime->setPlaceholderText("h:mm:ss.mmm");
    w.EdTime->setToolTip("Type a time and press Enter to move the selected split line there");
    w.BtnMoveTo = Button("BtnMoveTo", "Move", "Move the selected split line to the typed time");
    auto *time = new QHBoxLayout;
    time->addWidget(w.EdTime, 1);
    time->addWidget(w.BtnMoveTo);

    w.CheckSnap = new QCheckBox("Snap to the quietest point within");
    w.CheckSnap->setObjectName("CheckSnap");
    w.SpinSnapMs = new QSpinBox;
    w.SpinSnapMs->setObjectName("SpinSnapMs");
    w.SpinSnapMs->setRange(1, 5000);
    w.SpinSnapMs->setValue(50);
    w.SpinSnapMs->setPrefix("\u00b1");
    w.SpinSnapMs->setSuffix(" ms");
    auto *snap = new QHBoxLayout;
    snap->addWidget(w.CheckSnap);
    snap->addWidget(w.SpinSnapMs);
    snap->addStretch(1);

    w.SpinBefore = Seconds("SpinBefore");
    w.SpinAfter = Seconds("SpinAfter");
    auto *cut = new QHBoxLayout;
    cut->addWidget(w.SpinBefore);
    cut->addWidget(new QLabel("before,"));
    cut->addWidget(w.SpinAfter);
    cut->addWidget(new QLabel("after"));
    cut->addStretch(1);

    auto *group = new QGroupBox("Selected Split Line");
    auto *form = new QFormLayout(group);
    form->addRow("Time", time);
    form->addRow(snap);
    form->addRow("Play across the cut", cut);

    w.BtnImportLabels = Button("BtnImportLabels", "Import Labels...", "Split at the labels of an Audacity label file");
    w.BtnExportLabels = Button("BtnExportLabels", "Export Labels...", "Save the parts as an Audacity label file");
    w.BtnExportCue = Button("BtnExportCue", "Export CUE...", "Save the parts as a CUE sheet");
    auto *files = new QHBoxLayout;
    files->addWidget(w.BtnImportLabels);
    files->addWidget(w.BtnExportLabels);
    files->addWidget(w.BtnExportCue);
    files->addStretch(1);

    auto *side = new QWidget;
    auto *column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(group);
    column->addLayout(files);
    column->addStretch(1);
    return side;
}

} // namespace

void BuildWidgets(QDialog &dialog, WaveformEditorWidgets &w)
{
    dialog.setObjectName("WaveformEditorForm");
    dialog.setWindowTitle("Waveform Editor");
    dialog.setSizeGripEnabled(true);
    dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    dialog.resize(1000, 640);

    w.BtnAdd = Button("BtnAdd", "Add Split Point", "Add a split point at the cursor (S, Insert)");
    w.BtnRemove = Button("BtnRemove", "Remove Split Point", "Remove the selected split line (Delete)");
    w.BtnZoomIn = Button("BtnZoomIn", "Zoom In", "Zoom in at the cursor (+, Ctrl+wheel)");
    w.BtnZoomOut = Button("BtnZoomOut", "Zoom Out", "Zoom out at the cursor (-, Ctrl+wheel)");
    w.BtnFit = Button("BtnFit", "Fit", "Show the whole file (Ctrl+0)");
    w.BtnZoomPart = Button("BtnZoomPart", "Zoom to Part", "Show the selected part (Ctrl+E)");
    w.BtnPlay = Button("BtnPlay", "Play", "Play from the cursor, or pause (Space)");
    w.BtnPlayCut = Button("BtnPlayCut", "Play Across Cut", "Play around the selected split line (C)");
    w.BtnPlayPart = Button("BtnPlayPart", "Play Part", "Play the selected part (P)");
    w.BtnUndo = Button("BtnUndo", "Undo", "Undo the last change (Ctrl+Z)");
    w.BtnRedo = Button("BtnRedo", "Redo", "Redo the change undone (Ctrl+Shift+Z)");
    auto *tools = new QHBoxLayout;
    for (QPushButton *b : {w.BtnAdd, w.BtnRemove}) tools->addWidget(b);
    tools->addSpacing(12);
    for (QPushButton *b : {w.BtnZoomIn, w.BtnZoomOut, w.BtnFit, w.BtnZoomPart}) tools->addWidget(b);
    tools->addSpacing(12);
    for (QPushButton *b : {w.BtnPlay, w.BtnPlayCut, w.BtnPlayPart}) tools->addWidget(b);
    tools->addStretch(1);
    for (QPushButton *b : {w.BtnUndo, w.BtnRedo}) tools->addWidget(b);

    w.PartList = new QTreeWidget;
    w.PartList->setObjectName("PartList");
    w.PartList->setRootIsDecorated(false);
    w.PartList->setColumnCount(4);
    w.PartList->setHeaderLabels({"Part", "Start", "Length", "Name"});
    w.PartList->setSelectionMode(QAbstractItemView::SingleSelection);
    w.PartList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    w.PartList->header()->setStretchLastSection(true);

    auto *lower = new QWidget;
    auto *lowerRow = new QHBoxLayout(lower);
    lowerRow->setContentsMargins(0, 0, 0, 0);
    lowerRow->addWidget(w.PartList, 3);
    lowerRow->addWidget(BuildSideControls(w), 2);

    auto *upper = new QWidget;
    auto *upperColumn = new QVBoxLayout(upper);
    upperColumn->setContentsMargins(0, 0, 0, 0);
    upperColumn->addWidget(w.View, 1);
    upperColumn->addWidget(w.Overview);

    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(upper);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    w.StatusText = new QLabel;
    w.StatusText->setObjectName("StatusText");
    w.Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    w.Buttons->setObjectName("Buttons");
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(w.StatusText, 1);
    bottom->addWidget(w.Buttons);

    auto *page = new QVBoxLayout(&dialog);
    page->addLayout(tools);
    page->addWidget(split, 1);
    page->addLayout(bottom);
}

} // namespace waveform_editor
