#include "split/ui/TSplitForm.h"

#include "base/PlatformServices.h"
#include "base/InputFormats.h"
#include "base/OutputFormat.h"
#include "audio/AudioError.h"
#include "audio/LosslessCutter.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/PreviewPanel.h"
#include "config/ProgramSettings.h"
#include "config/ui/TSettingForm.h"
#include "split/ui/SplitWizardReport.h"
#include "split/ui/SplitWizardSteps.h"
#include "split/ui/SplitWizardViews.h"
#include "split/ui/TSplitPieChart.h"
#include "split/ui/SplitPointControls.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

TSplitForm *SplitForm = nullptr;

TSplitForm::TSplitForm(QWidget *owner) : QDialog(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("SplitForm");
    setWindowTitle("Split Audio File Wizard");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    split_wizard::BuildPages(*this);
    split_wizard::BuildStep1(*this);
    split_wizard::BuildStep2(*this);
    split_wizard::BuildStep3(*this);
    split_wizard::BuildStep4(*this);
    split_wizard::BuildFrame(*this);
    setFixedSize(502, 435);

    FormCreate();
}

TSplitForm::~TSplitForm()
{
    if (SplitForm == this)
        SplitForm = nullptr;
}

void TSplitForm::FormCreate()
{
    ShowStep(1);
    RBAmountClick();
    // The edits report changes only once the window's defaults are in place.
    connect(EdAmount, &QLineEdit::textChanged, this, [this] { EdAmountChange(); });
    connect(EdMin, &QLineEdit::textChanged, this, [this] { EdMinChange(); });
    connect(EdSec, &QLineEdit::textChanged, this, [this] { EdMinChange(); });
    // Measured in the window's own fonts, which the list has only now.
    PointEditor->FitPartColumns();
    FileR.SetFormatIndex(-1);
    FileW.SetFormatIndex(-1);
    Run.PrecisionDivisor = 2;
    CheckLossless->setChecked(ProgramSettings.losslessmp3 == 1);
    UpdateLosslessBox();
    PrepareSplitOpenDialog("Open a file to Split:");
    RichEdit1->setFont(font());
}

void TSplitForm::PrepareSplitOpenDialog(const QString &title)
{
    OpenDialogTitle = title;
    OpenDialogFilter = input_formats::DialogFilter(true);
}

int TSplitForm::Step() const
{
    return PageControl1->currentIndex() + 1;
}

void TSplitForm::ShowStep(int step)
{
    // Only the current step's tab is visible, so the tabs cannot be used to skip a check.
    for (int i = 0; i < PageControl1->count(); ++i)
        PageControl1->setTabVisible(i, i == step - 1);
    PageControl1->setCurrentIndex(step - 1);
}

QString TSplitForm::SelectedExtension() const
{
    return output_format::WordAt(cbFormat->currentIndex());
}

void TSplitForm::ClearSourceInformation()
{
    Plan.SourcePath.clear();
    Plan.DurationSeconds = 0;
    split_wizard::ClearSourceFields(*this);
    StatusPanel0->clear();
    SpeedBtnUpdate->setEnabled(false);
    if (Preview)
        Preview->PreviewFile.clear();
    sourceLosslessFormat_.clear();
    UpdateLosslessBox();
}

void TSplitForm::UpdateLosslessBox()
{
    const QString saveFormat = SelectedExtension();
    CheckLossless->setEnabled(!sourceLosslessFormat_.isEmpty() && sourceLosslessFormat_ == saveFormat);
    CheckLossless->setToolTip(split_wizard::LosslessHint(sourceLosslessFormat_, saveFormat));
}

void TSplitForm::cbFormatChange()
{
    UpdateLosslessBox();
}

void TSplitForm::CheckLosslessClick()
{
    ProgramSettings.losslessmp3 = CheckLossless->isChecked() ? 1 : 0;
    SaveLosslessMp3Setting();
}

void TSplitForm::SpeedBtnOpenClick()
{
    const QStringList chosen = Platform().OpenFiles(OpenDialogTitle, OpenDialogFilter, false);
    if (chosen.isEmpty())
        return;
    const QString path = chosen.first();
    // The preview plays the source; a new source ends the old one's playback.
    if (Preview && Preview->PreviewActive)
        StopPreview();
    Plan.SourcePath = path;
    EdFileName->setText(path);
    try {
        AudioInformation.LoadFile(path);
    } catch (const AudioError &e) {
        // A file we cannot inspect cannot be split either: forget it, so
        // "Next" keeps asking for a source.
        ClearSourceInformation();
        QString text = e.text();
        if (!text.contains(path))
            text = "Unable to read the file " + path + "\n" + text;
        Platform().ErrorBox(ErrorBoxText(text));
        return;
    }
    split_wizard::ShowSourceInformation(*this);
    Plan.DurationSeconds = int32_t(std::clamp<int64_t>(AudioInformation.Duration() / 1000, 0, INT32_MAX));
    StatusPanel0->setText(path);
    SpeedBtnUpdate->setEnabled(true);
    if (Preview)
        Preview->PreviewFile = path;
    sourceLosslessFormat_ = LosslessSaveFormat(path);
    UpdateLosslessBox();
}

