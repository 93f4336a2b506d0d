#include "split/ui/TSplitForm.h"

#include "base/PlatformServices.h"
#include "base/InputFormats.h"
#include "base/OutputFormat.h"
#include "app/QuorvisApplication.h"
#include "audio/AudioError.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"
#include "audio/ui/TPreviewPanel.h"
#include "config/ProgramSettings.h"
#include "config/ui/TSettingForm.h"
#include "split/ui/TSplitPieChart.h"
#include "split/ui/TSplitPointEditor.h"
#include "split/ui/TUpDown.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

TSplitForm *SplitForm = nullptr;

namespace {

const QString Indent = QStringLiteral("        ");

template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *ReadOnlyEdit(const char *name)
{
    auto *edit = Named(new QLineEdit, name);
    edit->setReadOnly(true);
    return edit;
}

// A status panel of fixed width: a long path is shortened in its middle, so
// the file name at its end stays readable; text() keeps the whole path and
// the hint shows it.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area(), int(Qt::AlignLeft | Qt::AlignVCenter), shown());
    }

    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::ToolTip) {
            if (shown() != text())
                QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), text(), this);
            else
                QToolTip::hideText();
            return true;
        }
        return QLabel::event(e);
    }

private:
    QRect area() const { return contentsRect().adjusted(margin() + 2, margin(), -margin() - 2, -margin()); }
    QString shown() const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, area().width()); }
};

// "Set as split point": a marker standing on a time line, drawn here so the
// button needs no image file.
QIcon SplitPointIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    painter.drawLine(QPointF(1, 12.5), QPointF(15, 12.5));
    painter.setPen(QPen(QColor(0xc0, 0x10, 0x10), 2));
    painter.drawLine(QPointF(8, 4), QPointF(8, 15));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0x10, 0x10));
    painter.drawPolygon(QPolygonF{QPointF(4, 1), QPointF(12, 1), QPointF(8, 6)});
    return QIcon(pixmap);
}

} // namespace

// The run's view of the window: gauge, status panel, message boxes, the list's
// check boxes, and an event pass after every block.
class TSplitForm::Observer : public SplitObserver {
public:
    explicit Observer(TSplitForm &form) : form_(form) {}

    void Progress(int percent) override { form_.Gauge1->setValue(std::clamp(percent, 0, 100)); }
    void StatusText(const QString &text) override { form_.StatusPanel1->setText(text); }
    void InformationMessage(const QString &text) override { Platform().InformationBox(text); }
    void PlainMessage(const QString &text) override { Platform().MessageBox(text); }
    void ErrorMessage(const QString &text) override { Platform().ErrorBox(ErrorBoxText(text)); }
    bool IsRowChecked(int row) const override
    {
        const QTreeWidgetItem *item = form_.ListView1->topLevelItem(row);
        return item && item->checkState(0) == Qt::Checked;
    }
    void Breathe() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

private:
    TSplitForm &form_;
};

