#include "app/LinkLabel.h"
#include "app/Maker.h"
#include "app/TAboutForm.h"
#include "app/TMainForm.h"
#include "app/TTipForm.h"
#include "config/ui/TSettingForm.h"
#include "merge/WindowMode.h"
#include "merge/ui/TMergeForm.h"
#include "split/ui/TSplitForm.h"
#include "tests/app/AppTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>
#include <memory>
#include <stdexcept>

namespace {

// One opening of a secondary window, as the launcher showed it.
struct Opening {
    QString className;
    bool launcherMinimised;
    LauncherMode mode;
};

class Launcher : public ProgramDirTest {
protected:
    // The launcher with its modal runs replaced by a recorder: a window is
    // "open" while ShowModal runs and closed when it returns.
    std::unique_ptr<TMainForm> Make()
    {
        auto form = std::make_unique<TMainForm>();
        form->TimerTip->stop();
        TMainForm *launcher = form.get();
        form->ShowModal = [this, launcher](QDialog *window) {
            openings.push_back({window->metaObject()->className(),
                                launcher->windowState().testFlag(Qt::WindowMinimized), WindowMode});
        };
        return form;
    }

    // Moves the pointer over `pos` of `widget` through the window system, so
    // that Qt itself decides which widgets get enter, leave and move events.
    static void PointAt(QWidget *widget, QPoint pos = QPoint(2, 2))
    {
        QWidget *window = widget->window();
        QTest::mouseMove(window->windowHandle(), widget->mapTo(window, pos));
    }

    // Shows the launcher with the pointer come in over its background, as
    // from outside: Qt sends leave events to the widget the pointer was last
    // over, and drops a move to where the pointer already is (the previous
    // test's window may have left it there), hence two moves.
    static void ShowUnderThePointer(TMainForm *f)
    {
        f->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        PointAt(f, QPoint(1, 1));
        PointAt(f, Background());
    }

    // A point of the launcher's own background: between the titles and the group box.
    static QPoint Background() { return QPoint(240, 150); }

