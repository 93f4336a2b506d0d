#include "audio/MulDiv.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"
#include "audio/ui/PreviewPanel.h"
#include "tests/common/AudioFixtures.h"

#include <QMediaDevices>
#include <QAudioDevice>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kWaitMs = 30000;

// One window's worth of preview parts, wired as a window wires them.
struct Window {
    TAudioFile2 FileR;
    TAudioInformation2 info;
    TAudioPlayer2 player;
    TNCTPlayButtonB2 strip;
    TNCTSliderB2 slider;
    TNCTTimeDisplay2 display;
    QStringList status;
    QList<int> sliderValues; // every value the slider took, from code or user
    PreviewPanel panel;

    explicit Window(PreviewVariant v)
        : panel(v, FileR, info, player, &strip, &slider, v == PreviewVariant::SplitWizard ? &display : nullptr,
                [this](const QString &s) { status << s; })
    {
        slider.resize(400, 30);
        strip.show();
        slider.show();
        QObject::connect(&slider, &QSlider::valueChanged, [this](int value) { sliderValues << value; });
    }
    QString lastStatus() const { return status.isEmpty() ? QString() : status.last(); }
    void click(int button) { QTest::mouseClick(strip.button(button), Qt::LeftButton); }
    // Where the slider's x coordinate lands a press.
    QPoint sliderAt(double fraction) const { return {int(fraction * slider.width()), slider.height() / 2}; }
    bool waitFor(const std::function<bool()> &pred) { return QTest::qWaitFor(pred, kWaitMs); }
    int64_t total() const { return info.TotalSamples(); }
};

class PreviewFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<QTemporaryDir>();
        threeSeconds = dir->filePath("three.wav");
        oneSecond = dir->filePath("one.wav");
        ninety = dir->filePath("ninety.wav");
        fixtures::MakeTone(threeSeconds, 3.0, 44100, 2, {"-c:a", "pcm_s16le"});
        fixtures::MakeTone(oneSecond, 1.0, 22050, 1, {"-c:a", "pcm_s16le"});
        fixtures::MakeTone(ninety, 90.0, 8000, 1, {"-c:a", "pcm_s16le"});
    }
    static void TearDownTestSuite() { dir.reset(); }

    static std::unique_ptr<QTemporaryDir> dir;
    static QString threeSeconds, oneSecond, ninety;
};
std::unique_ptr<QTemporaryDir> PreviewFiles::dir;
QString PreviewFiles::threeSeconds, PreviewFiles::oneSecond, PreviewFiles::ninety;

class PlayingPreview : public PreviewFiles {
protected:
    void SetUp() override
    {
        if (QMediaDevices::defaultAudioOutput().isNull())
            GTEST_SKIP() << "no sound server (start the PulseAudio null sink)";
    }
    // A split-wizard panel on `file`, its information loaded as step 1 does.
    std::unique_ptr<Window> splitWindow(const QString &file)
    {
        auto w = std::make_unique<Window>(PreviewVariant::SplitWizard);
        w->info.LoadFile(file);
        w->panel.PreviewFile = file;
        return w;
    }
    static bool playing(const Window &w) { return w.panel.PreviewActive && !w.panel.PreviewPaused; }
};

} // namespace

TEST_F(PreviewFiles, ReaderAndInformationAgreeOnTheGeneratedFile)
{
    TAudioFile2 r;
    r.OpenFile(threeSeconds, 0, 1);
    ASSERT_EQ(r.LastError(), 0) << r.LastErrorText().toStdString();
    EXPECT_EQ(r.Length(), 3 * 44100);
    TAudioInformation2 info;
    info.LoadFile(threeSeconds);
    EXPECT_EQ(info.TotalSamples(), 3 * 44100);
}

TEST_F(PreviewFiles, PauseAndStopWhileIdleDoNothing)
{
    Window w(PreviewVariant::SplitWizard);
    w.panel.PreviewFile = threeSeconds;
    w.click(2);
    w.click(3);
    EXPECT_FALSE(w.panel.PreviewActive);
    EXPECT_TRUE(w.status.isEmpty());
    EXPECT_EQ(w.strip.look(), TNCTPlayButtonB2::Look::Stopped);
    w.panel.NCTPlayButtonB1MouseClick(7); // unknown buttons are ignored
    EXPECT_TRUE(w.status.isEmpty());
}

TEST_F(PreviewFiles, AFileThatCannotBeOpenedChangesNothing)
{
    Window w(PreviewVariant::SplitWizard);
    w.panel.PreviewFile = dir->filePath("missing.wav");
    w.slider.setValue(300);
    w.click(1);
    EXPECT_FALSE(w.panel.PreviewActive);
    EXPECT_TRUE(w.status.isEmpty());
    EXPECT_EQ(w.slider.Value(), 300);
    EXPECT_EQ(w.strip.look(), TNCTPlayButtonB2::Look::Stopped);
}

