#include "merge/ui/TMergeForm.h"

#include "base/PlatformServices.h"
#include "base/InputFormats.h"
#include "base/OutputFormat.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TPreviewPanel.h"
#include "config/ProgramSettings.h"
#include "config/ui/TSettingForm.h"
#include "merge/OutputNames.h"
#include "merge/WindowMode.h"
#include "merge/ui/TId3TagForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

TMergeForm *MergeForm = nullptr;

namespace {

constexpr int kStatusColumn = 6;

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

} // namespace

TMergeForm::TMergeForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                         | Qt::WindowCloseButtonHint),
      mergeEngine_(FileR, FileW, AudioInformation1, MP3LameEncoder, *this),
      convertEngine_(FileR, FileW, AudioInformation1, MP3LameEncoder, *this)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("MergeForm");
    setWindowTitle("Merge Audio Files");
    setSizeGripEnabled(false);

    AudioPlayer1 = new TAudioPlayer2(this);
    AudioPlayer1->setObjectName("AudioPlayer1");

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBtnOpen = MakeToolButton(ToolBar1, "ToolBtnOpen", "Add Files...", "Add files");
    ToolBar1->addSeparator();
    ToolBtnRemove = MakeToolButton(ToolBar1, "ToolBtnRemove", "Remove", "Remove selected item");
    ToolBtnRemoveAll = MakeToolButton(ToolBar1, "ToolBtnRemoveAll", "Remove All", "Remove all items");
    ToolBar1->addSeparator();
    ToolBtnMoveUp = MakeToolButton(ToolBar1, "ToolBtnMoveUp", "Move Up", "Move up selected item");
    ToolBtnMoveDown = MakeToolButton(ToolBar1, "ToolBtnMoveDown", "Move Down", "Move down selected item");

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName("ListView1");
    ListView1->setColumnCount(7);
    ListView1->setHeaderLabels({"#", "File name", "Format", "Length", "Size (kb)", "Directory", "Status"});
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    // The narrow columns keep both ends of a long name or folder in view; the
    // whole text is in the cell's tool tip.
    ListView1->setItemDelegate(new PathElidingDelegate(ListView1));
    // Files dropped from the file manager are added like "Add Files..." adds them.
    ListView1->viewport()->setAcceptDrops(true);
    ListView1->viewport()->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto addItem = [this](const char *name, const char *caption, bool enabled) {
        QAction *action = caption ? PopupMenu1->addAction(caption) : PopupMenu1->addSeparator();
        action->setObjectName(name);
        action->setEnabled(enabled);
        return action;
    };
    AddFiles1 = addItem("AddFiles1", "Add Files...", true);
    Remove1 = addItem("Remove1", "Remove", false);
    RemoveAll1 = addItem("RemoveAll1", "Remove All", false);
    MoveUp1 = addItem("MoveUp1", "Move Up", false);
    MoveDown1 = addItem("MoveDown1", "Move Down", false);
    N1 = addItem("N1", nullptr, false);
    Play1 = addItem("Play1", "Play", false);
    Pause1 = addItem("Pause1", "Pause", false);
    Stop1 = addItem("Stop1", "Stop", false);
    N2 = addItem("N2", nullptr, false);
    StartConverting1 = addItem("StartConverting1", "Start Converting", false);

    // Preview strip: transport buttons and position slider, no time display.
    auto *previewStrip = new QWidget(this);
    previewStrip->setObjectName("PreviewStrip");
    NCTPlayButtonB1 = new TNCTPlayButtonB2(previewStrip);
    NCTPlayButtonB1->setObjectName("NCTPlayButtonB1");
    NCTSliderB1 = new TNCTSliderB2(previewStrip);
    NCTSliderB1->setObjectName("NCTSliderB1");
    auto *previewLayout = new QHBoxLayout(previewStrip);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(NCTPlayButtonB1);
    previewLayout->addWidget(NCTSliderB1, 1);

    PageControl1 = new QStackedWidget(this);
    PageControl1->setObjectName("PageControl1");

    // Merge page.
    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName("TabSheet1");
    Label2 = MakeLabel(TabSheet1, "Label2", "File name");
    EdSaveFileName = new QLineEdit("Untitled", TabSheet1);
    EdSaveFileName->setObjectName("EdSaveFileName");
    Label3 = MakeLabel(TabSheet1, "Label3", "Save path:");
    EdSavePath = MakePathEdit(TabSheet1, "EdSavePath");
    SpeedBtnSavePath = MakeButton(TabSheet1, "SpeedBtnSavePath", "Select", "Select path");
    Label4 = MakeLabel(TabSheet1, "Label4", "Save format:");
    CBFormat = new QComboBox(TabSheet1);
    CBFormat->setObjectName("CBFormat");
    SpeedBtnSet = MakeButton(TabSheet1, "SpeedBtnSet", "Settings...", "Set audio formats");
    CheckID3Tag = new QCheckBox("Enable ID3 Tag", TabSheet1);
    CheckID3Tag->setObjectName("CheckID3Tag");
    Gauge1 = MakeGauge(TabSheet1, "Gauge1");
    {
        QPalette palette = Gauge1->palette();
        palette.setColor(QPalette::Highlight, QColor(0, 0, 128)); // navy
        Gauge1->setPalette(palette);
    }
    BitBtnMerge = MakeButton(TabSheet1, "BitBtnMerge", "Merge", "Merge");
    BitBtnCancel = MakeButton(TabSheet1, "BitBtnCancel", "Cancel", "Cancel");
    {
        auto *grid = new QGridLayout(TabSheet1);
        grid->addWidget(Label2, 0, 0);
        grid->addWidget(EdSaveFileName, 0, 1, 1, 2);
        grid->addWidget(Label3, 1, 0);
        grid->addWidget(EdSavePath, 1, 1);
        grid->addWidget(SpeedBtnSavePath, 1, 2);
        grid->addWidget(Label4, 2, 0);
        grid->addWidget(CBFormat, 2, 1);
        grid->addWidget(SpeedBtnSet, 2, 2);
        grid->addWidget(CheckID3Tag, 3, 1);
        grid->addWidget(Gauge1, 4, 0, 1, 3);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(BitBtnMerge);
        buttons->addWidget(BitBtnCancel);
        grid->addLayout(buttons, 5, 0, 1, 3);
    }

    // Convert page.
    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName("TabSheet2");
    Label1 = MakeLabel(TabSheet2, "Label1", "Save path:");
    EdSavePath2 = MakePathEdit(TabSheet2, "EdSavePath2");
    SpeedBtnSavePath2 = MakeButton(TabSheet2, "SpeedBtnSavePath2", "Select", "Select path");
    Label5 = MakeLabel(TabSheet2, "Label5", "Save format:");
    cbFormat2 = MakeFormatBox(TabSheet2, "cbFormat2");
    SpeedBtnSet2 = MakeButton(TabSheet2, "SpeedBtnSet2", "Settings...", "Set audio formats");
    CheckId3Tag2 = new QCheckBox("Auto save ID3 tags", TabSheet2);
    CheckId3Tag2->setObjectName("CheckId3Tag2");
    Gauge2 = MakeGauge(TabSheet2, "Gauge2");
    BitBtnConvert = MakeButton(TabSheet2, "BitBtnConvert", "Convert", "Convert");
    BitBtnCancel2 = MakeButton(TabSheet2, "BitBtnCancel2", "Cancel", "Cancel");
    {
        auto *grid = new QGridLayout(TabSheet2);
        grid->addWidget(Label1, 0, 0);
        grid->addWidget(EdSavePath2, 0, 1);
        grid->addWidget(SpeedBtnSavePath2, 0, 2);
        grid->addWidget(Label5, 1, 0);
        grid->addWidget(cbFormat2, 1, 1);
        grid->addWidget(SpeedBtnSet2, 1, 2);
        grid->addWidget(CheckId3Tag2, 2, 1);
        grid->addWidget(Gauge2, 3, 0, 1, 3);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(BitBtnConvert);
        buttons->addWidget(BitBtnCancel2);
        grid->addLayout(buttons, 4, 0, 1, 3);
    }
    PageControl1->addWidget(TabSheet1);
    PageControl1->addWidget(TabSheet2);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel1 = MakeLabel(StatusBar1, "StatusPanel1", "");
    StatusPanel1->setMinimumWidth(320);
    StatusPanel2 = MakeLabel(StatusBar1, "StatusPanel2", "");
    StatusPanel2->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel1);
    StatusBar1->addWidget(StatusPanel2, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(2);
    layout->addWidget(ToolBar1);
    layout->addWidget(ListView1, 1);
    layout->addWidget(previewStrip);
    layout->addWidget(PageControl1);
    layout->addWidget(StatusBar1);
    resize(474, 420);

    Preview = std::make_unique<TPreviewPanel>(TPreviewVariant::MergeWindow, FileR, AudioInformation1, *AudioPlayer1,
                                              NCTPlayButtonB1, NCTSliderB1, nullptr,
                                              [this](const QString &text) { StatusPanel2->setText(text); });

    connect(ToolBtnOpen, &QToolButton::clicked, this, &TMergeForm::ToolBtnOpenClick);
    connect(ToolBtnRemove, &QToolButton::clicked, this, &TMergeForm::ToolBtnRemoveClick);
    connect(ToolBtnRemoveAll, &QToolButton::clicked, this, &TMergeForm::ToolBtnRemoveAllClick);
    connect(ToolBtnMoveUp, &QToolButton::clicked, this, &TMergeForm::ToolBtnMoveUpClick);
    connect(ToolBtnMoveDown, &QToolButton::clicked, this, &TMergeForm::ToolBtnMoveDownClick);
    connect(AddFiles1, &QAction::triggered, this, &TMergeForm::ToolBtnOpenClick);
    connect(Remove1, &QAction::triggered, this, [this] { if (!Running()) ToolBtnRemoveClick(); });
    connect(RemoveAll1, &QAction::triggered, this, [this] { if (!Running()) ToolBtnRemoveAllClick(); });
    connect(MoveUp1, &QAction::triggered, this, [this] { if (!Running()) ToolBtnMoveUpClick(); });
    connect(MoveDown1, &QAction::triggered, this, [this] { if (!Running()) ToolBtnMoveDownClick(); });
    connect(Play1, &QAction::triggered, this, [this] { if (!Running()) Preview->PlayPreview(); });
    connect(Pause1, &QAction::triggered, this, [this] { if (!Running() && PreviewActive()) Preview->PausePreview(); });
    connect(Stop1, &QAction::triggered, this, [this] { if (!Running() && PreviewActive()) Preview->StopPreview(); });
    connect(StartConverting1, &QAction::triggered, this, &TMergeForm::StartConverting1Click);
    connect(ListView1, &QTreeWidget::itemClicked, this, &TMergeForm::ListView1Click);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &TMergeForm::ListView1DblClick);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu1Popup();
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });
    connect(SpeedBtnSavePath, &QPushButton::clicked, this, &TMergeForm::SpeedBtnSavePathClick);
    connect(SpeedBtnSavePath2, &QPushButton::clicked, this, &TMergeForm::SpeedBtnSavePathClick);
    connect(SpeedBtnSet, &QPushButton::clicked, this, &TMergeForm::SpeedBtnSetClick);
    connect(SpeedBtnSet2, &QPushButton::clicked, this, &TMergeForm::SpeedBtnSetClick);
    connect(BitBtnMerge, &QPushButton::clicked, this, &TMergeForm::BitBtnMergeClick);
    connect(BitBtnConvert, &QPushButton::clicked, this, &TMergeForm::BitBtnConvertClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TMergeForm::BitBtnCancelClick);
    connect(BitBtnCancel2, &QPushButton::clicked, this, &TMergeForm::BitBtnCancelClick);
    // A state set from code runs the handler as a click does (the tag dialog unticks the box).
    connect(CheckID3Tag, &QCheckBox::toggled, this, &TMergeForm::CheckID3TagClick);

    FormCreate();
    connect(CBFormat, &QComboBox::currentIndexChanged, this, &TMergeForm::CBFormatChange);
}

