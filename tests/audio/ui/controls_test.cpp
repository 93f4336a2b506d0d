#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

TEST(TimeDisplay, TotalInMillisecondsSplitsIntoItsParts)
{
    TNCTTimeDisplay2 d;
    d.setMilliseconds((3600 + 2 * 60 + 3) * 1000);
    EXPECT_EQ(d.Hours(), 1);
    EXPECT_EQ(d.Minutes(), 2);
    EXPECT_EQ(d.Seconds(), 3);
    EXPECT_EQ(d.text(), "1:02:03");
}

TEST(TimeDisplay, UnderAMinuteAfterZeroingSecondsAndMinutes)
{
    TNCTTimeDisplay2 d;
    d.setMilliseconds((3600 + 2 * 60 + 3) * 1000);
    d.setSeconds(0);
    d.setMinutes(0);
    d.setMilliseconds(59999);
    EXPECT_EQ(d.Minutes(), 0);
    EXPECT_EQ(d.Seconds(), 59);
    EXPECT_EQ(d.Hours(), 0);
    EXPECT_EQ(d.text(), "0:00:59");
}

TEST(TimeDisplay, WritingOneFieldLeavesTheOthers)
{
    TNCTTimeDisplay2 d;
    d.setMilliseconds(((5 * 60 + 7) * 60 + 9) * 1000 + 250);
    d.setMinutes(0);
    EXPECT_EQ(d.Hours(), 5);
    EXPECT_EQ(d.Minutes(), 0);
    EXPECT_EQ(d.Seconds(), 9);
    EXPECT_EQ(d.Milliseconds(), (5 * 3600 + 9) * 1000 + 250);
    d.setSeconds(0);
    d.setHours(0);
    EXPECT_EQ(d.text(), "0:00:00");
}

TEST(TimeDisplay, LongAndNegativeTotals)
{
    TNCTTimeDisplay2 d;
    d.setMilliseconds(int64_t(100) * 3600 * 1000 + 1);
    EXPECT_EQ(d.Hours(), 100);
    EXPECT_EQ(d.text(), "100:00:00");
    d.setMilliseconds(-5);
    EXPECT_EQ(d.Milliseconds(), 0);
}

TEST(PlayButton, ClicksReportTheButtonNumberAndKeepTheShownState)
{
    TNCTPlayButtonB2 strip;
    strip.show();
    QSignalSpy clicks(&strip, &TNCTPlayButtonB2::OnMouseClick);
    for (int b = 1; b <= 3; ++b)
        QTest::mouseClick(strip.button(b), Qt::LeftButton);
    ASSERT_EQ(clicks.size(), 3);
    EXPECT_EQ(clicks[0][0].toInt(), 1);
    EXPECT_EQ(clicks[1][0].toInt(), 2);
    EXPECT_EQ(clicks[2][0].toInt(), 3);
    // Nobody changed the state, so the strip still shows stopped.
    EXPECT_EQ(strip.look(), TNCTPlayButtonB2::Look::Stopped);
    EXPECT_FALSE(strip.button(1)->isChecked());
    EXPECT_TRUE(strip.button(3)->isChecked());
    EXPECT_EQ(strip.button(0), nullptr);
}

TEST(PlayButton, ShowsTheStateItIsTold)
{
    TNCTPlayButtonB2 strip;
    strip.ShowPlaying();
    EXPECT_TRUE(strip.button(1)->isChecked());
    EXPECT_FALSE(strip.button(2)->isChecked());
    EXPECT_FALSE(strip.button(3)->isChecked());
    strip.ShowPaused();
    EXPECT_FALSE(strip.button(1)->isChecked());
    EXPECT_TRUE(strip.button(2)->isChecked());
    strip.ShowStopped();
    EXPECT_TRUE(strip.button(3)->isChecked());
    EXPECT_EQ(strip.look(), TNCTPlayButtonB2::Look::Stopped);
}

namespace {
struct SliderEvents {
    QStringList log;
    explicit SliderEvents(TNCTSliderB2 &s)
    {
        QObject::connect(&s, &TNCTSliderB2::OnMouseDown, [this] { log << "down"; });
        QObject::connect(&s, &TNCTSliderB2::OnMouseUp, [this] { log << "up"; });
        QObject::connect(&s, &TNCTSliderB2::OnValueChange, [this](int v) { log << QString("value %1").arg(v); });
    }
};
} // namespace

TEST(Slider, RangeIsFixedAndCodeWritesSilently)
{
    TNCTSliderB2 s;
    SliderEvents ev(s);
    EXPECT_EQ(s.minimum(), 0);
    EXPECT_EQ(s.maximum(), 1000);
    s.setValue(400);
    EXPECT_EQ(s.Value(), 400);
    s.setValue(5000);
    EXPECT_EQ(s.Value(), 1000);
    EXPECT_TRUE(ev.log.isEmpty());
}

TEST(Slider, GroovePressJumpsThereAndReleaseEndsTheDrag)
{
    TNCTSliderB2 s;
    s.resize(400, 30);
    s.show();
    SliderEvents ev(s);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(300, 15));
    ASSERT_GE(ev.log.size(), 2);
    EXPECT_EQ(ev.log.first(), "down");
    EXPECT_TRUE(ev.log[1].startsWith("value "));
    EXPECT_GT(s.Value(), 600);
    EXPECT_LT(s.Value(), 850);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(300, 15));
    EXPECT_EQ(ev.log.last(), "up");
    EXPECT_EQ(ev.log.count("down"), 1);
    EXPECT_EQ(ev.log.count("up"), 1);
}

TEST(Slider, DraggingReportsValuesBetweenPressAndRelease)
{
    TNCTSliderB2 s;
    s.resize(400, 30);
    s.show();
    SliderEvents ev(s);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(100, 15));
    QTest::mouseMove(&s, QPoint(200, 15));
    QTest::mouseMove(&s, QPoint(450, 15));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(450, 15));
    EXPECT_EQ(ev.log.first(), "down");
    EXPECT_EQ(ev.log.last(), "up");
    EXPECT_EQ(s.Value(), 1000);
    EXPECT_TRUE(ev.log.contains("value 1000"));
}

TEST(Slider, KeyStepIsAPressChangeAndRelease)
{
    TNCTSliderB2 s;
    s.show();
    s.setValue(500);
    SliderEvents ev(s);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_EQ(ev.log, QStringList({"down", QString("value %1").arg(500 + s.singleStep()), "up"}));
    ev.log.clear();
    s.setValue(1000);
    QTest::keyClick(&s, Qt::Key_Right); // already at the end
    for (const QString &e : ev.log)
        EXPECT_FALSE(e.startsWith("value")) << e.toStdString();
    EXPECT_EQ(ev.log.count("down"), ev.log.count("up"));
}
