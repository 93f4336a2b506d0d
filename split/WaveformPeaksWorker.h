#pragma once
#include "split/WaveformPeaks.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Computes the peaks of one source on a thread of its own, with a reader of
// its own (the window's reader belongs to the preview), decoding the file
// once. The window polls: each Poll hands over the buckets finished since the
// last one, so the waveform fills in from the left while the file is read.
//
// Only Start, Stop and Poll are called, all from one thread (the window's);
// the worker thread touches nothing but its reader and the shared snapshot.
class WaveformPeaksWorker {
public:
    struct Status {
        QString source;              // the file of the current run, empty when none
        int sampleRate = 0;          // 0 until the source is open
        int64_t totalFrames = 0;     // the source's length as the reader reports it
        int64_t framesPerBucket = 0;
        int64_t framesRead = 0;
        bool finished = false;       // every frame is in the buckets, or the run failed
        QString error;               // why the source could not be read, empty when it could
        int Percent() const;         // of the source read, 0..100
    };

    WaveformPeaksWorker() = default;
    ~WaveformPeaksWorker();
    WaveformPeaksWorker(const WaveformPeaksWorker &) = delete;
    WaveformPeaksWorker &operator=(const WaveformPeaksWorker &) = delete;

    // Stops a run in progress, then starts reading path.
    void Start(const QString &path);
    // Asks the run to end and waits for it: the thread checks between two
    // reads of a fraction of a second's audio. The peaks so far stay.
    void Stop();
    bool Running() const;

    // Appends to buckets those finished since buckets.size() and returns the
    // state of the run; when the run has widened its buckets since the last
    // Poll (a source longer than its length said), replaces them all with
    // the wider ones (at most MaxPeakBuckets). Call with an emptied vector
    // after a Start.
    Status Poll(std::vector<PeakRange> &buckets) const;

private:
    void Run(QString path);
    // Under mutex_: brings buckets_ and the status up to the builder.
    void Publish(const PeakBuilder &builder);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_; // guards what follows
    Status status_;
    std::vector<PeakRange> buckets_;
    mutable int64_t polledWidth_ = 0; // framesPerBucket of the buckets the last Poll handed out
};