TMergeForm::~TMergeForm()
{
    // The panel borrows the components and controls; it goes first.
    Preview.reset();
    if (MergeForm == this)
        MergeForm = nullptr;
}

void TMergeForm::FormCreate()
{
    const int widths[] = {30, 80, 60, 60, 60, 100, 40};
    for (int c = 0; c < 7; ++c)
        ListView1->setColumnWidth(c, widths[c]);
    CBFormat->clear();
    CBFormat->addItems(output_format::Items());
    CBFormat->setCurrentIndex(0);
    FileR.SetFormatIndex(-1);
    FileW.SetFormatIndex(-1);
    const QString saved = ProgramSettings.saveformat.toLower();
    if (const int i = output_format::IndexOf(saved); i >= 0) {
        CBFormat->setCurrentIndex(i);
        cbFormat2->setCurrentIndex(i);
    }
    EdSavePath->setText(ProgramSettings.savepath);
    EdSavePath2->setText(ProgramSettings.savepath);
    PrepareOpenDialog();
}

void TMergeForm::PrepareOpenDialog()
{
    OpenDialogTitle = "Open files:";
    OpenDialogFilter = input_formats::DialogFilter(false);
}

void TMergeForm::showEvent(QShowEvent *event)
{
    ApplyWindowMode();
    QDialog::showEvent(event);
}

