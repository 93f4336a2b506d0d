#include "split/PeakPyramid.h"
#include "split/WaveformSource.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr float Step = 1.0f / PeakPyramid::Scale;

PeakRange Exact(const std::vector<float> &pcm, int channel, int64_t a, int64_t b)
{
    PeakRange r;
    for (int64_t f = a; f < std::min(b, int64_t(pcm.size()) / 2); ++f)
        for (int c = 0; c < 2; ++c)
            if (channel < 0 || c == channel)
                r.fold({pcm[size_t(f * 2 + c)], pcm[size_t(f * 2 + c)]});
    return r;
}

class WaveformSourceTest : public ::testing::TestWithParam<const char *> {
protected:
    // Stereo, 44.1 kHz, a length that is no multiple of any bucket: a
    // swelling tone on the left, a quiet high tone with one loud click on the right.
    QString Make(double seconds)
    {
        const QString path = dir.path() + "/source." + GetParam();
        fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                 QString("aevalsrc=0.6*sin(2*PI*440*t)*sin(PI*t/%1)|"
                                         "0.1*sin(2*PI*3000*t)+0.8*between(t\\,7.5\\,7.5005):s=44100:d=%1")
                                     .arg(seconds),
                                 path});
        return path;
    }

    static WaveformSource::Status Finish(WaveformSource &source)
    {
        WaveformSource::Status status;
        while (!(status = source.Poll()).finished)
            QTest::qWait(20);
        return status;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_P(WaveformSourceTest, BuildsTheWholeSourceAsAFullDecodeShowsIt)
{
    const QString path = Make(20.3);
    const std::vector<float> decoded = fixtures::DecodedSamples(path);
    WaveformSource source;
    source.Start(path);
    const WaveformSource::Status status = Finish(source);
    ASSERT_TRUE(status.error.isEmpty()) << status.error.toStdString();
    EXPECT_EQ(status.channels, 2);
    EXPECT_EQ(status.framesScanned, fixtures::DecodedFrames(path));
    EXPECT_EQ(status.totalFrames, status.framesScanned);
    EXPECT_EQ(source.PyramidBytes(), PeakPyramid::BytesFor(status.framesScanned, 2));
    // Columns of exactly one bucket, at every level, hold the decode's extremes.
    for (int channel = -1; channel < 2; ++channel) {
        for (int64_t width = 1024; width < status.framesScanned * 4; width *= 4) {
            std::vector<PeakRange> columns;
            const int count = int(status.framesScanned / width) + 2;
            source.Columns(channel, 0, double(width), count, columns);
            for (int c = 0; c < count; ++c) {
                const PeakRange exact = Exact(decoded, channel, c * width, (c + 1) * width);
                EXPECT_EQ(columns[size_t(c)].empty(), exact.empty()) << c;
                if (exact.empty())
                    continue;
                EXPECT_LE(columns[size_t(c)].lo, exact.lo) << channel << " " << width << " " << c;
                EXPECT_GT(columns[size_t(c)].lo, exact.lo - Step) << channel << " " << width << " " << c;
                EXPECT_GE(columns[size_t(c)].hi, exact.hi) << channel << " " << width << " " << c;
                EXPECT_LT(columns[size_t(c)].hi, exact.hi + Step) << channel << " " << width << " " << c;
            }
        }
    }
}

TEST_P(WaveformSourceTest, ReadsExactSamplesOnRequest)
{
    const QString path = Make(20.3);
    const std::vector<float> decoded = fixtures::DecodedSamples(path);
    WaveformSource source;
    source.Start(path);
    Finish(source);
    // Near the end too, where the window read is cut short by the source.
    for (const int64_t first : {int64_t(330001), int64_t(decoded.size() / 2 - 700)}) {
        std::vector<float> right, both;
        EXPECT_FALSE(source.Samples(1, first, 1000, right));
        EXPECT_TRUE(source.SamplesPending());
        while (source.SamplesPending())
            QTest::qWait(10);
        ASSERT_TRUE(source.Samples(1, first, 1000, right));
        ASSERT_TRUE(source.Samples(-1, first, 1000, both));
        const int64_t frames = std::min<int64_t>(1000, int64_t(decoded.size() / 2) - first);
        ASSERT_EQ(int64_t(right.size()), frames);
        EXPECT_EQ(both, std::vector<float>(decoded.begin() + first * 2, decoded.begin() + (first + frames) * 2));
        for (int64_t f = 0; f < frames; ++f)
            ASSERT_EQ(right[size_t(f)], decoded[size_t((first + f) * 2 + 1)]) << f;
        // At half a frame a column, the columns are the samples themselves.
        std::vector<PeakRange> columns;
        source.Columns(0, double(first), 0.5, 100, columns);
        EXPECT_FALSE(source.SamplesPending());
        for (int c = 0; c < 100; ++c) {
            EXPECT_EQ(columns[size_t(c)].lo, decoded[size_t((first + c / 2) * 2)]);
            EXPECT_EQ(columns[size_t(c)].hi, decoded[size_t((first + c / 2) * 2)]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveformSourceTest, ::testing::Values("flac", "wav", "mp3"));

class WaveformSourceStopTest : public WaveformSourceTest {};

TEST_P(WaveformSourceStopTest, StopKeepsWhatWasBuiltAndAStartBuildsAgain)
{
    const QString path = Make(180);
    WaveformSource source;
    source.Start(path);
    // Columns asked for while the build runs, as the window paints.
    std::vector<PeakRange> columns;
    while (source.Poll().framesScanned < 44100 * 10) {
        source.Columns(-1, 0, 44100 * 180 / 800.0, 800, columns);
        QTest::qWait(5);
    }
    source.Stop();
    const WaveformSource::Status stopped = source.Poll();
    EXPECT_FALSE(stopped.finished);
    EXPECT_LT(stopped.framesScanned, int64_t(44100) * 180);
    EXPECT_EQ(source.Poll().framesScanned, stopped.framesScanned);
    source.Columns(0, 0, 1024, 2, columns);
    EXPECT_FALSE(columns[1].empty());
    source.Columns(0, double(stopped.framesScanned), 1024, 2, columns);
    EXPECT_TRUE(columns[0].empty());

    source.Start(path);
    EXPECT_EQ(Finish(source).framesScanned, int64_t(44100) * 180);
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveformSourceStopTest, ::testing::Values("flac"));

TEST(WaveformSource, AnUnreadableSourceSaysWhyAndAsksForNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/not-audio.flac";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not audio at all") > 0);
    file.close();
    WaveformSource source;
    source.Start(path);
    std::vector<float> samples;
    EXPECT_FALSE(source.Samples(0, 0, 100, samples));
    WaveformSource::Status status;
    while (!(status = source.Poll()).finished || source.SamplesPending())
        QTest::qWait(10);
    EXPECT_FALSE(status.error.isEmpty());
    EXPECT_EQ(status.framesScanned, 0);
    EXPECT_FALSE(source.Samples(0, 0, 100, samples));
    EXPECT_FALSE(source.SamplesPending());
}
