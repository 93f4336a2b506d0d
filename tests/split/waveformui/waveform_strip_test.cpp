#include "audio/ui/TNCTSliderB2.h"
#include "config/ProgramSettings.h"
#include "split/ui/SplitWizardWaveform.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/SplitPointControls.h"
#include "split/ui/TWaveformStrip.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// Drags from one x to another in the strip with the left button held.
void Drag(QWidget *w, double fromX, double toX)
{
    const int y = w->height() / 2;
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(int(fromX), y));
    QTest::mouseMove(w, QPoint(int((fromX + toX) / 2), y));
    QTest::mouseMove(w, QPoint(int(toX), y));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(int(toX), y));
}

} // namespace

TEST(WaveformStrip, ADraggedLineStopsOneFrameBeforeItsNeighbours)
{
    TWaveformStrip strip;
    strip.resize(400, 44);
    strip.show();
    strip.SetSource(400000);
    strip.SetSplitPoints({0, 100000, 200000, 400000});
    QSignalSpy dragged(&strip, &TWaveformStrip::PointDragged);
    QSignalSpy moved(&strip, &TWaveformStrip::PointMoved);

    Drag(&strip, strip.XOf(100000), 390);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 1);
    EXPECT_EQ(moved[0][1].toLongLong(), 199999);
    EXPECT_FALSE(dragged.isEmpty());
    for (const QList<QVariant> &d : dragged)
        EXPECT_LE(d[1].toLongLong(), 199999);

    strip.SetSplitPoints({0, 100000, 200000, 400000});
    Drag(&strip, strip.XOf(200000), 0);
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(moved[1][0].toInt(), 2);
    EXPECT_EQ(moved[1][1].toLongLong(), 100001);
}

TEST(WaveformStrip, APressAwayFromTheLinesAsksToSeekThere)
{
    TWaveformStrip strip;
    strip.resize(400, 44);
    strip.show();
    strip.SetSource(400000);
    strip.SetSplitPoints({0, 100000, 400000});
    QSignalSpy seek(&strip, &TWaveformStrip::SeekRequested);
    QSignalSpy moved(&strip, &TWaveformStrip::PointMoved);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(300, 20));
    ASSERT_EQ(seek.count(), 1);
    EXPECT_EQ(seek[0][0].toLongLong(), 300000);
    // The start and the end are not split points that can be dragged.
    Drag(&strip, 0, 50);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(seek.count(), 2);
}

namespace {

// The wizard on step 3, "By Settings", over a 10-second tone with its peaks read.
class WizardWaveformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        saved = ProgramSettings;
        form = new TSplitForm(&owner);
        SplitForm = form;
        owner.show();
        form->show();
        waveform = form->findChild<SplitWaveform *>("SplitWaveform");
        ASSERT_NE(waveform, nullptr);
    }

    void TearDown() override
    {
        delete form.data();
        ProgramSettings = saved;
        SetProgramDirectoryForTesting(QString());
    }

    void Open(const QString &path)
    {
        platform.openAnswers << QStringList{path};
        QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
    }

    void ToManualStep()
    {
        const QString path = dir.path() + "/tone.wav";
        fixtures::MakeTone(path, 10.0, 44100, 2, {"-c:a", "pcm_s16le"});
        Open(path);
        QTest::mouseClick(form->BitBtnNext, Qt::LeftButton);
        form->cbFormat->setCurrentText("WAV");
        QTest::mouseClick(form->BitBtnNext, Qt::LeftButton);
        form->RBManual->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return waveform->Status().finished; }, 60000));
        strip = waveform->Strip();
        ASSERT_TRUE(strip->isVisible() && strip->isEnabled());
        ASSERT_GT(strip->width(), 100);
    }

    void SetPointsAt(std::initializer_list<int32_t> seconds)
    {
        for (int32_t s : seconds) {
            form->Plan.TimePoints.insert(form->Plan.TimePoints.end() - 1, s);
            form->Plan.ResizeParts(int32_t(form->Plan.TimePoints.size()) - 1);
            form->Plan.PartCount = int32_t(form->Plan.TimePoints.size()) - 1;
        }
        form->PointEditor->RebuildPartList();
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QWidget owner;
    TProgramSettings saved;
    QPointer<TSplitForm> form;
    SplitWaveform *waveform = nullptr;
    TWaveformStrip *strip = nullptr;
};

} // namespace