void TMergeForm::ApplyWindowMode()
{
    if (WindowMode == TWindowMode::Merge) {
        setWindowTitle("Merge audio files");
        PageControl1->setCurrentWidget(TabSheet1);
        TabSheet1->setVisible(true);
        TabSheet2->setVisible(false);
    } else {
        setWindowTitle("Convert audio files");
        PageControl1->setCurrentWidget(TabSheet2);
        TabSheet1->setVisible(false);
        TabSheet2->setVisible(true);
    }
}

// ---- The list -------------------------------------------------------------

int TMergeForm::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    return selected.isEmpty() ? 0 : ListView1->indexOfTopLevelItem(selected.first()) + 1;
}

void TMergeForm::SelectRow(int row)
{
    QTreeWidgetItem *item = ListView1->topLevelItem(row - 1);
    if (!item)
        return;
    ListView1->setCurrentItem(item);
    item->setSelected(true);
}

void TMergeForm::AddSourceFiles(const QStringList &paths)
{
    if (Running() || paths.isEmpty())
        return;
    SourceFileList.Add(paths);
    RefreshSourceList();
    BitBtnMerge->setEnabled(true);
    StatusPanel2->setText("Ready");
}

void TMergeForm::ToolBtnOpenClick()
{
    if (Running())
        return;
    AddSourceFiles(Platform().OpenFiles(OpenDialogTitle, OpenDialogFilter, true));
}