TEST_F(PreviewFiles, MergeWindowPlayWithoutAFileStops)
{
    Window w(PreviewVariant::MergeWindow);
    w.slider.setValue(250);
    w.click(1);
    EXPECT_FALSE(w.panel.PreviewActive);
    EXPECT_EQ(w.status, QStringList{"Stop"});
    EXPECT_EQ(w.slider.Value(), 0);
}

TEST_F(PreviewFiles, IdleSplitSliderMovesTheTimeDisplay)
{
    Window w(PreviewVariant::SplitWizard);
    w.info.LoadFile(ninety);
    w.panel.PreviewFile = ninety;
    w.slider.setValue(495);
    QTest::keyClick(&w.slider, Qt::Key_Right); // one step of 5 to 500
    ASSERT_EQ(w.slider.Value(), 500);
    EXPECT_EQ(w.display.text(), "0:00:45");
    EXPECT_EQ(w.panel.ElapsedSeconds(), 45);
    EXPECT_FALSE(w.panel.SliderDragging);
    EXPECT_FALSE(w.panel.PreviewActive);
}

TEST_F(PreviewFiles, IdleMergeSliderLeavesEverythingAlone)
{
    Window w(PreviewVariant::MergeWindow);
    w.info.LoadFile(ninety);
    QTest::keyClick(&w.slider, Qt::Key_End);
    EXPECT_EQ(w.slider.Value(), 1000);
    EXPECT_EQ(w.display.text(), "0:00:00");
    EXPECT_EQ(w.panel.ElapsedSeconds(), 0);
}

TEST_F(PlayingPreview, PlayFollowsThePositionAndStopResetsEverything)
{
    auto w = splitWindow(threeSeconds);
    w->click(1);
    ASSERT_TRUE(playing(*w));
    EXPECT_EQ(w->lastStatus(), "Playing...");
    EXPECT_EQ(w->strip.look(), TNCTPlayButtonB2::Look::Playing);
    EXPECT_EQ(w->panel.PreviewBlockSamples, 8820);
    ASSERT_TRUE(w->waitFor([&] { return w->slider.Value() > 0 && w->display.Milliseconds() > 0; }));

    const QStringList before = w->status;
    w->click(1); // play while playing
    EXPECT_EQ(w->status, before);

    w->click(3);
    EXPECT_FALSE(w->panel.PreviewActive);
    EXPECT_EQ(w->lastStatus(), "Stop");
    EXPECT_EQ(w->slider.Value(), 0);
    EXPECT_EQ(w->display.text(), "0:00:00");
    EXPECT_EQ(w->panel.PreviewStartSample, 0);
    EXPECT_EQ(w->strip.look(), TNCTPlayButtonB2::Look::Stopped);
    EXPECT_EQ(w->FileR.Length(), 0) << "the reader is closed";
}

TEST_F(PlayingPreview, ResumeContinuesAtThePausedFrameNotAtTheSlider)
{
    auto w = splitWindow(threeSeconds);
    w->click(1);
    ASSERT_TRUE(w->waitFor([&] { return w->slider.Value() >= 100; }));
    w->click(2);
    ASSERT_TRUE(w->panel.PreviewPaused);
    EXPECT_EQ(w->lastStatus(), "Pause");
    EXPECT_EQ(w->strip.look(), TNCTPlayButtonB2::Look::Paused);
    const int64_t pausedAt = w->panel.PreviewStartSample;
    EXPECT_GT(pausedAt, 0);
    EXPECT_LT(pausedAt, w->total());

    w->slider.setValue(900); // the slider position is not where a resume goes
    w->click(1);
    ASSERT_TRUE(playing(*w));
    EXPECT_EQ(w->panel.PreviewStartSample, pausedAt);
    EXPECT_EQ(w->lastStatus(), "Playing...");
    const int from = PerMille(pausedAt, w->total());
    w->sliderValues.clear();
    ASSERT_TRUE(w->waitFor([&] { return !w->sliderValues.isEmpty(); }));
    EXPECT_GE(w->sliderValues.first(), from);
    EXPECT_LT(w->sliderValues.first(), 900);
    w->click(3);
}

TEST_F(PlayingPreview, EndOfFileResetsThePanel)
{
    auto w = splitWindow(oneSecond);
    w->slider.setValue(600);
    w->click(1);
    ASSERT_TRUE(playing(*w));
    EXPECT_EQ(w->panel.PreviewStartSample, MulDiv64(600, w->total(), 1000));
    ASSERT_TRUE(w->waitFor([&] { return !w->panel.PreviewActive; }));
    EXPECT_EQ(w->lastStatus(), "Stop");
    EXPECT_EQ(w->slider.Value(), 0);
    EXPECT_EQ(w->display.text(), "0:00:00");
    EXPECT_EQ(w->strip.look(), TNCTPlayButtonB2::Look::Stopped);
    EXPECT_EQ(w->status.count("Stop"), 1);
    for (int v : w->sliderValues)
        EXPECT_TRUE(v == 0 || v >= 600) << v;
}

