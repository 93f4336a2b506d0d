#include "audio/PipelinedEncoder.h"

namespace audio_detail {

PipelinedEncoder::PipelinedEncoder(std::unique_ptr<Encoder> inner)
    : inner_(std::move(inner)), sampleRate_(inner_->sampleRate()), channels_(inner_->channels())
{
    worker_ = std::thread([this] { run(); });
}

PipelinedEncoder::~PipelinedEncoder() { stopWorker(false); }

void PipelinedEncoder::run()
{
    for (;;) {
        std::vector<float> block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return abandon_ || closing_ || !queue_.empty(); });
            if (abandon_ || queue_.empty())
                return;
            block = std::move(queue_.front());
            queue_.pop_front();
        }
        changed_.notify_all();
        try {
            inner_->write(block.data(), int64_t(block.size()) / channels_);
        } catch (...) {
            std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            queue_.clear();
            changed_.notify_all();
            return;
        }
        std::lock_guard lock(mutex_);
        if (spare_.size() < kDepth)
            spare_.push_back(std::move(block));
    }
}

void PipelinedEncoder::write(const float *pcm, int64_t frames)
{
    if (frames <= 0)
        return;
    inner_->prepare(pcm, frames);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || queue_.size() < kDepth; });
    if (failure_)
        std::rethrow_exception(failure_);
    std::vector<float> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(pcm, pcm + frames * channels_);
    queue_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
}

void PipelinedEncoder::finish()
{
    stopWorker(true);
    {
        std::lock_guard lock(mutex_);
        if (failure_)
            std::rethrow_exception(failure_);
    }
    inner_->finish();
}

void PipelinedEncoder::stopWorker(bool drain)
{
    if (!worker_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        (drain ? closing_ : abandon_) = true;
    }
    changed_.notify_all();
    worker_.join();
}

} // namespace audio_detail
