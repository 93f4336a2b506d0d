#include "audio/AudioError.h"
#include "audio/TAudioPlayer2.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Generous: the sanitizer build on a loaded machine may play slowly.
constexpr int kWaitMs = 30000;

bool HaveSoundServer() { return !QMediaDevices::defaultAudioOutput().isNull(); }

#define REQUIRE_SOUND_SERVER()                                                  \
    do {                                                                        \
        if (!HaveSoundServer())                                                 \
            GTEST_SKIP() << "no sound server (start the PulseAudio null sink)"; \
    } while (0)

PcmArray Block(int frames, int channels, float value)
{
    return PcmArray(static_cast<size_t>(frames) * channels, value);
}

// Everything the player reports, in order.
struct Recorder {
    QStringList events;
    QList<qint64> timerSamples;
    QList<int> levels;
    QList<qint64> playedAtArrayEnd;
    int endPlays = 0;

    explicit Recorder(TAudioPlayer2 &p)
    {
        QObject::connect(&p, &TAudioPlayer2::OnTimer, [this](qint64 s, int l, int r) {
            timerSamples << s;
            levels << l << r;
        });
        QObject::connect(&p, &TAudioPlayer2::OnRequestOnLoadArray, [this] { events << "request"; });
        QObject::connect(&p, &TAudioPlayer2::OnEndArrayPlay, [this, &p] {
            events << "endArray";
            playedAtArrayEnd << p.PlayedSamples();
        });
        QObject::connect(&p, &TAudioPlayer2::OnEndPlay, [this] {
            events << "endPlay";
            ++endPlays;
        });
    }
    bool waitForEnd()
    {
        return QTest::qWaitFor([this] { return endPlays > 0; }, kWaitMs);
    }
};

} // namespace

struct RateCase {
    int rate;
    int ms;
    int frames;
};
class PlayerFormat : public ::testing::TestWithParam<RateCase> {};

TEST_P(PlayerFormat, ConvertsBetweenMillisecondsAndFrames)
{
    TAudioPlayer2 p;
    p.SetFormat(GetParam().rate, 2);
    EXPECT_EQ(p.MillisecondsToSamples(GetParam().ms), GetParam().frames);
    EXPECT_EQ(p.SamplesToMilliseconds(GetParam().frames), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(Rates, PlayerFormat,
                         ::testing::Values(RateCase{44100, 200, 8820}, RateCase{48000, 200, 9600},
                                           RateCase{22050, 200, 4410}, RateCase{8000, 200, 1600},
                                           RateCase{44100, 1000, 44100}));

TEST(Player, TimesOfLongSourcesDoNotWrap)
{
    TAudioPlayer2 p;
    p.SetFormat(48000, 2);
    const int64_t tenHours = int64_t(48000) * 3600 * 10;
    EXPECT_EQ(p.SamplesToMilliseconds(tenHours), int64_t(3600) * 10 * 1000);
    EXPECT_EQ(p.SamplesToMilliseconds(int64_t(1) << 40), (int64_t(1) << 40) * 1000 / 48000);
}

TEST(Player, RejectsAFormatWithoutRateOrChannels)
{
    TAudioPlayer2 p;
    EXPECT_THROW(p.SetFormat(0, 2), AudioError);
    EXPECT_THROW(p.SetFormat(44100, 0), AudioError);
}

TEST(Player, PlayOnAnEmptyQueueSucceedsAndPlaysWhatIsQueuedAfterIt)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    Recorder rec(p);
    p.SetFormat(44100, 2);
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    EXPECT_EQ(p.PlayedSamples(), 0);
    QCoreApplication::processEvents();
    p.LoadArray(Block(4410, 2, 0.25f));
    p.LoadArray(Block(4410, 2, 0.25f));
    p.LoadArray({});
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(p.PlayedSamples(), 8820);
    EXPECT_EQ(rec.events.count("endArray"), 2);
    EXPECT_EQ(rec.levels.count(8191), rec.levels.size() - rec.levels.count(0)) << "levels are the block's peak";
}

TEST(Player, EventsComeInPlayingOrderAndEndPlayOnce)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    Recorder rec(p);
    p.SetFormat(22050, 1);
    const int blocks = 4, frames = 2205;
    for (int i = 0; i < blocks; ++i)
        p.LoadArray(Block(frames, 1, 0.5f));
    p.LoadArray({});
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    ASSERT_TRUE(rec.waitForEnd());
    QTest::qWait(300); // a second OnEndPlay would show up here
    EXPECT_EQ(rec.endPlays, 1);
    EXPECT_EQ(rec.events.last(), "endPlay");
    ASSERT_EQ(rec.playedAtArrayEnd.size(), blocks);
    for (int i = 0; i < blocks; ++i)
        EXPECT_GE(rec.playedAtArrayEnd[i], int64_t(i + 1) * frames) << "array " << i << " ended before it was heard";
    ASSERT_FALSE(rec.timerSamples.isEmpty());
    for (int i = 1; i < rec.timerSamples.size(); ++i)
        EXPECT_GE(rec.timerSamples[i], rec.timerSamples[i - 1]);
    EXPECT_LE(rec.timerSamples.last(), blocks * frames);
    EXPECT_EQ(p.PlayedSamples(), blocks * frames);
    EXPECT_EQ(rec.events.count("request"), 0) << "no request once the end of the data is queued";
}

class PlayerEndMarkers : public ::testing::TestWithParam<int> {};