void TMergeForm::ToolBtnRemoveClick()
{
    if (Running() || !SourceFileList.Remove(SelectedRow()))
        return;
    RefreshSourceList();
}

void TMergeForm::ToolBtnRemoveAllClick()
{
    if (Running())
        return;
    SourceFileList.Clear();
    RefreshSourceList();
}

void TMergeForm::ToolBtnMoveUpClick()
{
    const int row = SelectedRow();
    if (Running() || !SourceFileList.MoveUp(row))
        return;
    RefreshSourceList();
    SelectRow(row - 1);
}

void TMergeForm::ToolBtnMoveDownClick()
{
    const int row = SelectedRow();
    if (Running() || !SourceFileList.MoveDown(row))
        return;
    RefreshSourceList();
    SelectRow(row + 1);
}

void TMergeForm::RefreshSourceList()
{
    ListView1->clear();
    SourceFileList.Refresh(InformationProbe(AudioInformation1));
    for (const SourceFileEntry &e : SourceFileList.Entries()) {
        auto *item = new QTreeWidgetItem(
            QStringList{e.number, e.fileName, e.format, e.length, e.sizeKb, e.directory, e.status});
        item->setToolTip(1, SourceFileList.Path(ListView1->topLevelItemCount() + 1));
        item->setToolTip(2, e.format);
        item->setToolTip(5, e.directory);
        ListView1->addTopLevelItem(item);
    }
    StatusPanel1->setText(SourceFileList.TotalsLine());
    if (ListView1->topLevelItemCount() == 0)
        BitBtnMerge->setEnabled(false);
}

bool TMergeForm::PreviewActive() const { return Preview && Preview->PreviewActive; }

void TMergeForm::StopPreviewIfActive()
{
    if (PreviewActive())
        Preview->StopPreview();
}

void TMergeForm::ListView1Click()
{
    const int row = SelectedRow();
    if (row == 0)
        return;
    if (!Running())
        Preview->PreviewFile = SourceFileList.Path(row);
    for (QAction *a : {Remove1, RemoveAll1, MoveUp1, MoveDown1, Play1, Pause1, Stop1, StartConverting1})
        a->setEnabled(true);
}

