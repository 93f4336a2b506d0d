#include "merge/ui/TMergeForm.h"

#include "base/PlatformServices.h"
#include "base/InputFormats.h"
#include "base/OutputFormat.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/PreviewPanel.h"
#include "config/ProgramSettings.h"
#include "config/ui/TSettingForm.h"
#include "merge/OutputNames.h"
#include "merge/SourceFacts.h"
#include "merge/WindowMode.h"
#include "merge/ui/MergeFormPanels.h"
#include "merge/ui/LibraryOptions.h"
#include "merge/ui/NormaliseBox.h"
#include "merge/ui/SourceListView.h"
#include "merge/ui/TId3TagForm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

TMergeForm *MergeForm = nullptr;

TMergeForm::TMergeForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                         | Qt::WindowCloseButtonHint),
      mergeEngine_(FileW, AudioInformation1, MP3LameEncoder, observer_),
      convertEngine_(FileW, AudioInformation1, MP3LameEncoder, observer_)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("MergeForm");
    setWindowTitle("Merge Audio Files");
    setSizeGripEnabled(false);

    AudioPlayer1 = new TAudioPlayer2(this);
    AudioPlayer1->setObjectName("AudioPlayer1");

    merge_form::BuildToolBar(*this);
    merge_form::BuildSourceList(*this);
    merge_form::BuildPopupMenu(*this);
    QWidget *previewStrip = merge_form::BuildPreviewStrip(*this);
    merge_form::BuildPageControl(*this);
    merge_form::BuildMergePage(*this);
    merge_form::BuildConvertPage(*this);
    merge_form::BuildStatusBar(*this);
    merge_form::LayOutWindow(*this, previewStrip);

    Preview = std::make_unique<PreviewPanel>(PreviewVariant::MergeWindow, FileR, AudioInformation1, *AudioPlayer1,
                                              NCTPlayButtonB1, NCTSliderB1, nullptr,
                                              [this](const QString &text) { StatusPanel2->setText(text); });

    connect(ToolBtnOpen, &QToolButton::clicked, this, &TMergeForm::ToolBtnOpenClick);
    connect(ToolBtnAddFolder, &QToolButton::clicked, this, [this] {
        if (Running())
            return;
        if (const QString folder = Platform().BrowseFolder("Select a folder to add"); !folder.isEmpty())
            AddSourceFiles(Library->AddFolders({folder}));
    });
    Library->Load(ProgramSettings);
    connect(Library->EdNameTemplate, &QLineEdit::textChanged, this, [this] { ShowNamePreview(); });
    connect(cbFormat2, &QComboBox::currentIndexChanged, this, [this] { ShowNamePreview(); });
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
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item, int column) {
        if (column == merge_form::kChapterColumn)
            EditChapterTitle(item);
        else
            ListView1DblClick();
    });
    connect(ListView1, &QTreeWidget::itemChanged, this, &TMergeForm::ChapterTitleEdited);
    connect(CheckChapters, &QCheckBox::toggled, this, &TMergeForm::CheckChaptersClick);
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

    StartSourceFacts();
    FormCreate();
    connect(CBFormat, &QComboBox::currentIndexChanged, this, &TMergeForm::CBFormatChange);
}

TMergeForm::~TMergeForm()
{
    // The panel borrows the components and controls; it goes first. The
    // reader's worker posts to this window: it ends before the window does.
    Preview.reset();
    StopSourceFacts();
    if (MergeForm == this)
        MergeForm = nullptr;
}

void TMergeForm::FormCreate()
{
    FileR.SetFormatIndex(-1);
    FileW.SetFormatIndex(-1);
    const QString saved = ProgramSettings.saveformat.toLower();
    if (const int i = output_format::IndexOf(saved); i >= 0) {
        CBFormat->setCurrentIndex(i);
        cbFormat2->setCurrentIndex(i);
    }
    EdSavePath->setText(ProgramSettings.savepath);
    EdSavePath2->setText(ProgramSettings.savepath);
    CheckChapters->setChecked(ProgramSettings.chaptermarks == 1);
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
    const bool merge = WindowMode == LauncherMode::Merge;
    setWindowTitle(merge ? "Merge audio files" : "Convert audio files");
    PageControl1->setCurrentWidget(merge ? TabSheet1 : TabSheet2);
    TabSheet1->setVisible(merge);
    TabSheet2->setVisible(!merge);
}

// ---- The list -------------------------------------------------------------

int TMergeForm::SelectedRow() const { return merge_form::SelectedRow(*ListView1); }
void TMergeForm::SelectRow(int row) { merge_form::SelectRow(*ListView1, row); }

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

