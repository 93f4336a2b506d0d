#include "split/ui/SplitWizardSteps.h"

#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"
#include "audio/ui/PreviewPanel.h"
#include "base/OutputFormat.h"
#include "base/ui/Guarded.h"
#include "split/ui/SplitWizardWaveform.h"
#include "split/ui/SplitWizardWidgets.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/TSplitPieChart.h"
#include "split/ui/SplitPointControls.h"
#include "split/ui/SplitPointImport.h"
#include "split/ui/TUpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace split_wizard {

namespace {

QIcon StandardIcon(const TSplitForm &form, QStyle::StandardPixmap icon)
{
    return form.style()->standardIcon(icon);
}

// The transport strip, slider and time display of step 3's preview, which
// the split-point editor seeks and reads.
void BuildPreview(TSplitForm &f)
{
    f.AudioPlayer1 = std::make_unique<TAudioPlayer2>();
    f.NCTPlayButtonB1 = Named(new TNCTPlayButtonB2, "NCTPlayButtonB1");
    f.NCTSliderB1 = Named(new TNCTSliderB2, "NCTSliderB1");
    f.NCTTimeDisplay1 = Named(new TNCTTimeDisplay2, "NCTTimeDisplay1");
    f.NCTTimeDisplay1->setToolTip("Time Elapsed");
    f.PlayerLayout->addWidget(f.NCTPlayButtonB1);
    f.PlayerLayout->addWidget(f.NCTSliderB1, 1);
    f.PlayerLayout->addWidget(f.NCTTimeDisplay1);
    f.Preview = new PreviewPanel(PreviewVariant::SplitWizard, f.FileR, f.AudioInformation, *f.AudioPlayer1,
                                  f.NCTPlayButtonB1, f.NCTSliderB1, f.NCTTimeDisplay1,
                                  [&f](const QString &text) { f.StatusPanel1->setText(text); }, &f);
    f.EditorControls << f.NCTPlayButtonB1 << f.NCTSliderB1;
}

void BuildPointEditor(TSplitForm &f)
{
    SplitPointEditorHooks hooks;
    hooks.ElapsedSeconds = [&f] { return f.Preview->ElapsedSeconds(); };
    hooks.PositionFrame = [&f] { return f.Preview->PositionFrame(); };
    hooks.SampleRate = [&f] { return f.AudioInformation.SampleRate(); };
    hooks.SeekPreview = [&f](int v) { f.Preview->SeekPreview(v); };
    hooks.SetDisplayMilliseconds = [&f](int64_t ms) { f.NCTTimeDisplay1->setMilliseconds(ms); };
    hooks.PreviewActive = [&f] { return f.Preview->PreviewActive; };
    hooks.SetStatusText = [&f](const QString &text) { f.StatusPanel1->setText(text); };
    hooks.DurationMs = [&f] { return f.AudioInformation.Duration(); };
    hooks.OutputExtension = [&f] { return f.SelectedExtension(); };
    hooks.RefreshPieChart = [&f](int32_t count) { f.RefreshPieChart(count); };
    hooks.ResetManualPlan = [&f] { f.ResetManualPlan(); };
    f.PointEditor = new SplitPointControls(
        &f, f.Plan, {f.SpeedBtnSet, f.CheckTip, f.ListView1, f.BitBtnEdit, f.BitBtnRemove, f.BitBtnRemoveAll},
        std::move(hooks));
}

// "Import CUE...", "Detect Silences..." and "Waveform Editor...": parts at exact frames, which the
// Exact precision cuts where they are; the user may still pick another.
void BuildPointImport(TSplitForm &f, QPushButton *importCue, QPushButton *detectSilences, QPushButton *waveformEditor,
                      QPushButton *importChapters)
{
    auto *import = new SplitPointImport(&f, f.Plan, f.AudioInformation, importCue, detectSilences,
                          [&f] { return f.SelectedExtension(); },
                          [&f] {
                              f.PointEditor->RebuildPartList();
                              f.RefreshPieChart(f.Plan.PartCount);
                              f.cbPrecision->setCurrentIndex(4);
                          });
    import->AddWaveformEditor(waveformEditor, [&f] { f.StopPreview(); });
    import->AddChapterImport(importChapters);
}

} // namespace

void BuildPages(TSplitForm &f)
{
    f.PageControl1 = Named(new QTabWidget, "PageControl1");
    f.PageControl1->setFixedHeight(361);
    f.PageControl1->tabBar()->setStyleSheet("QTabBar::tab { color: blue; font: bold 10pt \"Tahoma\"; }");
}

