#include "split/PeakPyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

constexpr float Infinity = std::numeric_limits<float>::infinity();

// Rounded outwards and clamped, so that the stored range always holds the
// samples' (NaN lows and highs end up at the rails rather than in a cast).
int16_t QuantiseLow(float v)
{
    float s = std::floor(v * PeakPyramid::Scale);
    if (!(s >= -32768.0f))
        s = -32768.0f;
    return int16_t(std::min(s, 32767.0f));
}

int16_t QuantiseHigh(float v)
{
    float s = std::ceil(v * PeakPyramid::Scale);
    if (!(s <= 32767.0f))
        s = 32767.0f;
    return int16_t(std::max(s, -32768.0f));
}

// One whole level-0 bucket into per-channel lows and highs (lohi: low, high
// per channel, already holding +-infinity). This loop sees every sample of
// the source: with channels dividing four, each lane of a 4-float vector
// always holds the same channel, and min/max run four samples at a time.
// _mm_min_ps(v, acc) yields acc where v is NaN, so NaNs are passed over.
void FoldBucket(const float *p, int channels, float *lohi)
{
    const size_t n = size_t(PeakPyramid::FinestFrames) * size_t(channels);
#if defined(__SSE__)
    if (4 % channels == 0) {
        __m128 lo = _mm_set1_ps(Infinity), hi = _mm_set1_ps(-Infinity);
        __m128 lo2 = lo, hi2 = hi;
        for (size_t i = 0; i < n; i += 8) {
            const __m128 a = _mm_loadu_ps(p + i), b = _mm_loadu_ps(p + i + 4);
            lo = _mm_min_ps(a, lo);
            hi = _mm_max_ps(a, hi);
            lo2 = _mm_min_ps(b, lo2);
            hi2 = _mm_max_ps(b, hi2);
        }
        alignas(16) float los[4], his[4];
        _mm_store_ps(los, _mm_min_ps(lo, lo2));
        _mm_store_ps(his, _mm_max_ps(hi, hi2));
        for (int lane = 0; lane < 4; ++lane) {
            float *c = lohi + 2 * (lane % channels);
            c[0] = std::min(c[0], los[lane]);
            c[1] = std::max(c[1], his[lane]);
        }
        return;
    }
#endif
    for (size_t i = 0; i < n; i += size_t(channels)) {
        for (int c = 0; c < channels; ++c) {
            const float v = p[i + size_t(c)];
            lohi[2 * c] = v < lohi[2 * c] ? v : lohi[2 * c];
            lohi[2 * c + 1] = v > lohi[2 * c + 1] ? v : lohi[2 * c + 1];
        }
    }
}

void ResetOpen(std::vector<float> &lohi)
{
    for (size_t i = 0; i < lohi.size(); i += 2) {
        lohi[i] = Infinity;
        lohi[i + 1] = -Infinity;
    }
}

// Double to frame index, held well inside int64 whatever a caller asks.
int64_t ClampFrame(double v)
{
    constexpr double Limit = double(int64_t(1) << 62);
    return int64_t(std::clamp(v, -Limit, Limit));
}

} // namespace

PeakPyramid::PeakPyramid(int channels) : channels_(std::max(1, channels))
{
    current_.resize(size_t(2 * channels_));
    closing_.resize(current_.size());
    ResetOpen(current_);
    for (int level = 1; level < MaxLevels; ++level)
        above_[size_t(level)].lohi.resize(size_t(2 * channels_));
}

PeakPyramid::~PeakPyramid() = default;

int64_t PeakPyramid::LevelWidth(int level)
{
    return FinestFrames << (2 * level);
}

int PeakPyramid::LevelFor(double framesPerColumn)
{
    int level = 0;
    while (level + 1 < MaxLevels && double(LevelWidth(level + 1)) <= framesPerColumn)
        ++level;
    return level;
}

void PeakPyramid::Add(const float *interleaved, size_t elements)
{
    if (finished_)
        return;
    int64_t frames = int64_t(elements / size_t(channels_));
    while (frames > 0) {
        int64_t n = 0;
        if (inBucket_ == 0 && frames >= FinestFrames) {
            n = FinestFrames;
            FoldBucket(interleaved, channels_, current_.data());
        } else {
            n = std::min(frames, FinestFrames - inBucket_);
            for (int64_t f = 0; f < n; ++f) {
                for (int c = 0; c < channels_; ++c) {
                    const float v = interleaved[f * channels_ + c];
                    float &lo = current_[size_t(2 * c)], &hi = current_[size_t(2 * c + 1)];
                    lo = v < lo ? v : lo;
                    hi = v > hi ? v : hi;
                }
            }
        }
        interleaved += n * channels_;
        frames -= n;
        inBucket_ += n;
        framesAdded_ += n;
        if (inBucket_ == FinestFrames)
            CloseFinest();
    }
    Publish();
}

void PeakPyramid::CloseFinest()
{
    for (size_t i = 0; i < current_.size(); i += 2) {
        closing_[i] = QuantiseLow(current_[i]);
        closing_[i + 1] = QuantiseHigh(current_[i + 1]);
    }
    WriteBucket(0, closing_.data());
    ResetOpen(current_);
    inBucket_ = 0;
}

