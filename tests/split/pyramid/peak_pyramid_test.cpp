#include "split/PeakPyramid.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <tuple>

namespace {

constexpr float Step = 1.0f / PeakPyramid::Scale;

// A quiet tone per channel with loud single samples scattered through it, so
// that an extreme lost anywhere shows.
std::vector<float> Signal(int64_t frames, int channels)
{
    std::vector<float> pcm(size_t(frames * channels));
    std::mt19937 random(7);
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            pcm[size_t(f * channels + c)] = 0.3f * float(std::sin(0.001 * double(f) * (c + 1)));
    for (int64_t k = 0; k < frames / 500 + 1; ++k)
        pcm[random() % pcm.size()] = std::uniform_real_distribution<float>(-0.99f, 0.99f)(random);
    return pcm;
}

PeakRange Exact(const std::vector<float> &pcm, int channels, int channel, int64_t a, int64_t b)
{
    PeakRange r;
    for (int64_t f = a; f < b; ++f)
        for (int c = 0; c < channels; ++c)
            if (channel < 0 || c == channel)
                r.fold({pcm[size_t(f * channels + c)], pcm[size_t(f * channels + c)]});
    return r;
}

// Every column holds the exact extremes of the frames it overlaps, and no
// more than those of the buckets of its level that it touches.
void ExpectColumns(const PeakPyramid &pyramid, const std::vector<float> &pcm, int channel, double first, double width,
                   int columns)
{
    const int channels = pyramid.Channels();
    const int64_t frames = int64_t(pcm.size()) / channels;
    std::vector<PeakRange> got;
    pyramid.Columns(channel, first, width, columns, got);
    ASSERT_EQ(got.size(), size_t(columns));
    const int64_t bucket = PeakPyramid::LevelWidth(PeakPyramid::LevelFor(width));
    for (int c = 0; c < columns; ++c) {
        int64_t a = int64_t(std::floor(first + c * width));
        int64_t b = std::max(a + 1, int64_t(std::ceil(first + (c + 1) * width)));
        a = std::max<int64_t>(a, 0);
        b = std::min(b, frames);
        const auto where = ::testing::Message() << "channel " << channel << " width " << width << " column " << c;
        if (a >= b) {
            EXPECT_TRUE(got[size_t(c)].empty()) << where;
            continue;
        }
        const PeakRange exact = Exact(pcm, channels, channel, a, b);
        const PeakRange reach = Exact(pcm, channels, channel, a / bucket * bucket,
                                      std::min(frames, (b + bucket - 1) / bucket * bucket));
        EXPECT_LE(got[size_t(c)].lo, exact.lo) << where;
        EXPECT_GE(got[size_t(c)].hi, exact.hi) << where;
        EXPECT_GT(got[size_t(c)].lo, reach.lo - Step) << where;
        EXPECT_LT(got[size_t(c)].hi, reach.hi + Step) << where;
    }
}

// frames, channels, frames per Add
using Shape = std::tuple<int64_t, int, int64_t>;

class PeakPyramidTest : public ::testing::TestWithParam<Shape> {};

} // namespace

