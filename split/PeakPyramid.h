#pragma once
#include "split/WaveformPeaks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The lowest and highest sample of every channel of one source at several
// resolutions, filled in from the start as the source is decoded, so that
// the editor draws any zoom, from the whole file down to a few hundred
// frames a column, from a handful of buckets a column instead of samples.
//
// Level 0 holds one bucket per FinestFrames frames; each level above merges
// Fanout buckets of the one below. Four rather than two: the levels above
// level 0 then cost a third of it instead of as much again (a 3-hour stereo
// source: 20 MiB instead of 30), and since a column reads the coarsest level
// whose bucket is no wider than itself, that bucket is between a quarter and
// the whole of the column: a column reads at most five buckets of its level,
// and the frames it shows beyond its own edges are at most one such bucket.
//
// Values are kept as 16-bit steps of 1/Scale (so +-2.0, room for the
// overshoots of lossy decoders), lows rounded down and highs up: a peak
// drawn is never smaller than the audio's. Values beyond +-2 are drawn at
// +-2.
//
// One thread adds (the builder); any number of threads read. Buckets live in
// chunks that never move once allocated; readers see only the buckets the
// builder has published, under a lock held for the length of one query.
class PeakPyramid {
public:
    static constexpr int64_t FinestFrames = 256;
    static constexpr int Fanout = 4;
    static constexpr float Scale = 16384.0f;
    // Level MaxLevels - 1 has buckets of 2^54 frames, more than any source.
    static constexpr int MaxLevels = 24;

    explicit PeakPyramid(int channels);
    ~PeakPyramid();
    PeakPyramid(const PeakPyramid &) = delete;
    PeakPyramid &operator=(const PeakPyramid &) = delete;

    int Channels() const { return channels_; }

    // Builder side. Interleaved frames in source order, in arrays of any
    // size; elements beyond the last whole frame are ignored.
    void Add(const float *interleaved, size_t elements);
    // Publishes the partly filled last bucket of each level; nothing may be
    // added after it.
    void Finish();

    // Frames whose peaks a query sees: whole level-0 buckets while building,
    // every frame added once finished.
    int64_t Frames() const;

    // Min/max of channel `channel` (-1: all channels) over `columns` columns,
    // column c covering frames [first + c * framesPerColumn, first + (c + 1) *
    // framesPerColumn): every frame that overlaps that stretch counts, so a
    // column narrower than a frame still shows the frame under it. Columns
    // outside [0, Frames()) come back empty.
    void Columns(int channel, double first, double framesPerColumn, int columns, std::vector<PeakRange> &out) const;

    // Bytes of bucket storage allocated now.
    size_t Bytes() const;
    // What Bytes() comes to once a source of `frames` frames is finished.
    static size_t BytesFor(int64_t frames, int channels);

    // Frames per bucket at a level.
    static int64_t LevelWidth(int level);
    // The coarsest level whose buckets are no wider than framesPerColumn (0
    // when even level 0's are wider).
    static int LevelFor(double framesPerColumn);

private:
    // Buckets per chunk at every level: 32 KiB of stereo, so the chunks the
    // coarse levels barely fill cost little, and a 3-hour level 0 needs a
    // few hundred.
    static constexpr int64_t ChunkBuckets = 4096;

    struct Accumulator {
        std::vector<int16_t> lohi; // per channel: low, high
        int folded = 0;            // buckets of the level below folded in
    };

    // Level 0's open bucket becomes a stored one.
    void CloseFinest();
    void WriteBucket(int level, const int16_t *lohi);
    void Publish();
    // Under mutex_: folds levels' buckets into `range` for frames [a, b),
    // reading from `level` down where a coarser level is not yet published.
    void Fold(int level, int channel, int64_t a, int64_t b, PeakRange &range) const;

    const int channels_;

    // The builder's own state.
    std::vector<float> current_; // level 0's open bucket, per channel: low, high
    std::vector<int16_t> closing_; // current_ rounded outwards
    int64_t inBucket_ = 0;
    int64_t framesAdded_ = 0;
    bool finished_ = false;
    std::array<int64_t, MaxLevels> written_{};
    std::array<Accumulator, MaxLevels> above_; // [L]: the open bucket of level L (L >= 1)

    // Shared with readers. Chunk contents past published_ belong to the
    // builder; the chunk lists change only under the lock.
    mutable std::mutex mutex_;
    std::array<std::vector<std::unique_ptr<int16_t[]>>, MaxLevels> chunks_;
    std::array<int64_t, MaxLevels> published_{};
    int levels_ = 0;
    int64_t frames_ = 0;
};