TEST_F(PlayingPreview, SliderPressWhilePausedEndsThePausedRun)
{
    auto w = splitWindow(threeSeconds);
    w->click(1);
    ASSERT_TRUE(w->waitFor([&] { return w->slider.Value() > 0; }));
    w->click(2);
    const int64_t pausedAt = w->panel.PreviewStartSample;

    QTest::mousePress(&w->slider, Qt::LeftButton, {}, w->sliderAt(0.5));
    EXPECT_FALSE(w->panel.PreviewActive);
    EXPECT_FALSE(w->panel.PreviewPaused);
    EXPECT_TRUE(w->panel.SliderDragging);
    EXPECT_EQ(w->strip.look(), TNCTPlayButtonB2::Look::Stopped);
    EXPECT_EQ(w->lastStatus(), "Pause");
    EXPECT_EQ(w->panel.PreviewStartSample, pausedAt);
    EXPECT_EQ(w->FileR.Length(), 0) << "the reader is closed";
    QTest::mouseRelease(&w->slider, Qt::LeftButton, {}, w->sliderAt(0.5));
    EXPECT_FALSE(w->panel.SliderDragging);
    EXPECT_FALSE(w->panel.PreviewActive);

    // The next play opens the file again, at the slider.
    const int value = w->slider.Value();
    w->click(1);
    ASSERT_TRUE(playing(*w));
    EXPECT_EQ(w->panel.PreviewStartSample, MulDiv64(value, w->total(), 1000));
    w->click(3);
}

TEST_F(PlayingPreview, DraggingWhilePlayingFreezesTheSliderUntilRelease)
{
    auto w = splitWindow(threeSeconds);
    w->click(1);
    ASSERT_TRUE(w->waitFor([&] { return w->slider.Value() > 0; }));
    QTest::mousePress(&w->slider, Qt::LeftButton, {}, w->sliderAt(0.7));
    ASSERT_TRUE(w->panel.SliderDragging);
    ASSERT_TRUE(playing(*w));
    const int held = w->slider.Value();
    const int64_t displayBefore = w->display.Milliseconds();
    QSignalSpy timer(&w->player, &TAudioPlayer2::OnTimer);
    ASSERT_TRUE(w->waitFor([&] { return timer.size() >= 3; }));
    EXPECT_EQ(w->slider.Value(), held) << "the slider does not follow playback while held";
    EXPECT_GT(w->display.Milliseconds(), displayBefore) << "the display still follows";

    QTest::mouseRelease(&w->slider, Qt::LeftButton, {}, w->sliderAt(0.7));
    EXPECT_FALSE(w->panel.SliderDragging);
    ASSERT_TRUE(playing(*w));
    EXPECT_EQ(w->panel.PreviewStartSample, MulDiv64(held, w->total(), 1000));
    EXPECT_EQ(w->lastStatus(), "Playing...");
    w->sliderValues.clear();
    ASSERT_TRUE(w->waitFor([&] { return !w->sliderValues.isEmpty(); }));
    EXPECT_GE(w->sliderValues.first(), held);
    w->click(3);
}

TEST_F(PlayingPreview, SeekPreviewJumpsWhilePlaying)
{
    auto w = splitWindow(threeSeconds);
    w->click(1);
    ASSERT_TRUE(playing(*w));
    w->panel.SeekPreview(500);
    ASSERT_TRUE(playing(*w));
    EXPECT_FALSE(w->panel.SliderDragging);
    EXPECT_EQ(w->panel.PreviewStartSample, w->total() / 2);
    EXPECT_EQ(w->lastStatus(), "Playing...");
    ASSERT_TRUE(w->waitFor([&] { return w->display.Milliseconds() >= 1500; }));
    EXPECT_GE(w->panel.ElapsedSeconds(), 1);
    w->click(3);
}

TEST_F(PlayingPreview, SliderNeverGoesBeyondTheEnd)
{
    // The information object knows a shorter file than the one the reader
    // plays, so the player reports more frames than TotalSamples.
    auto w = splitWindow(oneSecond);
    w->panel.PreviewFile = threeSeconds;
    w->click(1);
    ASSERT_TRUE(playing(*w));
    ASSERT_TRUE(w->waitFor([&] { return w->display.Milliseconds() >= 1500; }));
    ASSERT_FALSE(w->sliderValues.isEmpty());
    for (int v : w->sliderValues)
        EXPECT_LE(v, 1000);
    EXPECT_EQ(w->slider.Value(), 1000);
    w->click(3);
}

TEST_F(PlayingPreview, MergeWindowPlaysTheChosenRowAndLoadsItsInformation)
{
    Window w(PreviewVariant::MergeWindow);
    w.panel.PreviewFile = oneSecond;
    w.click(1);
    ASSERT_TRUE(w.panel.PreviewActive);
    EXPECT_EQ(w.info.TotalSamples(), 22050);
    EXPECT_EQ(w.lastStatus(), "Playing...");
    ASSERT_TRUE(w.waitFor([&] { return !w.panel.PreviewActive; }));
    EXPECT_EQ(w.lastStatus(), "Stop");
    EXPECT_EQ(w.display.text(), "0:00:00") << "the merge window has no time display";
}