    std::vector<Opening> openings;
};

TEST_F(Launcher, ShowsTheTextsOfItsControls)
{
    auto f = Make();
    EXPECT_EQ(f->windowTitle(), "Quorvis");
    EXPECT_EQ(f->size(), QSize(477, 356));
    EXPECT_EQ(f->minimumSize(), f->maximumSize());
    EXPECT_TRUE(f->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(f->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(f->Label1->text(), "Quorvis ");
    EXPECT_EQ(f->Label3->text(), "Converter ");
    EXPECT_EQ(f->Label2->text(), MakerHomePageText);
    EXPECT_EQ(f->GroupBox1->title(), "Select an operation");

    const struct {
        QPushButton *button;
        const char *caption;
        const char *hint;
    } buttons[] = {
        {f->SpeedBtnSplit, "Split ", "Split audio files in small pieces"},
        {f->SpeedBtnMerge, "Merge", "Merge audio files "},
        {f->SpeedBtnConvert, "Convert", "Convert between various audio formats"},
        {f->SpeedBtnSettings, "Settings", "Output settings"},
        {f->SpeedBtnExit, "Exit   ", "Exit Quorvis"},
    };
    for (const auto &b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(b.button->toolTip(), b.hint);
        EXPECT_FALSE(b.button->icon().isNull());
    }
    EXPECT_EQ(f->SpeedBtnHelp->text(), "Help ");
    for (QPushButton *b : {f->SpeedBtnSplit, f->SpeedBtnMerge, f->SpeedBtnConvert, f->SpeedBtnSettings})
        EXPECT_EQ(b->parentWidget(), f->GroupBox1);

    QStringList items;
    for (QAction *a : f->PopupMenu1->actions())
        items << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(items, QStringList({"Help Contents...", "-", "Homepage", "-", "About", "Tip of the Day"}));
    EXPECT_EQ(f->lbNote->text(), "");
}

TEST_F(Launcher, CreationLoadsTheSettingsFile)
{
    WriteFile("setup.ini", "[general]\nsaveformat=ogg\n[mp3]\nbitrate=$C0\n");
    auto f = Make();
    EXPECT_EQ(ProgramSettings.saveformat, "ogg");
    EXPECT_EQ(ProgramSettings.mp3_bitrate, 192);
}

TEST_F(Launcher, TheTipOpensByItselfAfterStartUpOnce)
{
    WriteFile("tips.txt", "One\nTwo\n");
    TMainForm f; // its timer left running, as at start-up
    f.ShowModal = [this](QDialog *window) { openings.push_back({window->metaObject()->className(), false, WindowMode}); };
    ASSERT_TRUE(QTest::qWaitFor([this] { return !openings.empty(); }, 30000));
    EXPECT_EQ(openings[0].className, "TTipForm");
    EXPECT_FALSE(f.TimerTip->isActive()) << "the timer would open the tip again";
    EXPECT_EQ(openings.size(), 1u);
}

class StartupTip : public Launcher, public ::testing::WithParamInterface<std::pair<const char *, bool>> {};

TEST_P(StartupTip, ShowsTheTipOnlyWhenShowtipIsExactlyOne)
{
    const auto [setup, shown] = GetParam();
    if (*setup)
        WriteFile("setup.ini", setup);
    WriteFile("tips.txt", "One\nTwo\n");
    auto f = Make();
    f->TimerTipTimer();
    ASSERT_EQ(openings.size(), shown ? 1u : 0u);
    if (shown) {
        EXPECT_EQ(openings[0].className, "TTipForm");
        EXPECT_FALSE(openings[0].launcherMinimised);
    }
    EXPECT_EQ(TipForm, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Showtip, StartupTip,
                         ::testing::Values(std::pair{"", true}, std::pair{"[tips]\nshowtip=1\n", true},
                                           std::pair{"[tips]\nshowtip=0\n", false},
                                           std::pair{"[tips]\nshowtip=5\n", false},
                                           std::pair{"[tips]\nshowtip=0x1\n", true}));

TEST_F(Launcher, TipTickWhileTheTipIsOpenFromTheMenuOpensNoSecondOne)
{
    WriteFile("tips.txt", "One\nTwo\n");
    auto f = Make();
    TMainForm *launcher = f.get();
    f->ShowModal = [this, launcher](QDialog *window) {
        openings.push_back({window->metaObject()->className(), false, WindowMode});
        launcher->TimerTipTimer();
    };
    f->TipoftheDay1->trigger();
    EXPECT_EQ(openings.size(), 1u);
}

TEST_F(Launcher, TipOfTheDayMenuOpensTheTipWhateverShowtipSays)
{
    WriteFile("setup.ini", "[tips]\nshowtip=0\n");
    auto f = Make();
    f->TipoftheDay1->trigger();
    ASSERT_EQ(openings.size(), 1u);
    EXPECT_EQ(openings[0].className, "TTipForm");
}

TEST_F(Launcher, SplitMinimisesTheLauncherWhileTheWizardIsOpen)
{
    auto f = Make();
    f->SpeedBtnSplitClick();
    ASSERT_EQ(openings.size(), 1u);
    EXPECT_EQ(openings[0].className, "TSplitForm");
    EXPECT_TRUE(openings[0].launcherMinimised);
    EXPECT_FALSE(f->windowState().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(SplitForm, nullptr) << "the closed window is gone";
}

TEST_F(Launcher, SettingsAboutAndTipLeaveTheLauncherAsItIs)
{
    auto f = Make();
    f->SpeedBtnSettingsClick();
    f->About1->trigger();
    f->TipoftheDay1->trigger();
    ASSERT_EQ(openings.size(), 3u);
    EXPECT_EQ(openings[0].className, "TSettingForm");
    EXPECT_EQ(openings[1].className, "TAboutForm");
    EXPECT_EQ(openings[2].className, "TTipForm");
    for (const Opening &o : openings)
        EXPECT_FALSE(o.launcherMinimised) << o.className.toStdString();
    EXPECT_EQ(SettingForm, nullptr);
    EXPECT_EQ(AboutForm, nullptr);
    EXPECT_EQ(TipForm, nullptr);
}

TEST_F(Launcher, MergeThenConvertOpenTwoFreshWindowsInTheirModes)
{
    auto f = Make();
    std::vector<TMergeForm *> created;
    f->CreateMergeForm = [&created](QWidget *owner) {
        created.push_back(new TMergeForm(owner));
        EXPECT_EQ(created.back()->parent(), owner);
        return created.back();
    };
    f->SpeedBtnMergeClick();
    f->SpeedBtnConvertClick();
    EXPECT_EQ(created.size(), 2u);
    ASSERT_EQ(openings.size(), 2u);
    EXPECT_EQ(openings[0].mode, LauncherMode::Merge);
    EXPECT_EQ(openings[1].mode, LauncherMode::Convert);
    EXPECT_TRUE(openings[0].launcherMinimised && openings[1].launcherMinimised);
    EXPECT_EQ(WindowMode, LauncherMode::Convert);
    EXPECT_EQ(MergeForm, nullptr);
}

// Window managers hide a window's transients when they iconify it (and some
// bring the window back when a modal transient of it maps), so a work window
// that stays transient for the minimised launcher would vanish with it.
TEST_F(Launcher, WorkWindowsAreTheLaunchersChildrenButNotItsTransients)
{
    auto f = Make();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.get()));
    struct Shown {
        QString className;
        QObject *owner;
        QWindow *transientParent;
        bool launcherMinimised;
    };
    std::vector<Shown> shown;
    TMainForm *launcher = f.get();
    f->ShowModal = [&shown, launcher](QDialog *window) {
        window->show();
        ASSERT_NE(window->windowHandle(), nullptr);
        shown.push_back({window->metaObject()->className(), window->parent(),
                         window->windowHandle()->transientParent(),
                         launcher->windowState().testFlag(Qt::WindowMinimized)});
    };
    f->SpeedBtnSplitClick();
    f->SpeedBtnMergeClick();
    f->SpeedBtnConvertClick();
    f->SpeedBtnSettingsClick();
    ASSERT_EQ(shown.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(shown[i].className.toStdString());
        EXPECT_EQ(shown[i].owner, launcher);
        EXPECT_EQ(shown[i].transientParent, nullptr);
        EXPECT_TRUE(shown[i].launcherMinimised);
    }
    // The settings dialog leaves the launcher in view and stays on top of it.
    EXPECT_EQ(shown[3].className, "TSettingForm");
    EXPECT_EQ(shown[3].transientParent, launcher->windowHandle());
    EXPECT_FALSE(shown[3].launcherMinimised);
    EXPECT_FALSE(f->windowState().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(SplitForm, nullptr);
    EXPECT_EQ(MergeForm, nullptr);
    EXPECT_EQ(SettingForm, nullptr);
}

// Both windows iconified from the work window's minimise button; a click on
// the launcher's task bar entry must not leave it blocked with nothing on top.
TEST_F(Launcher, RestoringTheLauncherBringsBackItsIconifiedWorkWindow)
{
    auto f = Make();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.get()));
    TMainForm *launcher = f.get();
    bool workWindowBack = false;
    f->ShowModal = [launcher, &workWindowBack](QDialog *window) {
        window->show();
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(launcher->isMinimized());
        launcher->setWindowState(launcher->windowState() & ~Qt::WindowMinimized);
        workWindowBack = !window->isMinimized() && window->isVisible();
    };
    f->SpeedBtnMergeClick();
    EXPECT_TRUE(workWindowBack);
    EXPECT_FALSE(f->isMinimized());

    // Once the window has closed, minimising and restoring the launcher is its own business.
    f->setWindowState(Qt::WindowMinimized);
    f->setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(f->isMinimized());
}

// The tip's timer can open the tip over the wizard; once the tip is closed,
// the task bar must still bring the wizard back with the launcher.
TEST_F(Launcher, ATipOverTheWorkWindowLeavesItReachableFromTheTaskBar)
{
    WriteFile("tips.txt", "One\nTwo\n");
    auto f = Make();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.get()));
    TMainForm *launcher = f.get();
    int tips = 0;
    bool workWindowBack = false;
    f->ShowModal = [launcher, &tips, &workWindowBack](QDialog *window) {
        if (qobject_cast<TTipForm *>(window)) {
            ++tips; // read and closed at once
            return;
        }
        window->show();
        launcher->TimerTipTimer();
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(launcher->isMinimized());
        launcher->setWindowState(launcher->windowState() & ~Qt::WindowMinimized);
        workWindowBack = !window->isMinimized() && window->isVisible();
    };
    f->SpeedBtnSplitClick();
    EXPECT_EQ(tips, 1);
    EXPECT_TRUE(workWindowBack);
}