TSplitForm::TSplitForm(QWidget *owner) : QDialog(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("SplitForm");
    setWindowTitle("Split Audio File Wizard");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    PageControl1 = Named(new QTabWidget, "PageControl1");
    PageControl1->setFixedHeight(361);
    PageControl1->tabBar()->setStyleSheet("QTabBar::tab { color: blue; font: bold 10pt \"Tahoma\"; }");
    BuildStep1();
    BuildStep2();
    BuildStep3();
    BuildStep4();

    BitBtnBack = Named(new QPushButton(" Back"), "BitBtnBack");
    BitBtnBack->setToolTip("Previous step");
    BitBtnBack->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    BitBtnNext = Named(new QPushButton("Next"), "BitBtnNext");
    BitBtnNext->setToolTip("Next step");
    BitBtnNext->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    BitBtnCancel = Named(new QPushButton("Cancel"), "BitBtnCancel");
    BitBtnCancel->setToolTip("Cancel");
    for (QPushButton *b : {BitBtnBack, BitBtnNext, BitBtnCancel})
        b->setAutoDefault(false);
    BitBtnBack->setEnabled(false);

    StatusBar1 = Named(new QStatusBar, "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = Named(new ElidedLabel, "StatusPanel0");
    StatusPanel0->setFixedWidth(320);
    StatusPanel1 = Named(new QLabel, "StatusPanel1");
    StatusPanel1->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtnBack);
    buttons->addWidget(BitBtnNext);
    buttons->addWidget(BitBtnCancel);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 0);
    root->addWidget(PageControl1);
    root->addLayout(buttons);
    root->addStretch(1);
    root->addWidget(StatusBar1);
    setFixedSize(502, 435);

    connect(BitBtnNext, &QPushButton::clicked, this, [this] { BitBtnNextClick(); });
    connect(BitBtnBack, &QPushButton::clicked, this, [this] { BitBtnBackClick(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, [this] { BitBtnCancelClick(); });

    FormCreate();
}

TSplitForm::~TSplitForm()
{
    if (SplitForm == this)
        SplitForm = nullptr;
}

void TSplitForm::BuildStep1()
{
    TabSheet1 = Named(new QWidget, "TabSheet1");
    Label1 = Named(new QLabel("Source File"), "Label1");
    EdFileName = ReadOnlyEdit("EdFileName");
    SpeedBtnOpen = Named(new QToolButton, "SpeedBtnOpen");
    SpeedBtnOpen->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    SpeedBtnOpen->setToolTip("Open file");

    GroupBoxInfo = Named(new QGroupBox("Audio Information"), "GroupBoxInfo");
    EdTitle = Named(new QLineEdit, "EdTitle");
    EdArtist = Named(new QLineEdit, "EdArtist");
    EdAlbum = Named(new QLineEdit, "EdAlbum");
    EdYear = Named(new QLineEdit, "EdYear");
    EdGenre = ReadOnlyEdit("EdGenre");
    EdFormat = ReadOnlyEdit("EdFormat");
    EdSize = ReadOnlyEdit("EdSize");
    EdDuration = ReadOnlyEdit("EdDuration");
    SpeedBtnUpdate = Named(new QPushButton("Update"), "SpeedBtnUpdate");
    SpeedBtnUpdate->setToolTip("Update Tag information");
    SpeedBtnUpdate->setEnabled(false);
    SpeedBtnUpdate->setAutoDefault(false);

    auto withUnit = [](QLineEdit *edit, const QString &unit) {
        auto *row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(new QLabel(unit));
        return row;
    };
    auto *info = new QFormLayout(GroupBoxInfo);
    info->addRow("Title", EdTitle);
    info->addRow("Artist", EdArtist);
    info->addRow("Album", EdAlbum);
    info->addRow("Year", EdYear);
    info->addRow("Genre", EdGenre);
    info->addRow("Format", EdFormat);
    info->addRow("Size", withUnit(EdSize, "Bytes"));
    info->addRow("Duration", withUnit(EdDuration, "Milliseconds"));
    auto *update = new QHBoxLayout;
    update->addStretch(1);
    update->addWidget(SpeedBtnUpdate);
    info->addRow(update);

    auto *source = new QHBoxLayout;
    source->addWidget(Label1);
    source->addWidget(EdFileName, 1);
    source->addWidget(SpeedBtnOpen);
    auto *page = new QVBoxLayout(TabSheet1);
    page->addLayout(source);
    page->addWidget(GroupBoxInfo);
    PageControl1->addTab(TabSheet1, style()->standardIcon(QStyle::SP_FileIcon), "Step 1 of 4:  Open a File to Split");

    connect(SpeedBtnOpen, &QToolButton::clicked, this, [this] { SpeedBtnOpenClick(); });
    connect(SpeedBtnUpdate, &QPushButton::clicked, this, [this] { SpeedBtnUpdateClick(); });
}

void TSplitForm::BuildStep2()
{
    TabSheet2 = Named(new QWidget, "TabSheet2");
    GroupBox2 = Named(new QGroupBox("Save Format"), "GroupBox2");
    Label13 = Named(new QLabel("Save Format:"), "Label13");
    cbFormat = Named(new QComboBox, "cbFormat");
    cbFormat->addItems(output_format::Items());
    cbFormat->setCurrentIndex(0);
    SpeedBtnSettings = Named(new QPushButton("Settings..."), "SpeedBtnSettings");
    SpeedBtnSettings->setToolTip("Set audio formats");
    SpeedBtnSettings->setAutoDefault(false);
    CheckLossless = Named(new QCheckBox("Copy the MP3 audio without re-encoding"), "CheckLossless");
    auto *format = new QHBoxLayout;
    format->addWidget(Label13);
    format->addWidget(cbFormat);
    format->addStretch(1);
    format->addWidget(SpeedBtnSettings);
    auto *formatBox = new QVBoxLayout(GroupBox2);
    formatBox->addLayout(format);
    formatBox->addWidget(CheckLossless);

    GroupBoxDir = Named(new QGroupBox("Save Path"), "GroupBoxDir");
    RBSame = Named(new QRadioButton("Same as the source file"), "RBSame");
    RBSame->setChecked(true);
    RBSavePath = Named(new QRadioButton("Path"), "RBSavePath");
    EdSavePath = ReadOnlyEdit("EdSavePath");
    SpeedBtnSavePath = Named(new QPushButton("Select"), "SpeedBtnSavePath");
    SpeedBtnSavePath->setToolTip("Select path");
    SpeedBtnSavePath->setEnabled(false);
    SpeedBtnSavePath->setAutoDefault(false);
    auto *dir = new QGridLayout(GroupBoxDir);
    dir->addWidget(RBSame, 0, 0, 1, 3);
    dir->addWidget(RBSavePath, 1, 0);
    dir->addWidget(EdSavePath, 1, 1);
    dir->addWidget(SpeedBtnSavePath, 1, 2);

    CheckCopyTag = Named(new QCheckBox("Auto save ID3 tag"), "CheckCopyTag");
    CheckCopyTag->setChecked(true);

    auto *page = new QVBoxLayout(TabSheet2);
    page->addWidget(GroupBox2);
    page->addWidget(GroupBoxDir);
    page->addWidget(CheckCopyTag);
    page->addStretch(1);
    PageControl1->addTab(TabSheet2, style()->standardIcon(QStyle::SP_DriveHDIcon),
                         "Step 2 of 4: Select Save Format and Path");

    connect(SpeedBtnSettings, &QPushButton::clicked, this, [this] { SpeedBtnSettingsClick(); });
    connect(cbFormat, &QComboBox::currentIndexChanged, this, [this] { cbFormatChange(); });
    // Only the user's own clicks are saved; the state set from setup.ini is not
    // written back. A failed write goes to the error box.
    connect(CheckLossless, &QCheckBox::clicked, this, Guarded([this] { CheckLosslessClick(); }));
    connect(SpeedBtnSavePath, &QPushButton::clicked, this, [this] { SpeedBtnSavePathClick(); });
    connect(RBSame, &QRadioButton::clicked, this, [this] { RBSameClick(); });
    connect(RBSavePath, &QRadioButton::clicked, this, [this] { RBSavePathClick(); });
}

void TSplitForm::BuildStep3()
{
    TabSheet3 = Named(new QWidget, "TabSheet3");
    GroupBox1 = Named(new QGroupBox("Split Mode"), "GroupBox1");
    RBAmount = Named(new QRadioButton("By Amount"), "RBAmount");
    RBAmount->setChecked(true);
    RBTime = Named(new QRadioButton("By Time"), "RBTime");
    RBManual = Named(new QRadioButton("By Settings"), "RBManual");
    EdAmount = Named(new QLineEdit("2"), "EdAmount");
    EdMin = Named(new QLineEdit("2"), "EdMin");
    EdSec = Named(new QLineEdit("0"), "EdSec");
    for (QLineEdit *e : {EdAmount, EdMin, EdSec})
        e->setFixedWidth(44);
    UpDown1 = Named(new TUpDown(EdAmount, 0, 100, 2, 1), "UpDown1");
    UpDown2 = Named(new TUpDown(EdMin, 0, 100, 2, 1), "UpDown2");
    UpDown3 = Named(new TUpDown(EdSec, 0, 60, 0, 5), "UpDown3");

    auto *amount = new QHBoxLayout;
    amount->addWidget(RBAmount);
    amount->addSpacing(8);
    amount->addWidget(new QLabel("Split In"));
    amount->addWidget(EdAmount);
    amount->addWidget(UpDown1);
    amount->addWidget(new QLabel("Same Size Parts"));
    amount->addStretch(1);
    auto *time = new QHBoxLayout;
    time->addWidget(RBTime);
    time->addSpacing(8);
    time->addWidget(new QLabel("Split Every"));
    time->addWidget(EdMin);
    time->addWidget(UpDown2);
    time->addWidget(new QLabel("Min"));
    time->addWidget(EdSec);
    time->addWidget(UpDown3);
    time->addWidget(new QLabel("Sec"));
    time->addStretch(1);

    Chart1 = new TSplitPieChart;
    Chart1->setFixedSize(96, 96);
    auto *modes = new QVBoxLayout;
    modes->addLayout(amount);
    modes->addLayout(time);
    modes->addWidget(RBManual);
    auto *top = new QHBoxLayout;
    top->addLayout(modes, 1);
    top->addWidget(Chart1);

    GroupBoxManual = Named(new QGroupBox("Split Point Settings"), "GroupBoxManual");
    PlayerLayout = new QHBoxLayout;
    EditorLayout = new QHBoxLayout;
    ListView1 = Named(new QTreeWidget, "ListView1");
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setColumnCount(5);
    ListView1->setHeaderLabels({"Part", "Start time", "End time", "Length", "File name"});
    SpeedBtnSet = Named(new QToolButton, "SpeedBtnSet");
    SpeedBtnSet->setIcon(SplitPointIcon());
    CheckTip = Named(new QCheckBox, "CheckTip");
    BitBtnEdit = Named(new QPushButton, "BitBtnEdit");
    BitBtnRemove = Named(new QPushButton, "BitBtnRemove");
    BitBtnRemoveAll = Named(new QPushButton, "BitBtnRemoveAll");
    EditorLayout->addWidget(SpeedBtnSet);
    EditorLayout->addWidget(CheckTip);
    EditorLayout->addStretch(1);
    for (QPushButton *b : {BitBtnEdit, BitBtnRemove, BitBtnRemoveAll}) {
        b->setAutoDefault(false);
        EditorLayout->addWidget(b);
    }
    auto *manual = new QVBoxLayout(GroupBoxManual);
    manual->setContentsMargins(4, 2, 4, 2);
    manual->setSpacing(2);
    manual->addLayout(PlayerLayout);
    manual->addLayout(EditorLayout);
    manual->addWidget(ListView1, 1);

    auto *group = new QVBoxLayout(GroupBox1);
    group->addLayout(top);
    group->addWidget(GroupBoxManual, 1);
    auto *page = new QVBoxLayout(TabSheet3);
    page->setContentsMargins(2, 2, 2, 2);
    page->addWidget(GroupBox1);
    PageControl1->addTab(TabSheet3, style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                         "Step 3 of 4: Select Split Mode");

    BuildPreview();
    EditorControls << ListView1 << SpeedBtnSet << CheckTip << BitBtnEdit << BitBtnRemove << BitBtnRemoveAll;

    SplitPointEditorHooks hooks;
    hooks.ElapsedSeconds = [this] { return Preview->ElapsedSeconds(); };
    hooks.SeekPreview = [this](int v) { Preview->SeekPreview(v); };
    hooks.SetDisplayMilliseconds = [this](int64_t ms) { NCTTimeDisplay1->setMilliseconds(ms); };
    hooks.PreviewActive = [this] { return Preview->PreviewActive; };
    hooks.SetStatusText = [this](const QString &text) { StatusPanel1->setText(text); };
    hooks.DurationMs = [this] { return AudioInformation.Duration(); };
    hooks.OutputExtension = [this] { return SelectedExtension(); };
    hooks.RebuildPartList = [this] { RebuildPartList(); };
    hooks.RefreshPieChart = [this](int32_t count) { RefreshPieChart(count); };
    hooks.ResetManualPlan = [this] { ResetManualPlan(); };
    PointEditor = new TSplitPointEditor(
        this, Plan, {SpeedBtnSet, CheckTip, ListView1, BitBtnEdit, BitBtnRemove, BitBtnRemoveAll}, std::move(hooks));

    connect(RBAmount, &QRadioButton::clicked, this, [this] { RBAmountClick(); });
    connect(RBTime, &QRadioButton::clicked, this, [this] { RBTimeClick(); });
    connect(RBManual, &QRadioButton::clicked, this, [this] { RBManualClick(); });
    // The rows' check boxes reach Plan.PartSaveFlags through the editor alone
    // (mouse and keyboard alike), so there is one place that copies them.
}

void TSplitForm::BuildPreview()
{
    AudioPlayer1 = std::make_unique<TAudioPlayer2>();
    NCTPlayButtonB1 = Named(new TNCTPlayButtonB2, "NCTPlayButtonB1");
    NCTSliderB1 = Named(new TNCTSliderB2, "NCTSliderB1");
    NCTTimeDisplay1 = Named(new TNCTTimeDisplay2, "NCTTimeDisplay1");
    NCTTimeDisplay1->setToolTip("Time Elapsed");
    PlayerLayout->addWidget(NCTPlayButtonB1);
    PlayerLayout->addWidget(NCTSliderB1, 1);
    PlayerLayout->addWidget(NCTTimeDisplay1);
    Preview = new TPreviewPanel(TPreviewVariant::SplitWizard, FileR, AudioInformation, *AudioPlayer1,
                                NCTPlayButtonB1, NCTSliderB1, NCTTimeDisplay1,
                                [this](const QString &text) { StatusPanel1->setText(text); }, this);
    EditorControls << NCTPlayButtonB1 << NCTSliderB1;
}

void TSplitForm::BuildStep4()
{
    TabSheet4 = Named(new QWidget, "TabSheet4");
    GroupBox3 = Named(new QGroupBox("Ready to Split"), "GroupBox3");
    Label14 = Named(new QLabel("Wizard is now ready to split  file."), "Label14");
    RichEdit1 = Named(new QTextEdit, "RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setFrameShape(QFrame::NoFrame);
    RichEdit1->setPlainText("Click Split Now to  start splitting, or click Back to review if you \n"
                            "want to review or change \n"
                            "any settings.");
    RichEdit1->setFixedHeight(52);
    Memo1 = Named(new QPlainTextEdit, "Memo1");
    Memo1->setReadOnly(true);
    Gauge1 = Named(new QProgressBar, "Gauge1");
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    // A navy bar through the palette rather than a style sheet: the style
    // then draws the percentage in the middle, light over the bar and dark
    // beside it, so it stays readable at every value.
    QPalette gauge = Gauge1->palette();
    gauge.setColor(QPalette::Highlight, QColor(0x00, 0x00, 0x80));
    gauge.setColor(QPalette::HighlightedText, Qt::white);
    Gauge1->setPalette(gauge);
    Gauge1->setAlignment(Qt::AlignCenter);
    Label27 = Named(new QLabel("Precision"), "Label27");
    cbPrecision = Named(new QComboBox, "cbPrecision");
    cbPrecision->addItems({"Low", "Normal", "High", "Very High", "Exact"});
    cbPrecision->setCurrentIndex(1);
    BitBtnSplit = Named(new QPushButton("Split Now"), "BitBtnSplit");
    BitBtnSplit->setToolTip("Split Now");
    BitBtnSplit->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    BitBtnSplit->setAutoDefault(false);

    auto *run = new QHBoxLayout;
    run->addWidget(Label27);
    run->addWidget(cbPrecision);
    run->addStretch(1);
    run->addWidget(BitBtnSplit);
    auto *group = new QVBoxLayout(GroupBox3);
    group->addWidget(Label14);
    group->addWidget(RichEdit1);
    group->addWidget(Memo1, 1);
    group->addWidget(Gauge1);
    group->addLayout(run);
    auto *page = new QVBoxLayout(TabSheet4);
    page->addWidget(GroupBox3);
    PageControl1->addTab(TabSheet4, style()->standardIcon(QStyle::SP_MediaPlay), "Step 4 of 4: Start Splitting");

    connect(cbPrecision, &QComboBox::currentIndexChanged, this, [this] { cbPrecisionChange(); });
    connect(BitBtnSplit, &QPushButton::clicked, this, [this] { BitBtnSplitClick(); });
}

void TSplitForm::FormCreate()
{
    ShowStep(1);
    RBAmountClick();
    // The edits report changes only once the window's defaults are in place.
    connect(EdAmount, &QLineEdit::textChanged, this, [this] { EdAmountChange(); });
    connect(EdMin, &QLineEdit::textChanged, this, [this] { EdMinChange(); });
    connect(EdSec, &QLineEdit::textChanged, this, [this] { EdMinChange(); });
    // The classic widths, widened where this platform's font would cut a
    // caption short; "File name" takes what is left of the row.
    const int widths[] = {40, 60, 60, 50, 130};
    const QFontMetrics header(ListView1->header()->font());
    for (int i = 0; i < 5; ++i) {
        const int caption = header.horizontalAdvance(ListView1->headerItem()->text(i)) + 16;
        ListView1->setColumnWidth(i, std::max(widths[i], caption));
    }
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
    EdFileName->clear();
    for (QLineEdit *e : {EdTitle, EdArtist, EdAlbum, EdYear, EdGenre, EdFormat, EdSize, EdDuration})
        e->clear();
    StatusPanel0->clear();
    SpeedBtnUpdate->setEnabled(false);
    if (Preview)
        Preview->PreviewFile.clear();
    sourceIsLayer3_ = false;
    UpdateLosslessBox();
}

void TSplitForm::UpdateLosslessBox()
{
    const bool mp3Out = cbFormat->currentIndex() == 0;
    CheckLossless->setEnabled(sourceIsLayer3_ && mp3Out);
    if (!sourceIsLayer3_)
        CheckLossless->setToolTip("Only an MP3 (MPEG Layer III) source can be copied without re-encoding.");
    else if (!mp3Out)
        CheckLossless->setToolTip("Choose MP3 as the save format to copy the audio without re-encoding.");
    else
        CheckLossless->setToolTip("Copies the source's MP3 frames into the parts: every cut is exact and nothing "
                                  "loses quality.\nThe MP3 encoder settings are not used.");
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
    EdTitle->setText(AudioInformation.infoTitle());
    EdArtist->setText(AudioInformation.infoArtist());
    EdAlbum->setText(AudioInformation.infoAlbum());
    EdYear->setText(QString::number(AudioInformation.infoYear()));
    EdGenre->setText(AudioInformation.GenreName(AudioInformation.infoGenre()));
    EdFormat->setText(AudioInformation.FormatText());
    Plan.DurationSeconds = int32_t(std::clamp<int64_t>(AudioInformation.Duration() / 1000, 0, INT32_MAX));
    EdSize->setText(QString::number(AudioInformation.FileSize()));
    EdDuration->setText(QString::number(AudioInformation.Duration()));
    StatusPanel0->setText(path);
    SpeedBtnUpdate->setEnabled(true);
    if (Preview)
        Preview->PreviewFile = path;
    sourceIsLayer3_ = AudioInformation.IsMpegLayer3();
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
    RebuildPartList();
}

void TSplitForm::RebuildPartList()
{
    const QSignalBlocker quiet(ListView1); // rows being built are not user changes
    ListView1->clear();
    for (const SplitPartRow &row : Plan.PartRows()) {
        auto *item = new QTreeWidgetItem(
            QStringList{QString::number(row.number), row.startText, row.endText, row.lengthText, row.fileName});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
        ListView1->addTopLevelItem(item);
    }
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
    QString mode;
    switch (Plan.Mode) {
    case SplitMode::ByAmount: mode = Indent + "Split in " + QString::number(Plan.PartCount) + " Parts"; break;
    case SplitMode::ByTime: mode = Indent + "Split every " + QString::number(Plan.SecondsPerPart) + " seconds"; break;
    case SplitMode::BySettings: mode = Indent + "Split by pre-listening settings"; break;
    }
    QStringList lines{"Source File ", Indent + Plan.SourcePath, "Split Mode ", mode, "Save Format ",
                      Indent + ProgramSettings.saveformat, "Save Path ", Indent + ProgramSettings.savepath};
    if (Run.Lossless)
        lines << "Lossless " << Indent + "MP3 frames are copied without re-encoding; the cut is exact";
    Memo1->setPlainText(lines.join('\n'));
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

    Observer observer(*this);
    SplitOutcome outcome = SplitOutcome::Failed;
    try {
        SplitEngine engine(FileR, FileW, AudioInformation, MP3LameEncoder, ProgramSettings, Plan, Run, observer);
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