void TSplitForm::SpeedBtnUpdateClick()
{
    AudioInformation.setInfoTitle(EdTitle->text());
    AudioInformation.setInfoArtist(EdArtist->text());
    AudioInformation.setInfoAlbum(EdAlbum->text());
    const std::optional<int32_t> year = ParseWholeNumber(EdYear->text());
    if (!year) {
        Platform().InformationBox("Please input correct Year!");
        return;
    }
    AudioInformation.setInfoYear(*year);
    try {
        AudioInformation.UpdateTag(Plan.SourcePath);
    } catch (const AudioError &) {
        // The source keeps its old tag; the edited fields still go into the parts.
    }
}

void TSplitForm::SpeedBtnSettingsClick()
{
    if (!SettingForm)
        SettingForm = new TSettingForm(this);
    SettingForm->exec();
}

void TSplitForm::SpeedBtnSavePathClick()
{
    QString folder = Platform().BrowseFolder("Select a directory to save output file");
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(PathDelimiter()))
        folder += PathDelimiter();
    EdSavePath->setText(folder);
}

void TSplitForm::RBSameClick()
{
    SpeedBtnSavePath->setEnabled(false);
}

void TSplitForm::RBSavePathClick()
{
    SpeedBtnSavePath->setEnabled(true);
}

void TSplitForm::SetSplitPointEditorEnabled(bool enabled)
{
    for (QWidget *w : EditorControls)
        w->setEnabled(enabled);
}

void TSplitForm::RBAmountClick()
{
    Plan.Mode = SplitMode::ByAmount;
    EdAmount->setEnabled(true);
    EdMin->setEnabled(false);
    EdSec->setEnabled(false);
    SetSplitPointEditorEnabled(false);
    EdAmountChange();
}

void TSplitForm::RBTimeClick()
{
    Plan.Mode = SplitMode::ByTime;
    EdAmount->setEnabled(false);
    EdMin->setEnabled(true);
    EdSec->setEnabled(true);
    SetSplitPointEditorEnabled(false);
    EdMinChange();
}

void TSplitForm::RBManualClick()
{
    Plan.Mode = SplitMode::BySettings;
    EdAmount->setEnabled(false);
    EdMin->setEnabled(false);
    EdSec->setEnabled(false);
    SetSplitPointEditorEnabled(true);
    ResetManualPlan();
    RefreshPieChart(Plan.PartCount);
}

void TSplitForm::ShowConversionError(const QString &text)
{
    Platform().ErrorBox(ErrorBoxText(InvalidIntegerText(text)));
}

void TSplitForm::EdAmountChange()
{
    const std::optional<int32_t> count = ParseWholeNumber(EdAmount->text());
    if (!count) {
        ShowConversionError(EdAmount->text());
        return;
    }
    RefreshPieChart(*count);
}

void TSplitForm::EdMinChange()
{
    const std::optional<int32_t> minutes = ParseWholeNumber(EdMin->text());
    if (!minutes) {
        ShowConversionError(EdMin->text());
        return;
    }
    const std::optional<int32_t> seconds = ParseWholeNumber(EdSec->text());
    if (!seconds) {
        ShowConversionError(EdSec->text());
        return;
    }
    if (const std::optional<int32_t> count = Plan.TimePieCount(int64_t(*minutes) * 60 + *seconds))
        RefreshPieChart(*count);
}

void TSplitForm::cbPrecisionChange()
{
    // Read when a run starts; a change during a run waits for the next one.
    // "Exact" still reads half-second blocks; the cut inside a block is what differs.
    Run.ExactCut = cbPrecision->currentIndex() == 4;
    switch (cbPrecision->currentIndex()) {
    case 0: Run.PrecisionDivisor = 1; break;
    case 2: Run.PrecisionDivisor = 4; break;
    case 3: Run.PrecisionDivisor = 8; break;
    default: Run.PrecisionDivisor = 2; break;
    }
}

void TSplitForm::RefreshPieChart(int count)
{
    Chart1->RefreshPieChart(count);
}

void TSplitForm::ResetManualPlan()
{
    Plan.ResetManualPlan(SelectedExtension());
    PointEditor->RebuildPartList();
}

