#pragma once
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/ConvertEngine.h"
#include "merge/MergeEngine.h"
#include "merge/SourceList.h"
#include "merge/ui/MergeFormReport.h"

#include <QDialog>
#include <QString>
#include <initializer_list>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TAudioPlayer2;
class SourceFactsReader;
class TNCTPlayButtonB2;
class TNCTSliderB2;
class PreviewPanel;
namespace merge_form {
class LibraryOptions;
}

// Merges the listed files into one, or converts each into a file of its own,
// as WindowMode says when the window is shown. The list, its tool bar and
// context menu and the preview panel serve both modes; a page below them holds
// the mode's output choices. Runs happen in the engines; this window collects
// the choices and shows what the engines report. Destroyed on close; a run in
// progress delays the close until it has returned.
class TMergeForm : public QDialog {
    Q_OBJECT
public:
    explicit TMergeForm(QWidget *owner);
    ~TMergeForm() override;

    // Components, owned by the window.
    TAudioFile2 FileR;
    TAudioFile2 FileW;
    TAudioFile2LameEnc MP3LameEncoder;
    TAudioInformation2 AudioInformation1;
    TAudioPlayer2 *AudioPlayer1;

    // Shared part.
    QToolBar *ToolBar1;
    QToolButton *ToolBtnOpen, *ToolBtnRemove, *ToolBtnRemoveAll, *ToolBtnMoveUp, *ToolBtnMoveDown;
    QToolButton *ToolBtnAddFolder; // "Add Folder...": a folder's files, subfolders included
    QTreeWidget *ListView1;
    QMenu *PopupMenu1;
    QAction *AddFiles1, *Remove1, *RemoveAll1, *MoveUp1, *MoveDown1, *N1, *Play1, *Pause1, *Stop1, *N2,
        *StartConverting1;
    TNCTPlayButtonB2 *NCTPlayButtonB1;
    TNCTSliderB2 *NCTSliderB1;
    QStackedWidget *PageControl1;
    QStatusBar *StatusBar1;
    QLabel *StatusPanel1; // totals line
    QLabel *StatusPanel2; // state

    // Merge page.
    QWidget *TabSheet1;
    QLabel *Label2, *Label3, *Label4;
    QLineEdit *EdSaveFileName, *EdSavePath;
    QPushButton *SpeedBtnSavePath, *SpeedBtnSet;
    QComboBox *CBFormat;
    QCheckBox *CheckID3Tag;
    QCheckBox *CheckChapters; // a chapter mark where each source begins
    QComboBox *CBNormalise;   // "Normalise to": Off or a loudness in LUFS
    QCheckBox *CheckLossless; // copy the audio without re-encoding, where the sources allow
    QProgressBar *Gauge1;
    QPushButton *BitBtnMerge, *BitBtnCancel;

    // Convert page.
    QWidget *TabSheet2;
    QLabel *Label1, *Label5;
    QLineEdit *EdSavePath2;
    QPushButton *SpeedBtnSavePath2, *SpeedBtnSet2;
    QComboBox *cbFormat2;
    QCheckBox *CheckId3Tag2;
    QSpinBox *SpinJobs; // files converted at once, 0 every core
    merge_form::LibraryOptions *Library; // folder structure, skipping, names from tags
    QProgressBar *Gauge2;
    QPushButton *BitBtnConvert, *BitBtnCancel2;

    MergeSourceList SourceFileList;
    // The merge's file name as the window knows it ("Untitled.mp3"): the
    // name after a format change, the output's once a merge has begun. A
    // conversion saves it with the general settings.
    QString MergeFileName;
    MergeTagFields MergeTag;
    std::unique_ptr<PreviewPanel> Preview;

    bool Merging() const { return mergeEngine_.Merging(); }
    bool Converting() const { return convertEngine_.Converting(); }
    // The open dialog's title and filter, set by PrepareOpenDialog.
    QString OpenDialogTitle, OpenDialogFilter;

public slots:
    void ToolBtnOpenClick();
    // The names from tags the first sources would get, under the template field.
    void ShowNamePreview();
    void ToolBtnRemoveClick();
    void ToolBtnRemoveAllClick();
    void ToolBtnMoveUpClick();
    void ToolBtnMoveDownClick();
    void ListView1Click();
    void ListView1DblClick();
    void PopupMenu1Popup();
    // Shows the list from the facts known; new files are read on a worker
    // (a few at once) and their rows filled in as they come.
    void RefreshSourceList();
    void ShowArrivedFacts();
    void StartConverting1Click();

    void ApplyWindowMode();
    void SpeedBtnSavePathClick();
    void CBFormatChange();
    void SpeedBtnSetClick();
    void CheckID3TagClick();
    // Shows the chapter titles beside the files while the box is ticked.
    void CheckChaptersClick();
    // Starts editing the chapter title of the item's row.
    void EditChapterTitle(QTreeWidgetItem *item);
    // An edited title goes to the list; cleared, the row's default comes back.
    void ChapterTitleEdited(QTreeWidgetItem *item, int column);
    void BitBtnCancelClick();
    void BitBtnMergeClick();
    void BitBtnConvertClick();
    void SetMergeControlsEnabled(bool on);
    void SetConvertControlsEnabled(bool on);

    // Appends paths as "Add Files..." does (files dropped on the list).
    void AddSourceFiles(const QStringList &paths);

    // Escape and every other way of rejecting the window act as Cancel:
    // a run stops after its block and the window closes once it has returned.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void PrepareOpenDialog();
    int SelectedRow() const; // 1-based, 0 without a selection
    void SelectRow(int row);
    bool Running() const { return Merging() || Converting(); }
    bool PreviewActive() const;
    void StopPreviewIfActive();
    void FinishRun();
    void StartSourceFacts();
    void StopSourceFacts();
    // Reads the facts still missing before a run, showing how many are left.
    void CompleteSourceFacts();
    // The run's output folder (ends with a separator) and format word become
    // the program's current ones.
    void RememberOutput(const QString &savepath, const QString &saveformat);
    // Writes the "general" section of setup.ini and the jobs setting; says
    // why in the error box when it cannot.
    bool SaveRunSettings(const QString &mergeFileName);
    // The tool bar, the page's own controls and the preview's play button.
    void SetRunControlsEnabled(bool on, std::initializer_list<QWidget *> page);

    friend class MergeFormReport; // stops the preview for a run

    MergeFormReport observer_{*this};
    MergeEngine mergeEngine_;
    ConvertEngine convertEngine_;
    std::unique_ptr<SourceFactsReader> facts_;
    bool closePending_ = false; // close once the running merge or conversion returns
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TMergeForm *MergeForm;
