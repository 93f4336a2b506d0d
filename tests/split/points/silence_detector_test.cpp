#include "split/SilenceDetector.h"
#include "tests/common/AudioFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

constexpr int Rate = 32000;

// Tones with silences from 2.0 to 3.5 s and from 5.0 to 6.2 s, and a short
// pause (0.3 s, shorter than a silence) from 1.0 to 1.3 s.
QString MakeSource(const QTemporaryDir &dir, const QString &name, const QStringList &codec)
{
    const QString path = dir.filePath(name);
    const QStringList args = QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                                         QString("aevalsrc='if(between(t,1,1.3)+between(t,2,3.5)+between(t,5,6.2),0,"
                                                 "0.5*sin(2*PI*440*t))':s=%1:d=7")
                                             .arg(Rate),
                                         "-ac", "2"}
                             + codec + QStringList{path};
    const int rc = fixtures::Run("ffmpeg", args);
    EXPECT_EQ(rc, 0);
    return path;
}

int64_t At(double seconds)
{
    return int64_t(std::llround(seconds * Rate));
}

class SilencesOfAFile : public ::testing::TestWithParam<QStringList> {};

} // namespace

TEST(SilenceFinder, FindsQuietRunsOfTheMinimumLengthAcrossBlocks)
{
    std::vector<float> pcm(2 * 1000, 0.5f); // stereo, 1000 frames
    for (int f = 100; f < 300; ++f)
        pcm[2 * f] = pcm[2 * f + 1] = 0.001f; // -60 dB: silent
    for (int f = 400; f < 450; ++f)
        pcm[2 * f] = pcm[2 * f + 1] = 0.0f; // too short
    for (int f = 600; f < 1000; ++f)
        pcm[2 * f] = 0.0f, pcm[2 * f + 1] = f == 700 ? 0.02f : 0.0f; // one loud sample on one channel
    SilenceFinder finder(1000, 2, -40.0, 0.1);
    for (int f = 0; f < 1000; f += 7)
        finder.Feed(pcm.data() + 2 * f, std::min(7, 1000 - f));
    EXPECT_EQ(finder.Finish(), (std::vector<SilentStretch>{{100, 300}, {600, 700}, {701, 1000}}));
}

TEST_P(SilencesOfAFile, PointsLieInTheMiddlesOrTheSilencesBecomeUncheckedParts)
{
    QTemporaryDir dir;
    const QString path = MakeSource(dir, "tones." + GetParam().first(), GetParam().mid(1));
    const int64_t total = 7 * Rate;
    const auto found = FindSilences(path, {});
    ASSERT_TRUE(found.has_value());

    SplitPlan plan;
    plan.SourcePath = path;
    plan.DurationSeconds = 7;
    ASSERT_EQ(ApplySilences(plan, *found, total, Rate, false, "MP3"), 2);
    ASSERT_EQ(plan.PartCount, 3);
    EXPECT_NEAR(plan.PointFrames[1], At(2.75), At(0.05));
    EXPECT_NEAR(plan.PointFrames[2], At(5.6), At(0.05));
    EXPECT_EQ(plan.PartNames.mid(1), (QList<QString>{"tones-01.mp3", "tones-02.mp3", "tones-03.mp3"}));

    ASSERT_EQ(ApplySilences(plan, *found, total, Rate, true, "mp3"), 2);
    ASSERT_EQ(plan.PartCount, 5);
    const double edges[4] = {2.0, 3.5, 5.0, 6.2};
    for (int k = 1; k <= 4; ++k)
        EXPECT_NEAR(plan.PointFrames[k], At(edges[k - 1]), At(0.05)) << k;
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{true, false, true, false, true}));
    EXPECT_EQ(plan.PartNames[2], "tones-silence-01.mp3");
    EXPECT_EQ(plan.PartNames[3], "tones-02.mp3");
}

INSTANTIATE_TEST_SUITE_P(Formats, SilencesOfAFile,
                         ::testing::Values(QStringList{"wav", "-c:a", "pcm_s16le"},
                                           QStringList{"mp3", "-c:a", "libmp3lame", "-b:a", "128k"}),
                         [](const auto &p) { return p.param.first().toStdString(); });

namespace {

// Silences of a 100-frame source: at the start, three between sounds (20,
// 5 and 12 frames long) and at the end.
const std::vector<SilentStretch> Found{{0, 4}, {10, 30}, {40, 45}, {60, 72}, {90, 100}};

class TrackCount : public ::testing::TestWithParam<std::tuple<int32_t, std::vector<SilentStretch>>> {};

} // namespace

TEST_P(TrackCount, OnlyTheLongestSilencesBetweenSoundsEndTracks)
{
    EXPECT_EQ(ChooseTrackSilences(Found, 100, std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, TrackCount,
    ::testing::Values(std::make_tuple(0, Found), std::make_tuple(4, Found), std::make_tuple(9, Found),
                      std::make_tuple(3, std::vector<SilentStretch>{{0, 4}, {10, 30}, {60, 72}, {90, 100}}),
                      std::make_tuple(2, std::vector<SilentStretch>{{0, 4}, {10, 30}, {90, 100}}),
                      std::make_tuple(1, std::vector<SilentStretch>{{0, 4}, {90, 100}})));

TEST(TrackCount, DroppingStillCutsOffTheLeadInAndRunOut)
{
    SplitPlan plan;
    plan.SourcePath = "/music/tape.wav";
    plan.DurationSeconds = 1;
    ASSERT_EQ(ApplySilences(plan, ChooseTrackSilences(Found, 100, 2), 100, 100, true, "wav"), 3);
    EXPECT_EQ(plan.PointFrames, (std::vector<int64_t>{NoExactFrame, 4, 10, 30, 90, NoExactFrame}));
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{false, true, false, true, false}));
}