void BuildStep1(TSplitForm &f)
{
    f.TabSheet1 = Named(new QWidget, "TabSheet1");
    f.Label1 = Named(new QLabel("Source File"), "Label1");
    f.EdFileName = ReadOnlyEdit("EdFileName");
    f.SpeedBtnOpen = Named(new QToolButton, "SpeedBtnOpen");
    f.SpeedBtnOpen->setIcon(StandardIcon(f, QStyle::SP_DialogOpenButton));
    f.SpeedBtnOpen->setToolTip("Open file");

    f.GroupBoxInfo = Named(new QGroupBox("Audio Information"), "GroupBoxInfo");
    f.EdTitle = Named(new QLineEdit, "EdTitle");
    f.EdArtist = Named(new QLineEdit, "EdArtist");
    f.EdAlbum = Named(new QLineEdit, "EdAlbum");
    f.EdYear = Named(new QLineEdit, "EdYear");
    f.EdGenre = ReadOnlyEdit("EdGenre");
    f.EdFormat = ReadOnlyEdit("EdFormat");
    f.EdSize = ReadOnlyEdit("EdSize");
    f.EdDuration = ReadOnlyEdit("EdDuration");
    f.SpeedBtnUpdate = Named(new QPushButton("Update"), "SpeedBtnUpdate");
    f.SpeedBtnUpdate->setToolTip("Update Tag information");
    f.SpeedBtnUpdate->setEnabled(false);
    f.SpeedBtnUpdate->setAutoDefault(false);

    auto withUnit = [](QLineEdit *edit, const QString &unit) {
        auto *row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(new QLabel(unit));
        return row;
    };
    auto *info = new QFormLayout(f.GroupBoxInfo);
    info->addRow("Title", f.EdTitle);
    info->addRow("Artist", f.EdArtist);
    info->addRow("Album", f.EdAlbum);
    info->addRow("Year", f.EdYear);
    info->addRow("Genre", f.EdGenre);
    info->addRow("Format", f.EdFormat);
    info->addRow("Size", withUnit(f.EdSize, "Bytes"));
    info->addRow("Duration", withUnit(f.EdDuration, "Milliseconds"));
    auto *update = new QHBoxLayout;
    update->addStretch(1);
    update->addWidget(f.SpeedBtnUpdate);
    info->addRow(update);

    auto *source = new QHBoxLayout;
    source->addWidget(f.Label1);
    source->addWidget(f.EdFileName, 1);
    source->addWidget(f.SpeedBtnOpen);
    auto *page = new QVBoxLayout(f.TabSheet1);
    page->addLayout(source);
    page->addWidget(f.GroupBoxInfo);
    f.PageControl1->addTab(f.TabSheet1, StandardIcon(f, QStyle::SP_FileIcon), "Step 1 of 4:  Open a File to Split");

    QObject::connect(f.SpeedBtnOpen, &QToolButton::clicked, &f, [&f] { f.SpeedBtnOpenClick(); });
    QObject::connect(f.SpeedBtnUpdate, &QPushButton::clicked, &f, [&f] { f.SpeedBtnUpdateClick(); });
}

