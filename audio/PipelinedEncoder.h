#pragma once
#include "audio/Encoder.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio_detail {

// Runs another encoder on a thread of its own, so that decoding, resampling
// and encoding of one file overlap on two cores. Meant for codecs whose
// library cannot use a second core itself (libFLAC before 1.5, libopus).
//
// write() copies the block into a short queue and returns; it waits only
// while the queue is full. A failure of the inner encoder is thrown by the
// next write() or by finish(), with the inner encoder's own message. Apart
// from prepare(), which the caller's thread runs before queueing a block, the
// inner encoder is only ever used by one thread at a time: the worker while
// it runs, the caller after finish() or destruction has joined it.
class PipelinedEncoder final : public Encoder {
public:
    explicit PipelinedEncoder(std::unique_ptr<Encoder> inner);
    // Abandons the file when finish() did not succeed: the block being
    // encoded is completed, queued blocks are dropped, and the inner
    // encoder removes its incomplete file.
    ~PipelinedEncoder() override;

    int sampleRate() const override { return sampleRate_; }
    int channels() const override { return channels_; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    void run();
    void stopWorker(bool drain);

    // Blocks in flight; two keep the worker busy while the caller fills one.
    static constexpr size_t kDepth = 3;

    std::unique_ptr<Encoder> inner_;
    const int sampleRate_;
    const int channels_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<float>> queue_; // guarded by mutex_
    std::vector<std::vector<float>> spare_; // emptied blocks for reuse; guarded by mutex_
    bool closing_ = false;  // no more blocks come; guarded by mutex_
    bool abandon_ = false;  // drop what is queued; guarded by mutex_
    std::exception_ptr failure_; // guarded by mutex_
    std::thread worker_;
};

} // namespace audio_detail