void TMergeForm::ListView1DblClick()
{
    const int row = SelectedRow();
    if (row == 0 || Running())
        return;
    StopPreviewIfActive();
    Preview->PreviewFile = SourceFileList.Path(row);
    Preview->PlayPreview();
}

void TMergeForm::PopupMenu1Popup()
{
    StartConverting1->setText(WindowMode == TWindowMode::Merge ? "Start Merging" : "Start Converting");
    if (SourceFileList.Count() > 0)
        StartConverting1->setEnabled(true);
    if (SelectedRow() == 0) {
        if (!Running())
            Preview->PreviewFile.clear();
        for (QAction *a : {Remove1, RemoveAll1, MoveUp1, MoveDown1, Play1, Pause1, Stop1})
            a->setEnabled(false);
    }
}

void TMergeForm::StartConverting1Click()
{
    if (WindowMode == TWindowMode::Merge) {
        if (!Merging())
            BitBtnMergeClick();
    } else {
        BitBtnConvertClick();
    }
}

bool TMergeForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            const QList<QUrl> urls = drag->mimeData()->urls();
            const bool readable = std::any_of(urls.begin(), urls.end(), [](const QUrl &url) {
                return url.isLocalFile() && input_formats::IsReadable(url.toLocalFile());
            });
            if (readable && !Running()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            QStringList paths;
            // Only what the open dialog would offer: a folder or a text file dropped along is passed over.
            for (const QUrl &url : drop->mimeData()->urls())
                if (url.isLocalFile() && input_formats::IsReadable(url.toLocalFile()))
                    paths << QDir::toNativeSeparators(url.toLocalFile());
            AddSourceFiles(paths);
            drop->acceptProposedAction();
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- The output choices -----------------------------------------------------

void TMergeForm::SpeedBtnSavePathClick()
{
    QString folder = Platform().BrowseFolder("Select a directory to save output file");
    if (folder.isEmpty())
        return;
    if (!QDir(folder).exists()) {
        Platform().InformationBox(QStringLiteral("%1 is not a folder that files can be saved in.").arg(folder));
        return;
    }
    if (!folder.endsWith(PathDelimiter()))
        folder += PathDelimiter();
    EdSavePath->setText(folder);
    EdSavePath2->setText(folder);
    ProgramSettings.savepath = folder;
}

void TMergeForm::CBFormatChange()
{
    const int index = CBFormat->currentIndex();
    if (index < 0 || index >= output_format::Count())
        return;
    ProgramSettings.saveformat = output_format::WordAt(index);
    EdSaveFileName->setText(MergeOutputName(EdSaveFileName->text(), ProgramSettings.saveformat));
    MergeFileName = EdSaveFileName->text();
    mergeEngine_.SetMergeFileName(MergeFileName);
}

void TMergeForm::SpeedBtnSetClick()
{
    if (!SettingForm)
        SettingForm = new TSettingForm(this);
    SettingForm->exec();
}

void TMergeForm::CheckID3TagClick()
{
    if (!CheckID3Tag->isChecked())
        return;
    if (!Id3TagForm) {
        Id3TagForm = new TId3TagForm(this, AudioInformation1, MergeTag);
        connect(Id3TagForm, &TId3TagForm::closedWithoutOk, CheckID3Tag, [this] { CheckID3Tag->setChecked(false); });
    }
    Id3TagForm->exec();
}

void TMergeForm::BitBtnCancelClick()
{
    const bool running = Running();
    mergeEngine_.Stop();
    convertEngine_.Stop();
    if (running)
        closePending_ = true; // the run ends after its block and closes the window
    else
        close();
}

void TMergeForm::reject()
{
    if (Running()) {
        BitBtnCancelClick();
        return;
    }
    StopPreviewIfActive();
    QDialog::reject();
}

void TMergeForm::closeEvent(QCloseEvent *event)
{
    if (Running()) {
        // The run's loop is on the stack below this event: close once it returns.
        closePending_ = true;
        event->ignore();
        return;
    }
    StopPreviewIfActive();
    QDialog::closeEvent(event);
}

void TMergeForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && parentWidget())
        parentWidget()->window()->setWindowState(parentWidget()->window()->windowState() | Qt::WindowMinimized);
}