TEST_P(PeakPyramidTest, KeepsEveryExtremeAtEveryLevel)
{
    const auto [frames, channels, block] = GetParam();
    const std::vector<float> pcm = Signal(frames, channels);
    PeakPyramid pyramid(channels);
    for (int64_t at = 0; at < frames; at += block)
        pyramid.Add(pcm.data() + at * channels, size_t(std::min(block, frames - at) * channels));
    pyramid.Finish();
    ASSERT_EQ(pyramid.Frames(), frames);
    EXPECT_EQ(pyramid.Bytes(), PeakPyramid::BytesFor(frames, channels));
    for (int channel = -1; channel < channels; ++channel) {
        // Columns of exactly one bucket of each level, then columns that
        // straddle buckets, then columns narrower than a frame.
        for (int level = 0; PeakPyramid::LevelWidth(level) < frames * 4; ++level) {
            const double width = double(PeakPyramid::LevelWidth(level));
            ExpectColumns(pyramid, pcm, channel, 0, width, int(frames / width) + 2);
            ExpectColumns(pyramid, pcm, channel, width / 3 - 7.5, width * 1.37, int(frames / width) + 2);
        }
        ExpectColumns(pyramid, pcm, channel, double(frames) / 2 - 3.3, 0.3, 40);
        ExpectColumns(pyramid, pcm, channel, -5.5, 77.7, 40);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PeakPyramidTest,
                         ::testing::Values(Shape{1, 1, 1}, Shape{255, 2, 100}, Shape{256, 2, 256},
                                           Shape{65536 + 77, 1, 4096}, Shape{100003, 2, 999},
                                           Shape{300001, 2, 32768}, Shape{50001, 3, 1000}));

TEST(PeakPyramid, ShowsWhatIsScannedWhileBuilding)
{
    const int64_t frames = 1000 * 256 + 100;
    std::vector<float> pcm = Signal(frames, 2);
    PeakPyramid pyramid(2);
    pyramid.Add(pcm.data(), size_t(frames) * 2);
    // Whole buckets only, and the coarse levels' last, open buckets come from
    // the finer levels: the whole file in one column holds every extreme so far.
    EXPECT_EQ(pyramid.Frames(), 1000 * 256);
    std::vector<PeakRange> one;
    pyramid.Columns(-1, 0, double(frames) * 4, 1, one);
    const PeakRange exact = Exact(pcm, 2, -1, 0, 1000 * 256);
    EXPECT_LE(one[0].lo, exact.lo);
    EXPECT_GE(one[0].hi, exact.hi);
    EXPECT_GT(one[0].lo, exact.lo - Step);
    std::vector<PeakRange> tail;
    pyramid.Columns(0, 1000 * 256, 10, 10, tail);
    EXPECT_TRUE(tail[0].empty());
    pyramid.Finish();
    pyramid.Columns(0, 1000 * 256, 10, 11, tail);
    EXPECT_FALSE(tail[9].empty());
    EXPECT_TRUE(tail[10].empty());
}

TEST(PeakPyramid, FarColumnsAndOddRequestsAreEmptyNotUndefined)
{
    const std::vector<float> pcm = Signal(10000, 2);
    PeakPyramid pyramid(2);
    pyramid.Add(pcm.data(), pcm.size());
    pyramid.Finish();
    std::vector<PeakRange> out;
    const double threeHours = 3.0 * 3600 * 44100;
    for (const auto &[first, width] : {std::pair{threeHours, 0.001}, std::pair{-threeHours, 1.0},
                                       std::pair{0.0, 1e300}, std::pair{1e300, 1e300}, std::pair{0.0, 0.0},
                                       std::pair{0.0, -4.0}, std::pair{0.0, std::nan("")}}) {
        pyramid.Columns(1, first, width, 3, out);
        ASSERT_EQ(out.size(), 3u);
        EXPECT_EQ(out[0].empty(), !(first == 0.0 && width == 1e300)) << first << " " << width;
        EXPECT_TRUE(out[2].empty());
    }
    pyramid.Columns(2, 0, 1, 3, out); // no such channel
    EXPECT_TRUE(out[0].empty());
}

TEST(PeakPyramid, ThreeHoursOfStereoStayWellUnder64MiB)
{
    const int64_t frames = int64_t(3) * 3600 * 44100;
    const size_t bytes = PeakPyramid::BytesFor(frames, 2);
    // Level 0 alone is 4 bytes a channel per 256 frames; the levels above add a third.
    EXPECT_GT(bytes, size_t(frames / 256 * 8));
    EXPECT_LT(bytes, size_t(frames / 256 * 8) * 4 / 3 + (size_t(1) << 20));
    EXPECT_LT(bytes, size_t(32) << 20);
    // Columns across the whole length read a level of a quarter to a whole column.
    for (int columns : {800, 3840}) {
        const double width = double(frames) / columns;
        const int64_t bucket = PeakPyramid::LevelWidth(PeakPyramid::LevelFor(width));
        EXPECT_LE(double(bucket), width);
        EXPECT_GT(double(bucket) * PeakPyramid::Fanout, width);
    }
}