TEST_F(Launcher, ModalRunEndsWhenTheWindowClosesAndDestroysIt)
{
    WriteFile("tips.txt", "One\n");
    TMainForm f;
    f.TimerTip->stop();
    f.show();
    for (const auto &[item, className] : {std::pair{f.About1, "TAboutForm"}, std::pair{f.TipoftheDay1, "TTipForm"}}) {
        QPointer<QWidget> seen;
        QString shown;
        // Closes the modal window as the user would, once its loop runs.
        QTimer::singleShot(0, &f, [&seen, &shown] {
            seen = QApplication::activeModalWidget();
            if (seen) {
                shown = seen->metaObject()->className();
                seen->close();
            }
        });
        item->trigger();
        EXPECT_EQ(shown, className);
        EXPECT_TRUE(seen.isNull()) << "the closed window is destroyed";
    }
    EXPECT_EQ(AboutForm, nullptr);
    EXPECT_EQ(TipForm, nullptr);
    EXPECT_FALSE(QFileInfo::exists(PathOf("setup.ini"))) << "the close box stores nothing";
}

TEST_F(Launcher, FailedWindowCreationRestoresTheLauncherAndReachesTheErrorBox)
{
    auto f = Make();
    f->show();
    f->CreateSplitForm = [](QWidget *) -> TSplitForm * { throw std::runtime_error("Cannot open the wizard"); };
    EXPECT_THROW(f->SpeedBtnSplitClick(), std::runtime_error);
    EXPECT_FALSE(f->windowState().testFlag(Qt::WindowMinimized));

    // Through a real click the error ends in the error box; the launcher goes on.
    QTest::mouseClick(f->SpeedBtnSplit, Qt::LeftButton);
    EXPECT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_EQ(platform.messages(), QStringList{"Cannot open the wizard."});
    EXPECT_FALSE(f->windowState().testFlag(Qt::WindowMinimized));
    EXPECT_TRUE(f->isEnabled());

    f->CreateSplitForm = [](QWidget *owner) { return new TSplitForm(owner); };
    f->SpeedBtnSplitClick();
    ASSERT_EQ(openings.size(), 1u);
    EXPECT_EQ(openings[0].className, "TSplitForm");
}