void BuildStep2(TSplitForm &f)
{
    f.TabSheet2 = Named(new QWidget, "TabSheet2");
    f.GroupBox2 = Named(new QGroupBox("Save Format"), "GroupBox2");
    f.Label13 = Named(new QLabel("Save Format:"), "Label13");
    f.cbFormat = Named(new QComboBox, "cbFormat");
    f.cbFormat->addItems(output_format::Items());
    f.cbFormat->setCurrentIndex(0);
    f.SpeedBtnSettings = Named(new QPushButton("Settings..."), "SpeedBtnSettings");
    f.SpeedBtnSettings->setToolTip("Set audio formats");
    f.SpeedBtnSettings->setAutoDefault(false);
    f.CheckLossless = Named(new QCheckBox("Copy the audio without re-encoding"), "CheckLossless");
    auto *format = new QHBoxLayout;
    format->addWidget(f.Label13);
    format->addWidget(f.cbFormat);
    format->addStretch(1);
    format->addWidget(f.SpeedBtnSettings);
    auto *formatBox = new QVBoxLayout(f.GroupBox2);
    formatBox->addLayout(format);
    formatBox->addWidget(f.CheckLossless);

    f.GroupBoxDir = Named(new QGroupBox("Save Path"), "GroupBoxDir");
    f.RBSame = Named(new QRadioButton("Same as the source file"), "RBSame");
    f.RBSame->setChecked(true);
    f.RBSavePath = Named(new QRadioButton("Path"), "RBSavePath");
    f.EdSavePath = ReadOnlyEdit("EdSavePath");
    f.SpeedBtnSavePath = Named(new QPushButton("Select"), "SpeedBtnSavePath");
    f.SpeedBtnSavePath->setToolTip("Select path");
    f.SpeedBtnSavePath->setEnabled(false);
    f.SpeedBtnSavePath->setAutoDefault(false);
    auto *dir = new QGridLayout(f.GroupBoxDir);
    dir->addWidget(f.RBSame, 0, 0, 1, 3);
    dir->addWidget(f.RBSavePath, 1, 0);
    dir->addWidget(f.EdSavePath, 1, 1);
    dir->addWidget(f.SpeedBtnSavePath, 1, 2);

    f.CheckCopyTag = Named(new QCheckBox("Auto save ID3 tag"), "CheckCopyTag");
    f.CheckCopyTag->setChecked(true);

    auto *page = new QVBoxLayout(f.TabSheet2);
    page->addWidget(f.GroupBox2);
    page->addWidget(f.GroupBoxDir);
    page->addWidget(f.CheckCopyTag);
    page->addStretch(1);
    f.PageControl1->addTab(f.TabSheet2, StandardIcon(f, QStyle::SP_DriveHDIcon),
                           "Step 2 of 4: Select Save Format and Path");

    QObject::connect(f.SpeedBtnSettings, &QPushButton::clicked, &f, [&f] { f.SpeedBtnSettingsClick(); });
    QObject::connect(f.cbFormat, &QComboBox::currentIndexChanged, &f, [&f] { f.cbFormatChange(); });
    // Only the user's own clicks are saved; the state set from setup.ini is not
    // written back. A failed write goes to the error box.
    QObject::connect(f.CheckLossless, &QCheckBox::clicked, &f, Guarded([&f] { f.CheckLosslessClick(); }));
    QObject::connect(f.SpeedBtnSavePath, &QPushButton::clicked, &f, [&f] { f.SpeedBtnSavePathClick(); });
    QObject::connect(f.RBSame, &QRadioButton::clicked, &f, [&f] { f.RBSameClick(); });
    QObject::connect(f.RBSavePath, &QRadioButton::clicked, &f, [&f] { f.RBSavePathClick(); });
}