void TMergeForm::ShowNamePreview()
{
    Library->ShowPreview(SourceFileList.Paths(), output_format::Extension(*output_format::AtIndex(
                                                     std::clamp(cbFormat2->currentIndex(), 0, output_format::Count() - 1))));
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
    StartConverting1->setText(WindowMode == LauncherMode::Merge ? "Start Merging" : "Start Converting");
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
    if (WindowMode == LauncherMode::Merge) {
        if (!Merging())
            BitBtnMergeClick();
    } else {
        BitBtnConvertClick();
    }
}

bool TMergeForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!merge_form::DroppedFilesAndFolders(*drag->mimeData()).isEmpty() && !Running()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (type == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            // Folders bring their audio files, subfolders included.
            AddSourceFiles(Library->AddFolders(merge_form::DroppedFilesAndFolders(*drop->mimeData())));
            drop->acceptProposedAction();
            return true;
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
    CompleteSourceFacts();
    MergeRequest request;
    request.sources = SourceFileList.Paths();
    request.fileNameText = EdSaveFileName->text();
    request.savePath = EdSavePath->text();
    request.formatText = CBFormat->currentText();
    request.listTotalSamples = SourceFileList.ListTotalSamples;
    request.tagEnabled = CheckID3Tag->isChecked();
    request.tag = MergeTag;
    request.chapterMarks = CheckChapters->isChecked();
    request.chapterTitles = SourceFileList.ChapterTitles();
    request.normaliseLufs = merge_form::NormaliseTarget(*CBNormalise);
    request.lossless = CheckLossless->isEnabled() && CheckLossless->isChecked();
    const TProgramSettings settings = ProgramSettings;
    // The run's folder and format become the program's current ones, also
    // for a run that fails: they are what the user chose last.
    if (MergeEngine::Refusal(request).isEmpty())
        RememberOutput(request.savePath, MergeEngine::FormatWord(request));
    const MergeResult result = mergeEngine_.Run(request, settings);
    if (!result.name.isEmpty())
        MergeFileName = result.name;
    if (!result.name.isEmpty() && !result.failed && SaveRunSettings(result.name)) {
        // Remembered as the other merge choices are: by a run.
        try {
            merge_form::RememberMergeChoices(request);
        } catch (const std::exception &e) {
            observer_.Error(QString::fromStdString(e.what()));
        }
    }
    FinishRun();
}

void TMergeForm::BitBtnConvertClick()
{
    if (!Converting())
        CompleteSourceFacts();
    ConvertRequest request;
    request.sources = SourceFileList.Paths();
    request.savePath = EdSavePath->text();
    request.formatIndex = cbFormat2->currentIndex();
    request.copyTags = CheckId3Tag2->isChecked();
    request.listTotalSamples = SourceFileList.ListTotalSamples;
    request.mergeFileName = MergeFileName;
    request.jobs = ProgramSettings.jobs;
    Library->Apply(request);
    // The convert panel's path is the one used; both edits always show the same folder.
    if (!request.savePath.isEmpty())
        request.savePath = EdSavePath2->text();
    const bool wasRunning = Converting();
    const TProgramSettings settings = ProgramSettings;
    // Saved before the run, so that a run that is stopped or fails still
    // leaves the folder and format chosen; a refused press saves nothing.
    if (ConvertEngine::Refusal(request).isEmpty()) {
        RememberOutput(request.savePath, output_format::Word(ConvertEngine::ChosenFormat(request)));
        if (!SaveRunSettings(MergeFileName))
            return;
        Library->Save(ProgramSettings);
        SaveLibrarySettings();
    }
    convertEngine_.Start(request, settings);
    if (!wasRunning)
        FinishRun();
}

void TMergeForm::RememberOutput(const QString &savepath, const QString &saveformat)
{
    ProgramSettings.savepath = savepath;
    ProgramSettings.saveformat = saveformat;
}

bool TMergeForm::SaveRunSettings(const QString &mergeFileName)
{
    try {
        SaveGeneralSettings(mergeFileName);
        SaveJobsSetting();
        return true;
    } catch (const std::exception &e) {
        observer_.Error(QString::fromStdString(e.what()));
        return false;
    }
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
    SetRunControlsEnabled(on, {CBFormat, SpeedBtnSavePath, SpeedBtnSet, CheckID3Tag, CheckChapters, CBNormalise,
                               CheckLossless, BitBtnMerge});
}

void TMergeForm::SetConvertControlsEnabled(bool on)
{
    SetRunControlsEnabled(on, {cbFormat2, SpeedBtnSavePath2, SpeedBtnSet2, CheckId3Tag2, SpinJobs, Library, BitBtnConvert});
}

void TMergeForm::SetRunControlsEnabled(bool on, std::initializer_list<QWidget *> page)
{
    ToolBar1->setEnabled(on);
    for (QWidget *w : page)
        w->setEnabled(on);
    NCTPlayButtonB1->setEnabled(on);
}
