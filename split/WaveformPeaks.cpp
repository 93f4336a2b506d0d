#include "split/WaveformPeaks.h"

#include <algorithm>

namespace {

// Written as plain comparisons over one contiguous run so the compiler turns
// it into vector min/max: this loop sees every sample of the source.
PeakRange FoldRun(const float *p, size_t n)
{
    float lo = std::numeric_limits<float>::infinity();
    float hi = -std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < n; ++i) {
        lo = p[i] < lo ? p[i] : lo;
        hi = p[i] > hi ? p[i] : hi;
    }
    return {lo, hi};
}

// Widening merges pairs: an even cap leaves no bucket without a partner.
static_assert(MaxPeakBuckets % 2 == 0);

} // namespace

int64_t PeakFramesPerBucket(int64_t totalFrames)
{
    if (totalFrames <= MaxPeakBuckets)
        return 1;
    return (totalFrames + MaxPeakBuckets - 1) / MaxPeakBuckets;
}

PeakBuilder::PeakBuilder(int64_t framesPerBucket, int channels)
    : framesPerBucket_(std::max<int64_t>(1, framesPerBucket)), channels_(std::max(1, channels))
{
}

void PeakBuilder::Add(const float *interleaved, size_t elements)
{
    int64_t frames = int64_t(elements / size_t(channels_));
    while (frames > 0) {
        const int64_t n = std::min(frames, framesPerBucket_ - inBucket_);
        current_.fold(FoldRun(interleaved, size_t(n) * size_t(channels_)));
        interleaved += size_t(n) * size_t(channels_);
        frames -= n;
        inBucket_ += n;
        framesAdded_ += n;
        if (inBucket_ == framesPerBucket_) {
            if (int64_t(buckets_.size()) < MaxPeakBuckets) {
                buckets_.push_back(current_);
                current_ = {};
                inBucket_ = 0;
            } else {
                // The full bucket is the first half of one twice as wide.
                Widen();
            }
        }
    }
}

void PeakBuilder::Widen()
{
    const size_t pairs = buckets_.size() / 2;
    for (size_t i = 0; i < pairs; ++i) {
        PeakRange merged = buckets_[2 * i];
        merged.fold(buckets_[2 * i + 1]);
        buckets_[i] = merged;
    }
    buckets_.resize(pairs);
    framesPerBucket_ *= 2;
}

void PeakBuilder::Finish()
{
    if (inBucket_ > 0) {
        if (int64_t(buckets_.size()) >= MaxPeakBuckets)
            Widen();
        buckets_.push_back(current_);
    }
    current_ = {};
    inBucket_ = 0;
}

std::vector<PeakRange> PeakColumns(const std::vector<PeakRange> &buckets, int64_t framesPerBucket,
                                   int64_t totalFrames, int columns)
{
    std::vector<PeakRange> out(size_t(std::max(columns, 0)));
    if (columns <= 0 || totalFrames <= 0 || framesPerBucket <= 0 || buckets.empty())
        return out;
    const int64_t count = int64_t(buckets.size());
    for (int c = 0; c < columns; ++c) {
        // totalFrames * columns stays far below 2^63 for any source and screen.
        const int64_t begin = totalFrames * c / columns;
        const int64_t end = std::max(begin + 1, totalFrames * (c + 1) / columns);
        const int64_t first = begin / framesPerBucket;
        if (first >= count)
            break;
        const int64_t last = std::min(count - 1, (end - 1) / framesPerBucket);
        for (int64_t b = first; b <= last; ++b)
            out[size_t(c)].fold(buckets[size_t(b)]);
    }
    return out;
}
