#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The lowest and highest sample value of a stretch of audio, all channels
// together. An empty range (nothing folded in yet) has lo > hi.
struct PeakRange {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -std::numeric_limits<float>::infinity();

    bool empty() const { return lo > hi; }
    void fold(const PeakRange &other)
    {
        lo = other.lo < lo ? other.lo : lo;
        hi = other.hi > hi ? other.hi : hi;
    }
};

// The resolution peaks are kept at, whatever the window's width: at most this
// many buckets per source, so an hour of audio costs a few hundred KiB.
inline constexpr int64_t MaxPeakBuckets = 32768;

// Frames per bucket for a source of totalFrames: at least 1, and never more
// buckets than MaxPeakBuckets. 0 (length unknown) gives 1: the builder widens
// the buckets as the source turns out longer.
int64_t PeakFramesPerBucket(int64_t totalFrames);

// Folds interleaved float samples, given in order and in arrays of any size,
// into buckets of a number of frames. Every sample of every channel counts:
// the extremes are kept, never averaged away. The buckets never pass
// MaxPeakBuckets, whatever the source's length: a bucket that would be one
// too many first merges the buckets in pairs and doubles the width, so a
// source whose length was unknown or an estimate that fell short costs no
// more than one of a known length.
class PeakBuilder {
public:
    PeakBuilder(int64_t framesPerBucket, int channels);

    // Elements beyond the last whole frame are ignored.
    void Add(const float *interleaved, size_t elements);
    // Closes a partly filled last bucket; the builder takes nothing after it.
    void Finish();

    // The completed buckets: bucket b covers frames [b, b + 1) * FramesPerBucket().
    // They change only when the width does.
    const std::vector<PeakRange> &Buckets() const { return buckets_; }
    int64_t FramesPerBucket() const { return framesPerBucket_; }
    int64_t FramesAdded() const { return framesAdded_; }

private:
    // Pairs of buckets become one of twice the width.
    void Widen();

    int64_t framesPerBucket_;
    int channels_;
    int64_t framesAdded_ = 0;
    int64_t inBucket_ = 0; // frames already folded into current_
    PeakRange current_;
    std::vector<PeakRange> buckets_;
};

// Min/max of each of `columns` equal stretches of a source of totalFrames,
// from buckets as PeakBuilder makes them. A column takes every bucket that
// overlaps its stretch, and at least the one holding its first frame, so
// narrow columns over coarse buckets are still drawn. Columns past the
// buckets there are so far (a computation still running) stay empty.
std::vector<PeakRange> PeakColumns(const std::vector<PeakRange> &buckets, int64_t framesPerBucket,
                                   int64_t totalFrames, int columns);