TEST_F(Launcher, ErrorWhileTheWindowIsShownAlsoRestoresTheLauncher)
{
    auto f = Make();
    f->ShowModal = [](QDialog *) { throw std::runtime_error("Device lost"); };
    EXPECT_THROW(f->SpeedBtnConvertClick(), std::runtime_error);
    EXPECT_FALSE(f->windowState().testFlag(Qt::WindowMinimized));
}

TEST_F(Launcher, NoteLineFollowsThePointerAndSurvivesTheGroupBox)
{
    const QString split = "Split large audio file to small pieces. Cut parts from an audio file";
    auto f = Make();
    ShowUnderThePointer(f.get());
    PointAt(f->SpeedBtnSplit);
    EXPECT_EQ(f->lbNote->text(), split);
    EXPECT_TRUE(f->lbNote->isVisible());

    // Leaving the button over the group box's margin or a title is not the background.
    PointAt(f->GroupBox1, QPoint(4, 10));
    PointAt(f->Label1);
    PointAt(f->GroupBox1, QPoint(f->GroupBox1->width() / 2, f->GroupBox1->height() - 4));
    EXPECT_EQ(f->lbNote->text(), split);
    EXPECT_TRUE(f->lbNote->isVisible());

    PointAt(f.get(), Background());
    EXPECT_EQ(f->lbNote->text(), "");
    EXPECT_FALSE(f->lbNote->isVisible());

    const std::pair<QWidget *, QString> notes[] = {
        {f->SpeedBtnMerge, "Merge multiple audio files to one large file"},
        {f->SpeedBtnConvert, "Convert audio formats among MP3,WAV,WMA,OGG"},
        {f->SpeedBtnSettings, "Setup audio formats ( Frequency, Bitrate, Channels,etc)"},
        {f->Label2, "Visit website"},
        {f->SpeedBtnExit, "Exit"},
        {f->SpeedBtnHelp, "Help contents, home page, about box and tip of the day"},
    };
    for (const auto &[control, note] : notes) {
        PointAt(control);
        EXPECT_EQ(f->lbNote->text(), note) << control->objectName().toStdString();
        PointAt(f.get(), Background());
        EXPECT_EQ(f->lbNote->text(), "");
    }
}