TEST_F(WizardWaveformTest, ShowsThePlansPointsAndTheSelectedPart)
{
    ToManualStep();
    EXPECT_EQ(strip->TotalFrames(), 441000);
    SetPointsAt({3, 7});
    EXPECT_EQ(strip->SplitPoints(), (std::vector<int64_t>{0, 3 * 44100, 7 * 44100, 10 * 44100}));
    form->ListView1->setCurrentItem(form->ListView1->topLevelItem(1));
    EXPECT_EQ(form->PointEditor->SelectedRow(), 1);
    // The strip shades what the list selects; seen through a grab, the
    // middle of part 2 is tinted and the middle of part 1 is not.
    const QImage image = strip->grab().toImage();
    const int y = 3;
    EXPECT_NE(image.pixelColor(int(strip->XOf(5 * 44100)), y), image.pixelColor(int(strip->XOf(int64_t(1.5 * 44100))), y));
}

TEST_F(WizardWaveformTest, AClickSeeksThePreviewAsTheSliderDoes)
{
    ToManualStep();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(int(strip->XOf(int64_t(2.5 * 44100))), 20));
    EXPECT_NEAR(form->NCTSliderB1->Value(), 250, 3);
    EXPECT_NEAR(double(strip->CursorFrame()), 2.5 * 44100, 441 * 3);
}

TEST_F(WizardWaveformTest, DraggingALineMovesThePointAndTheListFollows)
{
    ToManualStep();
    SetPointsAt({3, 7});
    Drag(strip, strip->XOf(3 * 44100), strip->XOf(5 * 44100));
    // The point keeps the frame it was dropped at; the list shows its
    // second, to the millisecond when it lies between two.
    const double framesPerPixel = 10.0 * 44100 / strip->width();
    const int64_t dropped = form->Plan.PointFrames[1];
    EXPECT_NEAR(double(dropped), 5.0 * 44100, 2 * framesPerPixel);
    EXPECT_EQ(strip->SplitPoints()[1], dropped);
    EXPECT_EQ(form->ListView1->topLevelItem(0)->text(2),
              dropped % 44100 == 0 ? FormatMinutesSeconds(int32_t(dropped / 44100))
                                   : FormatMinutesSecondsMs((dropped * 1000 + 22050) / 44100));
    EXPECT_EQ(form->cbPrecision->currentIndex(), 4) << "a point set on the waveform is cut exactly";
    // Onto the neighbour it cannot go: it stops one frame before it.
    Drag(strip, strip->XOf(form->Plan.PointFrames[1]), strip->width() - 1);
    EXPECT_EQ(form->Plan.PointFrames[1], 7 * 44100 - 1);
    EXPECT_EQ(form->Plan.TimePoints, (TimePointsArr{0, 6, 7, 10}));
}

TEST_F(WizardWaveformTest, ClosingTheWindowStopsAReadingInProgress)
{
    const QString path = dir.path() + "/long.mp3";
    fixtures::MakeTone(path, 120.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    Open(path);
    ASSERT_TRUE(QTest::qWaitFor([this] { return waveform->Status().framesRead > 0; }, 30000));
    EXPECT_FALSE(waveform->Status().finished);
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(WizardWaveformTest, ANewSourceStartsAgainFromItsOwnPeaks)
{
    const QString first = dir.path() + "/first.mp3";
    fixtures::MakeTone(first, 120.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    Open(first);
    ASSERT_TRUE(QTest::qWaitFor([this] { return waveform->Status().framesRead > 0; }, 30000));
    const QString second = dir.path() + "/second.wav";
    fixtures::MakeTone(second, 2.0, 22050, 1, {"-c:a", "pcm_s16le"});
    Open(second);
    ASSERT_TRUE(QTest::qWaitFor([this] { return waveform->Status().finished; }, 30000));
    EXPECT_EQ(waveform->Status().source, second);
    EXPECT_EQ(waveform->Status().totalFrames, 44100);
    EXPECT_EQ(waveform->Strip()->TotalFrames(), 44100);
}

TEST_F(WizardWaveformTest, ASourceThatCannotBeReadSaysWhyInTheStrip)
{
    const QString path = dir.path() + "/gone.wav";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not audio at all");
    f.close();
    waveform->SetSource(path);
    ASSERT_TRUE(QTest::qWaitFor([this] { return waveform->Status().finished; }, 30000));
    EXPECT_FALSE(waveform->Status().error.isEmpty());
    EXPECT_TRUE(waveform->Strip()->Note().startsWith("No waveform: ")) << waveform->Strip()->Note().toStdString();
    EXPECT_TRUE(waveform->Strip()->Note().contains("gone.wav")) << waveform->Strip()->Note().toStdString();
}