void PeakPyramid::WriteBucket(int level, const int16_t *lohi)
{
    const int64_t index = written_[size_t(level)];
    const size_t chunk = size_t(index / ChunkBuckets);
    const size_t width = size_t(2 * channels_);
    if (chunk == chunks_[size_t(level)].size()) {
        const std::lock_guard lock(mutex_);
        chunks_[size_t(level)].push_back(std::make_unique<int16_t[]>(size_t(ChunkBuckets) * width));
        levels_ = std::max(levels_, level + 1);
    }
    // Past published_: no reader looks here until the next Publish.
    std::copy(lohi, lohi + width, chunks_[size_t(level)][chunk].get() + size_t(index % ChunkBuckets) * width);
    written_[size_t(level)] = index + 1;
    if (level + 1 >= MaxLevels)
        return;
    Accumulator &up = above_[size_t(level + 1)];
    for (size_t i = 0; i < width; i += 2) {
        up.lohi[i] = up.folded == 0 ? lohi[i] : std::min(up.lohi[i], lohi[i]);
        up.lohi[i + 1] = up.folded == 0 ? lohi[i + 1] : std::max(up.lohi[i + 1], lohi[i + 1]);
    }
    if (++up.folded == Fanout) {
        up.folded = 0;
        WriteBucket(level + 1, up.lohi.data());
    }
}

void PeakPyramid::Finish()
{
    if (finished_)
        return;
    if (inBucket_ > 0)
        CloseFinest();
    // Close the open bucket of each level while the level below has more
    // than one bucket: above that, a level would repeat the one below.
    for (int level = 1; level < MaxLevels && written_[size_t(level - 1)] > 1; ++level) {
        Accumulator &open = above_[size_t(level)];
        if (open.folded > 0) {
            open.folded = 0;
            WriteBucket(level, open.lohi.data());
        }
    }
    finished_ = true;
    Publish();
}

void PeakPyramid::Publish()
{
    const std::lock_guard lock(mutex_);
    published_ = written_;
    frames_ = finished_ ? framesAdded_ : written_[0] * FinestFrames;
}

int64_t PeakPyramid::Frames() const
{
    const std::lock_guard lock(mutex_);
    return frames_;
}

void PeakPyramid::Fold(int level, int channel, int64_t a, int64_t b, PeakRange &range) const
{
    const int first = channel < 0 ? 0 : channel;
    const int last = channel < 0 ? channels_ - 1 : channel;
    const size_t width = size_t(2 * channels_);
    for (int l = level; l >= 0; --l) {
        const int64_t w = LevelWidth(l);
        const int64_t n = published_[size_t(l)];
        const int64_t i1 = (b + w - 1) / w;
        for (int64_t i = a / w; i < std::min(i1, n); ++i) {
            const int16_t *bucket = chunks_[size_t(l)][size_t(i / ChunkBuckets)].get() + size_t(i % ChunkBuckets) * width;
            for (int c = first; c <= last; ++c) {
                range.lo = std::min(range.lo, float(bucket[2 * c]) / Scale);
                range.hi = std::max(range.hi, float(bucket[2 * c + 1]) / Scale);
            }
        }
        if (i1 <= n)
            return;
        // The rest is not yet in this level: the finer ones hold it.
        a = std::max(a, n * w);
    }
}

void PeakPyramid::Columns(int channel, double first, double framesPerColumn, int columns,
                          std::vector<PeakRange> &out) const
{
    out.assign(size_t(std::max(columns, 0)), PeakRange{});
    if (columns <= 0 || !(framesPerColumn > 0) || !std::isfinite(first) || !std::isfinite(framesPerColumn) ||
        channel < -1 || channel >= channels_)
        return;
    const std::lock_guard lock(mutex_);
    if (levels_ == 0 || frames_ == 0)
        return;
    const int level = std::min(LevelFor(framesPerColumn), levels_ - 1);
    for (int c = 0; c < columns; ++c) {
        const double start = first + double(c) * framesPerColumn;
        int64_t a = ClampFrame(std::floor(start));
        // A column inside one frame still shows that frame.
        int64_t b = std::max(a + 1, ClampFrame(std::ceil(first + double(c + 1) * framesPerColumn)));
        a = std::max<int64_t>(a, 0);
        b = std::min(b, frames_);
        if (a < b)
            Fold(level, channel, a, b, out[size_t(c)]);
    }
}

size_t PeakPyramid::Bytes() const
{
    const std::lock_guard lock(mutex_);
    size_t chunks = 0;
    for (const auto &level : chunks_)
        chunks += level.size();
    return chunks * size_t(ChunkBuckets) * size_t(2 * channels_) * sizeof(int16_t);
}

size_t PeakPyramid::BytesFor(int64_t frames, int channels)
{
    size_t chunks = 0;
    int64_t buckets = (std::max<int64_t>(frames, 0) + FinestFrames - 1) / FinestFrames;
    for (int level = 0; level < MaxLevels && buckets > 0; ++level) {
        chunks += size_t((buckets + ChunkBuckets - 1) / ChunkBuckets);
        if (buckets == 1)
            break;
        buckets = (buckets + Fanout - 1) / Fanout;
    }
    return chunks * size_t(ChunkBuckets) * size_t(2 * std::max(1, channels)) * sizeof(int16_t);
}
