#include "app/TMainForm.h"

#include "app/AppIcons.h"
#include "app/LinkLabel.h"
#include "app/Maker.h"
#include "base/PlatformServices.h"
#include "base/ui/Guarded.h"
#include "app/TAboutForm.h"
#include "app/TTipForm.h"
#include "config/IniFile.h"
#include "config/ProgramFiles.h"
#include "config/ProgramSettings.h"
#include "config/ui/TSettingForm.h"
#include "merge/WindowMode.h"
#include "merge/ui/TMergeForm.h"
#include "split/ui/TSplitForm.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QEnterEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHoverEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

TMainForm *MainForm = nullptr;

const QString TMainForm::NoteSplit = QStringLiteral("Split large audio file to small pieces. Cut parts from an audio file");
const QString TMainForm::NoteMerge = QStringLiteral("Merge multiple audio files to one large file");
const QString TMainForm::NoteConvert = QStringLiteral("Convert audio formats among MP3,WAV,WMA,OGG");
const QString TMainForm::NoteSettings = QStringLiteral("Setup audio formats ( Frequency, Bitrate, Channels,etc)");
const QString TMainForm::NoteLink = QStringLiteral("Visit website");
const QString TMainForm::NoteHelp = QStringLiteral("Help contents, home page, about box and tip of the day");
const QString TMainForm::NoteExit = QStringLiteral("Exit");

