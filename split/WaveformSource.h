#pragma once
#include "split/WaveformPeaks.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Everything the waveform editor draws of one source, read on threads of its
// own with readers of its own (never the window's): a min/max pyramid built
// in one decode, filled in progressively, and exact samples read on demand
// (exact seek) around the view at zooms finer than the pyramid's finest level.
// All public calls come from one thread (the window's) and never block on a
// decode; they may take a short lock the workers also take.
class WaveformSource {
public:
    struct Status {
        QString source;
        int sampleRate = 0;         // 0 until the source is open
        int channels = 0;
        int64_t totalFrames = 0;    // the reader's length; grows if the source proves longer
        int64_t framesScanned = 0;  // frames folded into the pyramid so far
        bool finished = false;      // the pyramid holds every frame, or the build failed
        QString error;              // why the source could not be read; empty when it could
    };

    WaveformSource();
    ~WaveformSource();               // stops both workers
    WaveformSource(const WaveformSource &) = delete;
    WaveformSource &operator=(const WaveformSource &) = delete;

    void Start(const QString &path); // stops a build in progress, forgets the cache
    void Stop();                     // cancels the build; what is built stays
    Status Poll() const;

    // Min/max of channel `channel` (0-based; -1: all channels together) over
    // `columns` columns, column c covering frames
    // [first + c * framesPerColumn, first + (c + 1) * framesPerColumn).
    // Columns not yet scanned, or outside the source, come back empty
    // (PeakRange::empty()). When framesPerColumn is finer than the pyramid's
    // finest level, the exact samples are used if cached; otherwise a read
    // is requested, the columns come back from the finest level, and
    // SamplesPending() says so until the read lands.
    void Columns(int channel, double first, double framesPerColumn, int columns,
                 std::vector<PeakRange> &out) const;

    // Exact float samples of channel `channel` for frames [first, first + count)
    // when they are cached (returns true); otherwise requests them and returns
    // false. count is at most MaxSampleSpan.
    bool Samples(int channel, int64_t first, int64_t count, std::vector<float> &out) const;
    bool SamplesPending() const;      // a requested read has not landed yet

    // The pyramid's finest bucket, in frames.
    static constexpr int64_t FinestBucket = 256;
    static constexpr int64_t MaxSampleSpan = 1 << 20;
    // Bytes the pyramid holds now (for the memory bound).
    size_t PyramidBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