// ---- Runs -----------------------------------------------------------------

void TMergeForm::BitBtnMergeClick()
{
    if (Merging())
        return;
    MergeRequest request;
    request.sources = SourceFileList.Paths();
    request.fileNameText = EdSaveFileName->text();
    request.savePath = EdSavePath->text();
    request.formatText = CBFormat->currentText();
    request.listTotalSamples = SourceFileList.ListTotalSamples;
    request.tagEnabled = CheckID3Tag->isChecked();
    request.tag = MergeTag;
    const TProgramSettings settings = ProgramSettings;
    mergeEngine_.Run(request, settings);
    MergeFileName = mergeEngine_.MergeFileName();
    FinishRun();
}

void TMergeForm::BitBtnConvertClick()
{
    ConvertRequest request;
    request.sources = SourceFileList.Paths();
    request.savePath = EdSavePath->text();
    request.formatIndex = cbFormat2->currentIndex();
    request.copyTags = CheckId3Tag2->isChecked();
    request.listTotalSamples = SourceFileList.ListTotalSamples;
    request.mergeFileName = MergeFileName;
    // The convert panel's path is the one used; both edits always show the same folder.
    if (!request.savePath.isEmpty())
        request.savePath = EdSavePath2->text();
    const bool wasRunning = Converting();
    const TProgramSettings settings = ProgramSettings;
    convertEngine_.Start(request, settings);
    if (!wasRunning)
        FinishRun();
}

void TMergeForm::FinishRun()
{
    if (closePending_ && !Running()) {
        closePending_ = false;
        close();
    }
}

void TMergeForm::SetMergeControlsEnabled(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(ToolBar1), static_cast<QWidget *>(CBFormat),
                       static_cast<QWidget *>(SpeedBtnSavePath), static_cast<QWidget *>(SpeedBtnSet),
                       static_cast<QWidget *>(CheckID3Tag), static_cast<QWidget *>(BitBtnMerge),
                       static_cast<QWidget *>(NCTPlayButtonB1)})
        w->setEnabled(on);
}

void TMergeForm::SetConvertControlsEnabled(bool on)
{
    for (QWidget *w : {static_cast<QWidget *>(ToolBar1), static_cast<QWidget *>(cbFormat2),
                       static_cast<QWidget *>(SpeedBtnSavePath2), static_cast<QWidget *>(SpeedBtnSet2),
                       static_cast<QWidget *>(CheckId3Tag2), static_cast<QWidget *>(BitBtnConvert),
                       static_cast<QWidget *>(NCTPlayButtonB1)})
        w->setEnabled(on);
}

// ---- What the runs report -------------------------------------------------

void TMergeForm::SetGauge(int percent)
{
    (WindowMode == TWindowMode::Merge ? Gauge1 : Gauge2)->setValue(percent);
}

void TMergeForm::SetStatusText(const QString &text) { StatusPanel2->setText(text); }

void TMergeForm::SetRowStatus(int row, const QString &text)
{
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row - 1))
        item->setText(kStatusColumn, text);
}

void TMergeForm::OutputWritten(int row, const QString &path)
{
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row - 1))
        item->setToolTip(kStatusColumn, QDir::toNativeSeparators(path));
}

void TMergeForm::Information(const QString &text) { Platform().InformationBox(text); }
void TMergeForm::Message(const QString &text) { Platform().MessageBox(text); }
void TMergeForm::Error(const QString &text) { Platform().ErrorBox(ErrorBoxText(text)); }

void TMergeForm::Breathe() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TMergeForm::SetControlsEnabled(bool on)
{
    if (WindowMode == TWindowMode::Merge)
        SetMergeControlsEnabled(on);
    else
        SetConvertControlsEnabled(on);
}

void TMergeForm::StopPreview() { StopPreviewIfActive(); }

void TMergeForm::OutputChosen(const QString &savepath, const QString &saveformat)
{
    ProgramSettings.savepath = savepath;
    ProgramSettings.saveformat = saveformat;
}

void TMergeForm::SaveGeneralSettings(const QString &mergeFileName)
{
    MergeFileName = mergeFileName;
    ::SaveGeneralSettings(mergeFileName);
}