namespace {

constexpr int kClientWidth = 477;
constexpr int kClientHeight = 356;

QPushButton *MakeButton(const char *name, const QString &caption, const QString &hint, const QIcon &icon,
                        const QRect &geometry, QWidget *parent)
{
    auto *button = new QPushButton(icon, caption, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIconSize(QSize(24, 24));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

// The titles' face is Comic Sans MS. Where it is missing, the platform's stand-in
// for it can be a calligraphic face that is unreadable at this size, so take
// an informal sans that exists, or the default sans. Bold keeps the navy
// legible on the blue at the top of the background.
QFont TitleFont()
{
    QFont font;
    for (const char *family : {"Comic Sans MS", "Comic Neue", "URW Gothic"}) {
        if (QFontDatabase::hasFamily(family)) {
            font.setFamily(family);
            break;
        }
    }
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

// Sets the launcher back to its normal state when it goes out of scope, also
// when the window it was minimised for could not be created or shown.
class RestoreOnExit {
public:
    explicit RestoreOnExit(QWidget *launcher) : launcher_(launcher) {}
    ~RestoreOnExit()
    {
        if (!launcher_)
            return;
        launcher_->setWindowState(launcher_->windowState() & ~Qt::WindowMinimized);
        // Window managers map a de-iconified window without giving it the
        // focus; the user has just closed the window that had it.
        launcher_->activateWindow();
    }
    RestoreOnExit(const RestoreOnExit &) = delete;
    RestoreOnExit &operator=(const RestoreOnExit &) = delete;

private:
    QPointer<QWidget> launcher_;
};

// The window stays the launcher's child (lifetime, centring, modality) but is
// no longer its transient on screen. Window managers iconify transients
// together with their owner, and some de-iconify the owner as soon as a modal
// transient of it maps; either way the launcher could not stay minimised
// while the window stays in view.
void DetachFromOwnerOnScreen(QWidget *window)
{
    window->winId(); // creates the native window, which sets the transient parent
    if (QWindow *handle = window->windowHandle())
        handle->setTransientParent(nullptr);
}

} // namespace

TMainForm::TMainForm(QWidget *parent) : QWidget(parent)
{
    setObjectName("MainForm");
    setWindowTitle("Quorvis");
    setWindowIcon(AppIcons::Product());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    QFont base("MS Sans Serif");
    base.setPixelSize(11);
    setFont(base);
    // The background must see the pointer move to clear the note line.
    setMouseTracking(true);

    QFont titleFont = TitleFont();
    QPalette navy = palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));

    Label1 = new QLabel("Quorvis ", this);
    Label1->setObjectName("Label1");
    Label1->setFont(titleFont);
    Label1->setPalette(navy);
    Label1->setGeometry(24, 20, 200, 26);

    Label3 = new QLabel("Converter ", this);
    Label3->setObjectName("Label3");
    Label3->setFont(titleFont);
    Label3->setPalette(navy);
    Label3->setGeometry(24, 46, 200, 26);

    Label2 = new LinkLabel(MakerHomePageText, palette().color(QPalette::WindowText), this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(24, 84, 200, 18);

    GroupBox1 = new QGroupBox("Select an operation", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(262, 12, 200, 238);

    QFont buttonFont = base;
    buttonFont.setPixelSize(13);
    const int bx = 16, bw = 168, bh = 44, by0 = 26, bstep = 52;
    SpeedBtnSplit = MakeButton("SpeedBtnSplit", "Split ", "Split audio files in small pieces", AppIcons::Split(),
                               QRect(bx, by0, bw, bh), GroupBox1);
    SpeedBtnMerge = MakeButton("SpeedBtnMerge", "Merge", "Merge audio files ", AppIcons::Merge(),
                               QRect(bx, by0 + bstep, bw, bh), GroupBox1);
    SpeedBtnConvert = MakeButton("SpeedBtnConvert", "Convert", "Convert between various audio formats",
                                 AppIcons::Convert(), QRect(bx, by0 + 2 * bstep, bw, bh), GroupBox1);
    SpeedBtnSettings = MakeButton("SpeedBtnSettings", "Settings", "Output settings", AppIcons::Settings(),
                                  QRect(bx, by0 + 3 * bstep, bw, bh), GroupBox1);
    for (QPushButton *b : {SpeedBtnSplit, SpeedBtnMerge, SpeedBtnConvert, SpeedBtnSettings})
        b->setFont(buttonFont);

    lbNote = new QLabel(this);
    lbNote->setObjectName("lbNote");
    lbNote->setGeometry(12, 262, 453, 18);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 288, kClientWidth - 16, 4);

    SpeedBtnHelp = MakeButton("SpeedBtnHelp", "Help ", "Help and information", AppIcons::Help(),
                              QRect(8, 304, 104, 40), this);
    SpeedBtnExit = MakeButton("SpeedBtnExit", "Exit   ", "Exit Quorvis", AppIcons::Exit(),
                              QRect(kClientWidth - 8 - 104, 304, 104, 40), this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    HelpContents1 = PopupMenu1->addAction("Help Contents...");
    PopupMenu1->addSeparator();
    Homepage1 = PopupMenu1->addAction("Homepage");
    PopupMenu1->addSeparator();
    About1 = PopupMenu1->addAction("About");
    TipoftheDay1 = PopupMenu1->addAction("Tip of the Day");

    TimerTip = new QTimer(this);
    TimerTip->setObjectName("TimerTip");
    TimerTip->setInterval(1000);
    TimerTip->setSingleShot(true);

    notes_ = {{SpeedBtnSplit, NoteSplit},   {SpeedBtnMerge, NoteMerge}, {SpeedBtnConvert, NoteConvert},
              {SpeedBtnSettings, NoteSettings}, {Label2, NoteLink},     {SpeedBtnHelp, NoteHelp},
              {SpeedBtnExit, NoteExit}};
    for (auto it = notes_.cbegin(); it != notes_.cend(); ++it)
        it.key()->installEventFilter(this);
    installEventFilter(this);

    connect(SpeedBtnSplit, &QPushButton::clicked, this, Guarded([this] { SpeedBtnSplitClick(); }));
    connect(SpeedBtnMerge, &QPushButton::clicked, this, Guarded([this] { SpeedBtnMergeClick(); }));
    connect(SpeedBtnConvert, &QPushButton::clicked, this, Guarded([this] { SpeedBtnConvertClick(); }));
    connect(SpeedBtnSettings, &QPushButton::clicked, this, Guarded([this] { SpeedBtnSettingsClick(); }));
    connect(SpeedBtnHelp, &QPushButton::clicked, this, Guarded([this] { SpeedBtnHelpClick(); }));
    connect(SpeedBtnExit, &QPushButton::clicked, this, Guarded([this] { SpeedBtnExitClick(); }));
    connect(HelpContents1, &QAction::triggered, this, Guarded([this] { HelpContents1Click(); }));
    connect(Homepage1, &QAction::triggered, this, Guarded([this] { Homepage1Click(); }));
    connect(About1, &QAction::triggered, this, Guarded([this] { About1Click(); }));
    connect(TipoftheDay1, &QAction::triggered, this, Guarded([this] { TipoftheDay1Click(); }));
    connect(Label2, &LinkLabel::clicked, this, Guarded([this] { Label2Click(); }));
    connect(TimerTip, &QTimer::timeout, this, Guarded([this] { TimerTipTimer(); }));

    CreateSplitForm = [](QWidget *owner) { return new TSplitForm(owner); };
    CreateMergeForm = [](QWidget *owner) { return new TMergeForm(owner); };
    CreateSettingForm = [](QWidget *owner) { return new TSettingForm(owner); };
    CreateAboutForm = [](QWidget *owner) { return new TAboutForm(owner); };
    CreateTipForm = [](QWidget *owner) { return new TTipForm(owner); };
    ShowModal = [](QDialog *window) { window->exec(); };

    // An error in the creation handler is shown, and the launcher still
    // appears with what the handler had done.
    RunGuarded([this] { FormCreate(); });
    TimerTip->start();
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::FormCreate()
{
    LoadProgramSettings();
    lbNote->setText(QString());
}

template <class Form>
void TMainForm::OpenModal(Form *&reference, const std::function<Form *(QWidget *)> &create, bool minimiseLauncher)
{
    // Armed before anything can fail, so the launcher always comes back.
    RestoreOnExit restore(minimiseLauncher ? this : nullptr);
    if (!reference)
        reference = create(this);
    QPointer<QDialog> window(reference);
    if (window->isVisible())
        window->hide();
    // A dialog opened over the work window (the tip's timer) must leave the
    // reference to it in place when it closes: the work window is still open.
    const QPointer<QDialog> outerWorkWindow = workWindow_;
    if (minimiseLauncher) {
        DetachFromOwnerOnScreen(window);
        setWindowState(windowState() | Qt::WindowMinimized);
        workWindow_ = window;
    }
    ShowModal(window);
    workWindow_ = outerWorkWindow;
    // Every opening starts from a fresh window: if closing did not destroy
    // it, destroy it now.
    delete window.data();
    reference = nullptr;
}

void TMainForm::SpeedBtnSplitClick()
{
    OpenModal(SplitForm, CreateSplitForm, true);
}

void TMainForm::SpeedBtnMergeClick()
{
    WindowMode = LauncherMode::Merge;
    OpenModal(MergeForm, CreateMergeForm, true);
}

void TMainForm::SpeedBtnConvertClick()
{
    WindowMode = LauncherMode::Convert;
    OpenModal(MergeForm, CreateMergeForm, true);
}

void TMainForm::SpeedBtnSettingsClick()
{
    OpenModal(SettingForm, CreateSettingForm, false);
}

void TMainForm::SpeedBtnHelpClick()
{
    PopupMenu1->popup(QCursor::pos());
}

void TMainForm::SpeedBtnExitClick()
{
    close();
}

QString TMainForm::HelpFilePath()
{
#ifdef Q_OS_WIN
    return ProgramDataFile("quorvis.chm");
#else
    return ProgramDataFile("quorvis-help.html");
#endif
}

void TMainForm::HelpContents1Click()
{
    // A missing help file does nothing visible.
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path))
        Platform().OpenPathOrUrl(path);
}

void TMainForm::Homepage1Click()
{
    Platform().OpenPathOrUrl(MakerHomePage);
}

void TMainForm::About1Click()
{
    OpenModal(AboutForm, CreateAboutForm, false);
}

void TMainForm::TipoftheDay1Click()
{
    OpenModal(TipForm, CreateTipForm, false);
}

void TMainForm::Label2Click()
{
    Platform().OpenPathOrUrl(MakerHomePage);
}

void TMainForm::TimerTipTimer()
{
    // One tick for the whole run.
    TimerTip->stop();
    // Opened from the menu before the tick: the user is already reading a tip.
    if (TipForm)
        return;
    if (ReadIniInt(ConfigFilePath(), "tips", "showtip", 1) == 1)
        OpenModal(TipForm, CreateTipForm, false);
}

void TMainForm::SetNote(const QString &text)
{
    lbNote->setText(text);
    lbNote->setVisible(true);
}

void TMainForm::ClearNote()
{
    lbNote->setText(QString());
    lbNote->setVisible(false);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Enter && type != QEvent::HoverMove && type != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);

    if (watched == this) {
        // Only the bare background clears the note; the group box, the title
        // labels and the note line itself leave it as it is.
        QPointF pos;
        if (type == QEvent::Enter)
            pos = static_cast<QEnterEvent *>(event)->position();
        else if (type == QEvent::HoverMove)
            pos = static_cast<QHoverEvent *>(event)->position();
        else
            pos = static_cast<QMouseEvent *>(event)->position();
        if (!childAt(pos.toPoint()))
            ClearNote();
    } else if (const auto it = notes_.constFind(watched); it != notes_.cend()) {
        SetNote(it.value());
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    if (!centred_ && isWindow()) {
        centred_ = true;
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    PaintBackground();
    QWidget::showEvent(event);
}

void TMainForm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || isMinimized() || !workWindow_ || !workWindow_->isVisible())
        return;
    if (!static_cast<QWindowStateChangeEvent *>(event)->oldState().testFlag(Qt::WindowMinimized))
        return;
    // Brought back from the task bar while its work window is iconified: the
    // launcher is blocked by that window, so it has to come back too, on top.
    workWindow_->setWindowState(workWindow_->windowState() & ~Qt::WindowMinimized);
    workWindow_->raise();
    workWindow_->activateWindow();
}

void TMainForm::PaintBackground()
{
    // 256 bands, each from row i to row 2(i+1) (exclusive) in (0, i, 255),
    // drawn in order so each covers the lower part of the one before: row y
    // ends up (0, y, 255) for y < 256, and cyan below.
    background_ = QPixmap(size());
    background_.fill(QColor(0, 255, 255));
    QPainter p(&background_);
    for (int i = 0; i <= 255; ++i)
        p.fillRect(QRect(0, i, width(), 2 * (i + 1) - i), QColor(0, i, 255));
    update();
}

void TMainForm::paintEvent(QPaintEvent *)
{
    if (background_.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
}