void TSplitForm::BitBtnNextClick()
{
    if (EdFileName->text().isEmpty()) {
        Platform().InformationBox("Please open a source file.");
        return;
    }
    switch (Step()) {
    case 1:
        Plan.SourcePath = EdFileName->text();
        ShowStep(2);
        BitBtnBack->setEnabled(true);
        break;
    case 2: {
        if (RBSavePath->isChecked() && EdSavePath->text().isEmpty()) {
            Platform().InformationBox("Please input Save Path.");
            return;
        }
        ProgramSettings.saveformat = SelectedExtension();
        Run.CopyTag = CheckCopyTag->isChecked();
        // A box left ticked from setup.ini counts only where copying is possible.
        Run.Lossless = CheckLossless->isChecked() && CheckLossless->isEnabled();
        if (RBSame->isChecked()) {
            QString folder = QFileInfo(Plan.SourcePath).path();
            if (!folder.endsWith(PathDelimiter()))
                folder += PathDelimiter();
            ProgramSettings.savepath = folder;
        } else {
            ProgramSettings.savepath = EdSavePath->text();
        }
        ShowStep(3);
        RefreshPieChart(2);
        break;
    }
    case 3:
        if (RBAmount->isChecked()) {
            Plan.Mode = SplitMode::ByAmount;
            const std::optional<int32_t> n = ParseWholeNumber(EdAmount->text());
            if (!n) {
                Platform().CaptionedBox("Information", "Please input correct number!");
                return;
            }
            // Any count of at least one: a short file may still be cut in many parts.
            if (*n < 1) {
                Platform().CaptionedBox("Information", "Please input correct parts number!");
                return;
            }
            Plan.PartCount = *n;
        } else if (RBTime->isChecked()) {
            Plan.Mode = SplitMode::ByTime;
            const std::optional<int32_t> minutes = ParseWholeNumber(EdMin->text());
            const std::optional<int32_t> seconds = ParseWholeNumber(EdSec->text());
            const int64_t total = minutes && seconds ? int64_t(*minutes) * 60 + *seconds : 0;
            if (total < 1 || total > INT32_MAX) {
                Platform().CaptionedBox("Information", "Please input correct number!");
                return;
            }
            Plan.SecondsPerPart = int32_t(total);
        } else {
            Plan.Mode = SplitMode::BySettings;
        }
        ShowStep(4);
        BitBtnNext->setEnabled(false);
        // Copied frames are always cut exactly: there is no precision to choose.
        Label27->setEnabled(!Run.Lossless);
        cbPrecision->setEnabled(!Run.Lossless);
        ShowSplitSummary();
        break;
    default:
        break;
    }
}

void TSplitForm::BitBtnBackClick()
{
    switch (Step()) {
    case 2:
        ShowStep(1);
        BitBtnBack->setEnabled(false);
        break;
    case 3:
        ShowStep(2);
        break;
    case 4:
        ShowStep(3);
        BitBtnNext->setEnabled(true);
        break;
    default:
        break;
    }
}

void TSplitForm::ShowSplitSummary()
{
    Memo1->setPlainText(
        split_wizard::SplitSummaryText(Plan, ProgramSettings.saveformat, ProgramSettings.savepath, Run.Lossless));
}

void TSplitForm::StopPreview()
{
    if (Preview)
        Preview->StopPreview();
}

void TSplitForm::BitBtnSplitClick()
{
    if (splitting_)
        return;
    // Marked as running before the preview stops: stopping the audio output
    // processes events, and a second click then must not start a second run.
    splitting_ = true;
    BitBtnSplit->setEnabled(false);
    BitBtnBack->setEnabled(false);
    StopPreview();
    StatusPanel1->setText("Splitting...");
    int32_t number = 0;
    if (Plan.Mode == SplitMode::ByAmount)
        number = Plan.PartCount;
    else if (Plan.Mode == SplitMode::ByTime)
        number = Plan.SecondsPerPart;

    SplitWizardReport observer(*this);
    Run.IsRowChecked = [this](int row) {
        const QTreeWidgetItem *item = ListView1->topLevelItem(row);
        return item && item->checkState(0) == Qt::Checked;
    };
    SplitOutcome outcome = SplitOutcome::Failed;
    try {
        SplitEngine engine(FileW, AudioInformation, MP3LameEncoder, ProgramSettings, Plan, Run, observer);
        outcome = engine.RunSplit(Plan.SourcePath, Plan.Mode, number);
    } catch (const std::exception &e) {
        Run.Running = false;
        StatusPanel1->setText("Error");
        Platform().ErrorBox(ErrorBoxText(QString::fromLocal8Bit(e.what())));
    }
    splitting_ = false;

    BitBtnSplit->setEnabled(true);
    BitBtnBack->setEnabled(true);
    if (outcome != SplitOutcome::Refused)
        BitBtnCancel->setText("Close");
    else
        StatusPanel1->clear();
    if (closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void TSplitForm::BitBtnCancelClick()
{
    Run.Running = false;
    close();
}

void TSplitForm::reject()
{
    // Escape behaves like "Cancel": during a run it stops the run first.
    BitBtnCancelClick();
}

void TSplitForm::closeEvent(QCloseEvent *event)
{
    if (splitting_) {
        // Never destroyed under a running loop: stop it and close when it returns.
        Run.Running = false;
        closeRequested_ = true;
        event->ignore();
        return;
    }
    StopPreview();
    // Accepted here rather than through QDialog, whose close calls reject(),
    // which is "Cancel" in this window.
    event->accept();
}

void TSplitForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        WMSysCommandMinimize();
}

void TSplitForm::WMSysCommandMinimize()
{
    // The whole application goes to the task bar with its wizard.
    if (QWidget *launcher = parentWidget())
        launcher->setWindowState(launcher->windowState() | Qt::WindowMinimized);
}