void BuildStep3(TSplitForm &f)
{
    f.TabSheet3 = Named(new QWidget, "TabSheet3");
    f.GroupBox1 = Named(new QGroupBox("Split Mode"), "GroupBox1");
    f.RBAmount = Named(new QRadioButton("By Amount"), "RBAmount");
    f.RBAmount->setChecked(true);
    f.RBTime = Named(new QRadioButton("By Time"), "RBTime");
    f.RBManual = Named(new QRadioButton("By Settings"), "RBManual");
    f.EdAmount = Named(new QLineEdit("2"), "EdAmount");
    f.EdMin = Named(new QLineEdit("2"), "EdMin");
    f.EdSec = Named(new QLineEdit("0"), "EdSec");
    for (QLineEdit *e : {f.EdAmount, f.EdMin, f.EdSec})
        e->setFixedWidth(44);
    f.UpDown1 = Named(new TUpDown(f.EdAmount, 0, 100, 2, 1), "UpDown1");
    f.UpDown2 = Named(new TUpDown(f.EdMin, 0, 100, 2, 1), "UpDown2");
    f.UpDown3 = Named(new TUpDown(f.EdSec, 0, 60, 0, 5), "UpDown3");

    auto *amount = new QHBoxLayout;
    amount->addWidget(f.RBAmount);
    amount->addSpacing(8);
    amount->addWidget(new QLabel("Split In"));
    amount->addWidget(f.EdAmount);
    amount->addWidget(f.UpDown1);
    amount->addWidget(new QLabel("Same Size Parts"));
    amount->addStretch(1);
    auto *time = new QHBoxLayout;
    time->addWidget(f.RBTime);
    time->addSpacing(8);
    time->addWidget(new QLabel("Split Every"));
    time->addWidget(f.EdMin);
    time->addWidget(f.UpDown2);
    time->addWidget(new QLabel("Min"));
    time->addWidget(f.EdSec);
    time->addWidget(f.UpDown3);
    time->addWidget(new QLabel("Sec"));
    time->addStretch(1);

    f.Chart1 = new TSplitPieChart;
    f.Chart1->setFixedSize(96, 96);
    // Points from a CUE sheet or from the silences, beside the mode they belong to.
    auto *importCue = Named(new QPushButton, "BitBtnImportCue");
    auto *importChapters = Named(new QPushButton, "BitBtnImportChapters");
    auto *detectSilences = Named(new QPushButton, "BitBtnDetectSilences");
    auto *waveformEditor = Named(new QPushButton, "BitBtnWaveformEditor");
    auto *manualMode = new QHBoxLayout;
    manualMode->addWidget(f.RBManual);
    manualMode->addStretch(1);
    for (QPushButton *b : {importCue, importChapters, detectSilences, waveformEditor}) {
        b->setAutoDefault(false);
        manualMode->addWidget(b);
    }
    auto *modes = new QVBoxLayout;
    modes->addLayout(amount);
    modes->addLayout(time);
    modes->addLayout(manualMode);
    auto *top = new QHBoxLayout;
    top->addLayout(modes, 1);
    top->addWidget(f.Chart1);

    f.GroupBoxManual = Named(new QGroupBox("Split Point Settings"), "GroupBoxManual");
    f.PlayerLayout = new QHBoxLayout;
    f.EditorLayout = new QHBoxLayout;
    f.ListView1 = Named(new QTreeWidget, "ListView1");
    f.ListView1->setRootIsDecorated(false);
    f.ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    f.ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    f.ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    f.ListView1->setColumnCount(5);
    f.ListView1->setHeaderLabels({"Part", "Start time", "End time", "Length", "File name"});
    f.SpeedBtnSet = Named(new QToolButton, "SpeedBtnSet");
    f.SpeedBtnSet->setIcon(SplitPointIcon());
    f.CheckTip = Named(new QCheckBox, "CheckTip");
    f.BitBtnEdit = Named(new QPushButton, "BitBtnEdit");
    f.BitBtnRemove = Named(new QPushButton, "BitBtnRemove");
    f.BitBtnRemoveAll = Named(new QPushButton, "BitBtnRemoveAll");
    f.EditorLayout->addWidget(f.SpeedBtnSet);
    f.EditorLayout->addWidget(f.CheckTip);
    f.EditorLayout->addStretch(1);
    for (QPushButton *b : {f.BitBtnEdit, f.BitBtnRemove, f.BitBtnRemoveAll}) {
        b->setAutoDefault(false);
        f.EditorLayout->addWidget(b);
    }
    auto *manual = new QVBoxLayout(f.GroupBoxManual);
    manual->setContentsMargins(4, 2, 4, 2);
    manual->setSpacing(2);
    manual->addLayout(f.PlayerLayout);
    manual->addLayout(f.EditorLayout);
    manual->addWidget(f.ListView1, 1);

    auto *group = new QVBoxLayout(f.GroupBox1);
    group->addLayout(top);
    group->addWidget(f.GroupBoxManual, 1);
    auto *page = new QVBoxLayout(f.TabSheet3);
    page->setContentsMargins(2, 2, 2, 2);
    page->addWidget(f.GroupBox1);
    f.PageControl1->addTab(f.TabSheet3, StandardIcon(f, QStyle::SP_FileDialogDetailedView),
                           "Step 3 of 4: Select Split Mode");

    BuildPreview(f);
    f.EditorControls << f.ListView1 << f.SpeedBtnSet << f.CheckTip << f.BitBtnEdit << f.BitBtnRemove
                     << f.BitBtnRemoveAll << importCue << detectSilences << waveformEditor;
    // The rows' check boxes reach Plan.PartSaveFlags through the editor alone
    // (mouse and keyboard alike), so there is one place that copies them.
    BuildPointEditor(f);
    BuildPointImport(f, importCue, detectSilences, waveformEditor, importChapters);
    BuildWaveform(f);

    QObject::connect(f.RBAmount, &QRadioButton::clicked, &f, [&f] { f.RBAmountClick(); });
    QObject::connect(f.RBTime, &QRadioButton::clicked, &f, [&f] { f.RBTimeClick(); });
    QObject::connect(f.RBManual, &QRadioButton::clicked, &f, [&f] { f.RBManualClick(); });
}