TEST_F(Launcher, LinkLabelTurnsRedUnderThePointerAndBlueAfter)
{
    auto f = Make();
    ShowUnderThePointer(f.get());
    const QColor start = f->palette().color(QPalette::WindowText);
    EXPECT_EQ(f->Label2->palette().color(QPalette::WindowText), start);
    EXPECT_FALSE(f->Label2->font().underline());
    EXPECT_EQ(f->Label2->cursor().shape(), Qt::PointingHandCursor);

    PointAt(f->Label2);
    EXPECT_EQ(f->Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(f->Label2->font().underline());
    PointAt(f.get(), Background());
    EXPECT_EQ(f->Label2->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_FALSE(f->Label2->font().underline());
}

TEST_F(Launcher, HomePageLinksOpenTheMakersSite)
{
    auto f = Make();
    f->Homepage1->trigger();
    QTest::mouseClick(f->Label2, Qt::LeftButton);
    ASSERT_EQ(platform.callsOf("openpath").size(), 2);
    for (const auto &call : platform.callsOf("openpath"))
        EXPECT_EQ(call.text, MakerHomePage);
}

TEST_F(Launcher, HelpOpensTheHelpFileOnlyWhenItExists)
{
    auto f = Make();
    f->HelpContents1->trigger();
    EXPECT_TRUE(platform.calls.isEmpty()) << "a missing help file does nothing visible";

    const QString name = QFileInfo(TMainForm::HelpFilePath()).fileName();
    WriteFile(name, "<html></html>");
    f->HelpContents1->trigger();
    ASSERT_EQ(platform.callsOf("openpath").size(), 1);
    EXPECT_EQ(platform.callsOf("openpath")[0].text, TMainForm::HelpFilePath());
    EXPECT_EQ(TMainForm::HelpFilePath(), ProgramDirectory() + name);
}

TEST_F(Launcher, BackgroundRunsFromBlueToCyanAndStaysCyanBelow)
{
    auto f = Make();
    f->show();
    const QImage image = f->grab().toImage();
    const int x = Background().x();
    for (int y : {0, 1, 100, 200, 255})
        EXPECT_EQ(image.pixelColor(x, y), QColor(0, y, 255)) << "row " << y;
    for (int y : {256, 300, 355})
        EXPECT_EQ(image.pixelColor(x, y), QColor(0, 255, 255)) << "row " << y;
}

TEST_F(Launcher, ExitClosesTheLauncher)
{
    auto f = Make();
    f->show();
    QTest::mouseClick(f->SpeedBtnExit, Qt::LeftButton);
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(QFileInfo::exists(PathOf("setup.ini"))) << "nothing is saved at exit";
}

} // namespace