TEST_P(PlayerEndMarkers, EndPlayFollowsTheLastAudioWhateverEmptyArraysTrailIt)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    Recorder rec(p);
    p.SetFormat(44100, 2);
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    p.LoadArray(Block(4410, 2, 0.1f));
    for (int i = 0; i < GetParam(); ++i)
        p.LoadArray({});
    ASSERT_TRUE(rec.waitForEnd());
    QTest::qWait(200);
    EXPECT_EQ(rec.endPlays, 1);
    EXPECT_EQ(p.PlayedSamples(), 4410);
    EXPECT_EQ(rec.events.count("endArray"), 1) << "empty arrays are end marks, not arrays that play";
}

INSTANTIATE_TEST_SUITE_P(Trailing, PlayerEndMarkers, ::testing::Values(1, 2, 5));

TEST(Player, FeedingOnRequestsPlaysTheWholeSourceOnce)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    Recorder rec(p);
    const int total = 44100 * 3 / 2, block = 8820;
    int given = 0, arrays = 0;
    auto feed = [&] {
        const int n = std::min(block, total - given);
        given += n;
        arrays += n > 0;
        p.LoadArray(Block(n, 2, 0.3f)); // empty once the source is used up
    };
    QObject::connect(&p, &TAudioPlayer2::OnRequestOnLoadArray, feed);
    QObject::connect(&p, &TAudioPlayer2::OnEndArrayPlay, feed);
    p.SetFormat(44100, 2);
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    feed();
    feed();
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(given, total);
    EXPECT_EQ(p.PlayedSamples(), total);
    EXPECT_EQ(rec.events.count("endArray"), arrays);
    EXPECT_EQ(rec.endPlays, 1);
}

TEST(Player, StopThenPlayNeverPlaysAudioQueuedBeforeTheStop)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    p.SetFormat(44100, 2);
    // Loud audio, long enough to be playing when stopped.
    for (int i = 0; i < 10; ++i)
        p.LoadArray(Block(8820, 2, 1.0f));
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    QSignalSpy firstTimer(&p, &TAudioPlayer2::OnTimer);
    ASSERT_TRUE(firstTimer.wait(kWaitMs));
    EXPECT_EQ(firstTimer.first().at(1).toInt(), 32767);
    const int64_t heard = p.PlayedSamples();
    p.Stop();
    EXPECT_LE(heard, 10 * 8820);

    // Silence only from here; the old queue must not come back.
    Recorder rec(p);
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    EXPECT_EQ(p.PlayedSamples(), 0);
    p.LoadArray(Block(4410, 2, 0.0f));
    p.LoadArray(Block(4410, 2, 0.0f));
    p.LoadArray({});
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(rec.events.count("endArray"), 2);
    EXPECT_EQ(p.PlayedSamples(), 8820);
    for (int level : rec.levels)
        EXPECT_EQ(level, 0);
    for (qint64 s : rec.timerSamples)
        EXPECT_LE(s, 8820);
}

TEST(Player, PauseReadsWhatWasHeardThenStopsQuietly)
{
    REQUIRE_SOUND_SERVER();
    TAudioPlayer2 p;
    p.SetFormat(44100, 2);
    for (int i = 0; i < 10; ++i)
        p.LoadArray(Block(8820, 2, 0.2f));
    p.Play();
    ASSERT_EQ(p.LastError(), 0);
    QSignalSpy timer(&p, &TAudioPlayer2::OnTimer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer.size() >= 3; }, kWaitMs));
    const int64_t heard = p.PlayedSamples();
    EXPECT_GT(heard, 0);
    EXPECT_GE(heard, timer.last().at(0).toLongLong());
    EXPECT_LT(heard, 10 * 8820);
    p.Stop();
    const int64_t atStop = p.PlayedSamples(); // the count of the run just stopped
    EXPECT_GE(atStop, heard);
    QSignalSpy any(&p, &TAudioPlayer2::OnEndPlay);
    QSignalSpy arrays(&p, &TAudioPlayer2::OnEndArrayPlay);
    QTest::qWait(300);
    EXPECT_EQ(any.size(), 0);
    EXPECT_EQ(arrays.size(), 0);
    EXPECT_EQ(p.PlayedSamples(), atStop);
}

// Runs in a child process without a sound server (see FailsToStartWithoutAnOutput).
TEST(Player, NoServerChild)
{
    if (!qEnvironmentVariableIsSet("QUORVIS_PLAYER_NO_SERVER_CHILD"))
        GTEST_SKIP() << "runs only as the child of FailsToStartWithoutAnOutput";
    ASSERT_FALSE(HaveSoundServer());
    TAudioPlayer2 p;
    QSignalSpy timer(&p, &TAudioPlayer2::OnTimer);
    QSignalSpy end(&p, &TAudioPlayer2::OnEndPlay);
    QSignalSpy request(&p, &TAudioPlayer2::OnRequestOnLoadArray);
    p.SetFormat(44100, 2);
    p.LoadArray(Block(4410, 2, 0.5f));
    p.Play();
    EXPECT_NE(p.LastError(), 0);
    QTest::qWait(300);
    EXPECT_EQ(timer.size() + end.size() + request.size(), 0);
}

TEST(Player, FailsToStartWithoutAnOutput)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVIS_PLAYER_NO_SERVER_CHILD", "1");
    env.insert("PULSE_SERVER", "unix:/nonexistent/quorvis-no-server");
    env.insert("XDG_RUNTIME_DIR", "/nonexistent");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=Player.NoServerChild"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray out = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}