void BuildStep4(TSplitForm &f)
{
    f.TabSheet4 = Named(new QWidget, "TabSheet4");
    f.GroupBox3 = Named(new QGroupBox("Ready to Split"), "GroupBox3");
    f.Label14 = Named(new QLabel("Wizard is now ready to split  file."), "Label14");
    f.RichEdit1 = Named(new QTextEdit, "RichEdit1");
    f.RichEdit1->setReadOnly(true);
    f.RichEdit1->setFrameShape(QFrame::NoFrame);
    f.RichEdit1->setPlainText("Click Split Now to  start splitting, or click Back to review if you \n"
                              "want to review or change \n"
                              "any settings.");
    f.RichEdit1->setFixedHeight(52);
    f.Memo1 = Named(new QPlainTextEdit, "Memo1");
    f.Memo1->setReadOnly(true);
    f.Gauge1 = Named(new QProgressBar, "Gauge1");
    f.Gauge1->setRange(0, 100);
    f.Gauge1->setValue(0);
    // A navy bar through the palette rather than a style sheet: the style
    // then draws the percentage in the middle, light over the bar and dark
    // beside it, so it stays readable at every value.
    QPalette gauge = f.Gauge1->palette();
    gauge.setColor(QPalette::Highlight, QColor(0x00, 0x00, 0x80));
    gauge.setColor(QPalette::HighlightedText, Qt::white);
    f.Gauge1->setPalette(gauge);
    f.Gauge1->setAlignment(Qt::AlignCenter);
    f.Label27 = Named(new QLabel("Precision"), "Label27");
    f.cbPrecision = Named(new QComboBox, "cbPrecision");
    f.cbPrecision->addItems({"Low", "Normal", "High", "Very High", "Exact"});
    f.cbPrecision->setCurrentIndex(1);
    f.BitBtnSplit = Named(new QPushButton("Split Now"), "BitBtnSplit");
    f.BitBtnSplit->setToolTip("Split Now");
    f.BitBtnSplit->setIcon(StandardIcon(f, QStyle::SP_MediaPlay));
    f.BitBtnSplit->setAutoDefault(false);

    auto *run = new QHBoxLayout;
    run->addWidget(f.Label27);
    run->addWidget(f.cbPrecision);
    run->addStretch(1);
    run->addWidget(f.BitBtnSplit);
    auto *group = new QVBoxLayout(f.GroupBox3);
    group->addWidget(f.Label14);
    group->addWidget(f.RichEdit1);
    group->addWidget(f.Memo1, 1);
    group->addWidget(f.Gauge1);
    group->addLayout(run);
    auto *page = new QVBoxLayout(f.TabSheet4);
    page->addWidget(f.GroupBox3);
    f.PageControl1->addTab(f.TabSheet4, StandardIcon(f, QStyle::SP_MediaPlay), "Step 4 of 4: Start Splitting");

    QObject::connect(f.cbPrecision, &QComboBox::currentIndexChanged, &f, [&f] { f.cbPrecisionChange(); });
    QObject::connect(f.BitBtnSplit, &QPushButton::clicked, &f, [&f] { f.BitBtnSplitClick(); });
}

void BuildFrame(TSplitForm &f)
{
    f.BitBtnBack = Named(new QPushButton(" Back"), "BitBtnBack");
    f.BitBtnBack->setToolTip("Previous step");
    f.BitBtnBack->setIcon(StandardIcon(f, QStyle::SP_ArrowBack));
    f.BitBtnNext = Named(new QPushButton("Next"), "BitBtnNext");
    f.BitBtnNext->setToolTip("Next step");
    f.BitBtnNext->setIcon(StandardIcon(f, QStyle::SP_ArrowForward));
    f.BitBtnCancel = Named(new QPushButton("Cancel"), "BitBtnCancel");
    f.BitBtnCancel->setToolTip("Cancel");
    for (QPushButton *b : {f.BitBtnBack, f.BitBtnNext, f.BitBtnCancel})
        b->setAutoDefault(false);
    f.BitBtnBack->setEnabled(false);

    f.StatusBar1 = Named(new QStatusBar, "StatusBar1");
    f.StatusBar1->setSizeGripEnabled(false);
    f.StatusPanel0 = Named(new ElidedLabel, "StatusPanel0");
    f.StatusPanel0->setFixedWidth(320);
    f.StatusPanel1 = Named(new QLabel, "StatusPanel1");
    f.StatusPanel1->setMinimumWidth(50);
    f.StatusBar1->addWidget(f.StatusPanel0);
    f.StatusBar1->addWidget(f.StatusPanel1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(f.BitBtnBack);
    buttons->addWidget(f.BitBtnNext);
    buttons->addWidget(f.BitBtnCancel);
    auto *root = new QVBoxLayout(&f);
    root->setContentsMargins(4, 4, 4, 0);
    root->addWidget(f.PageControl1);
    root->addLayout(buttons);
    root->addStretch(1);
    root->addWidget(f.StatusBar1);

    QObject::connect(f.BitBtnNext, &QPushButton::clicked, &f, [&f] { f.BitBtnNextClick(); });
    QObject::connect(f.BitBtnBack, &QPushButton::clicked, &f, [&f] { f.BitBtnBackClick(); });
    QObject::connect(f.BitBtnCancel, &QPushButton::clicked, &f, [&f] { f.BitBtnCancelClick(); });
}

} // namespace split_wizard
