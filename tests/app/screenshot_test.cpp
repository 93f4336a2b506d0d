#include "app/TAboutForm.h"
#include "app/TMainForm.h"
#include "app/TTipForm.h"
#include "tests/app/AppTestSupport.h"

#include <QCursor>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

namespace {

// Saves pictures of the launcher, the tip of the day and the about box for a
// visual check, when QUORVIS_SCREENSHOT_DIR names a folder. Run it on a real
// display (e.g. under xvfb-run with QT_QPA_PLATFORM=xcb) to see real fonts.
TEST(Screenshots, SavedOnRequest)
{
    const QString out = qEnvironmentVariable("QUORVIS_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "set QUORVIS_SCREENSHOT_DIR to save screenshots";
    ASSERT_TRUE(QDir().mkpath(out));
    SetProgramDirectoryForTesting(QUORVIS_SOURCE_DIR "/resources");
    ScriptedPlatform platform;

    TMainForm launcher;
    launcher.TimerTip->stop();
    launcher.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&launcher));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(launcher.SpeedBtnSplit, &enter);
    EXPECT_TRUE(launcher.grab().save(out + "/qv-launcher.png"));

    TTipForm tip(&launcher);
    tip.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&tip));
    EXPECT_TRUE(tip.grab().save(out + "/qv-tip.png"));
    tip.hide();

    QCursor::setPos(0, 0); // keep the pointer off the links
    TAboutForm about(&launcher);
    about.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_TRUE(about.grab().save(out + "/qv-about.png"));
    about.hide();
    SetProgramDirectoryForTesting(QString());
}

} // namespace
