#pragma once
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "split/SplitEngine.h"
#include "split/SplitPlan.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class QWidget;
class TSplitPieChart;
class TUpDown;
class TAudioPlayer2;
class TNCTPlayButtonB2;
class TNCTSliderB2;
class TNCTTimeDisplay2;
class PreviewPanel;
class SplitPointControls;

// The split wizard: step 1 opens the source and shows its tag, step 2 the
// output format and folder, step 3 how to split, step 4 the summary and the
// run. Created on demand by the launcher, shown modally, destroyed on close.
// The controls are built by the step builders of SplitWizardSteps.h; this
// class keeps their handlers and the wizard's state.
class TSplitForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplitForm(QWidget *owner);
    ~TSplitForm() override;

    // Components; the preview shares the reader and the information object.
    TAudioFile2 FileR;
    TAudioFile2 FileW;
    TAudioInformation2 AudioInformation;
    TAudioFile2LameEnc MP3LameEncoder;

    SplitPlan Plan;
    SplitRun Run;

    // Outside the steps.
    QTabWidget *PageControl1;
    QPushButton *BitBtnBack;
    QPushButton *BitBtnNext;
    QPushButton *BitBtnCancel;
    QStatusBar *StatusBar1;
    QLabel *StatusPanel0; // the source path
    QLabel *StatusPanel1; // the last event

    // Step 1.
    QWidget *TabSheet1;
    QLabel *Label1;
    QLineEdit *EdFileName;
    QToolButton *SpeedBtnOpen;
    QGroupBox *GroupBoxInfo;
    QLineEdit *EdTitle, *EdArtist, *EdAlbum, *EdYear, *EdGenre, *EdFormat, *EdSize, *EdDuration;
    QPushButton *SpeedBtnUpdate;

    // Step 2.
    QWidget *TabSheet2;
    QGroupBox *GroupBox2;
    QLabel *Label13;
    QComboBox *cbFormat;
    QPushButton *SpeedBtnSettings;
    // Copy the source's frames instead of re-encoding; usable only where the
    // save format is the source's own codec (MP3 to MP3, FLAC to FLAC).
    QCheckBox *CheckLossless;
    QGroupBox *GroupBoxDir;
    QRadioButton *RBSame;
    QRadioButton *RBSavePath;
    QLineEdit *EdSavePath;
    QPushButton *SpeedBtnSavePath;
    QCheckBox *CheckCopyTag;

    // Step 3.
    QWidget *TabSheet3;
    QGroupBox *GroupBox1;
    QRadioButton *RBAmount, *RBTime, *RBManual;
    QLineEdit *EdAmount, *EdMin, *EdSec;
    TUpDown *UpDown1, *UpDown2, *UpDown3;
    QGroupBox *GroupBoxManual;
    // Room for the preview player's controls (transport strip, slider, time display).
    QHBoxLayout *PlayerLayout;
    // Room for the split-point editor's buttons and check box.
    QHBoxLayout *EditorLayout;
    QTreeWidget *ListView1;
    // The split-point editor's controls, created and laid out here; the editor
    // gives them their captions and handlers.
    QToolButton *SpeedBtnSet;
    QCheckBox *CheckTip;
    QPushButton *BitBtnEdit;
    QPushButton *BitBtnRemove;
    QPushButton *BitBtnRemoveAll;
    TSplitPieChart *Chart1;
    // Controls enabled only in "By Settings" mode; the split-point editor adds
    // its own buttons here so one switch covers them all.
    QList<QWidget *> EditorControls;

    // Preview player (the split-point editor plays from here).
    std::unique_ptr<TAudioPlayer2> AudioPlayer1;
    TNCTPlayButtonB2 *NCTPlayButtonB1 = nullptr;
    TNCTSliderB2 *NCTSliderB1 = nullptr;
    TNCTTimeDisplay2 *NCTTimeDisplay1 = nullptr;
    PreviewPanel *Preview = nullptr;
    // Handlers of the "Split Point Settings" group (Set, list clicks and hints,
    // Edit Selection, Remove, Remove All); owned by the window.
    SplitPointControls *PointEditor = nullptr;

    // Step 4.
    QWidget *TabSheet4;
    QGroupBox *GroupBox3;
    QLabel *Label14;
    QTextEdit *RichEdit1;
    QPlainTextEdit *Memo1;
    QProgressBar *Gauge1;
    QLabel *Label27;
    QComboBox *cbPrecision;
    QPushButton *BitBtnSplit;

    // The open dialog's title and filter (Qt name-filter form).
    QString OpenDialogTitle;
    QString OpenDialogFilter;

    // Handlers, one per user action.
    void BitBtnNextClick();
    void BitBtnBackClick();
    void BitBtnCancelClick();
    void BitBtnSplitClick();
    void SpeedBtnOpenClick();
    void SpeedBtnUpdateClick();
    void SpeedBtnSettingsClick();
    void SpeedBtnSavePathClick();
    void RBSameClick();
    void RBSavePathClick();
    void RBAmountClick();
    void RBTimeClick();
    void RBManualClick();
    void EdAmountChange();
    void EdMinChange();
    void cbPrecisionChange();
    void cbFormatChange();
    void CheckLosslessClick();

    // The current step, 1..4.
    int Step() const;
    void PrepareSplitOpenDialog(const QString &title);
    void ShowSplitSummary();
    void RefreshPieChart(int count);
    // The plan's ResetManualPlan with the current output extension, then the
    // editor's list.
    void ResetManualPlan();
    // Enables or disables the split-point editor and the preview controls together.
    void SetSplitPointEditorEnabled(bool enabled);
    // Stops the preview before a run: the reader is shared with the player.
    void StopPreview();
    // The output extension of cbFormat's selection: "mp3", "wav", "wma", "ogg".
    QString SelectedExtension() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void reject() override;

private:
    void FormCreate();
    void ShowStep(int step);
    void ClearSourceInformation();
    void WMSysCommandMinimize();
    void ShowConversionError(const QString &text);
    // Enables CheckLossless for a source saved in its own codec, with a hint
    // that says why it is not available otherwise.
    void UpdateLosslessBox();

    QString sourceLosslessFormat_; // save format the opened source can be copied into ("": none)
    bool splitting_ = false;      // RunSplit is on the stack
    bool closeRequested_ = false; // close once the run has returned
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TSplitForm *SplitForm;
