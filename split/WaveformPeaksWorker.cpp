#include "split/WaveformPeaksWorker.h"

#include "audio/TAudioFile2.h"

#include <algorithm>
#include <exception>

namespace {

// Frames per read: short enough that a stop is seen within a few
// milliseconds of decoding, long enough that the lock and the copy of the
// new buckets cost nothing beside the decode.
constexpr int64_t ReadFrames = 32768;

} // namespace

int WaveformPeaksWorker::Status::Percent() const
{
    if (finished && error.isEmpty())
        return 100;
    if (totalFrames <= 0)
        return 0;
    return int(std::clamp<int64_t>(framesRead * 100 / totalFrames, 0, 100));
}

WaveformPeaksWorker::~WaveformPeaksWorker()
{
    Stop();
}

void WaveformPeaksWorker::Start(const QString &path)
{
    Stop();
    {
        const std::lock_guard lock(mutex_);
        status_ = {};
        status_.source = path;
        buckets_.clear();
        buckets_.shrink_to_fit();
        polledWidth_ = 0;
    }
    cancel_ = false;
    thread_ = std::thread(&WaveformPeaksWorker::Run, this, path);
}

void WaveformPeaksWorker::Stop()
{
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool WaveformPeaksWorker::Running() const
{
    if (!thread_.joinable())
        return false;
    const std::lock_guard lock(mutex_);
    return !status_.finished;
}

WaveformPeaksWorker::Status WaveformPeaksWorker::Poll(std::vector<PeakRange> &buckets) const
{
    const std::lock_guard lock(mutex_);
    if (polledWidth_ != status_.framesPerBucket) {
        buckets = buckets_;
        polledWidth_ = status_.framesPerBucket;
    } else if (buckets.size() < buckets_.size()) {
        buckets.insert(buckets.end(), buckets_.begin() + ptrdiff_t(buckets.size()), buckets_.end());
    }
    return status_;
}

void WaveformPeaksWorker::Run(QString path)
{
    TAudioFile2 reader;
    reader.OpenFile(path);
    if (reader.LastError() != 0) {
        const std::lock_guard lock(mutex_);
        status_.error = reader.LastErrorText();
        status_.finished = true;
        return;
    }
    const int channels = reader.ElementsPerSample();
    PeakBuilder builder(PeakFramesPerBucket(reader.Length()), channels);
    {
        const std::lock_guard lock(mutex_);
        status_.sampleRate = reader.SampleRate();
        status_.totalFrames = reader.Length();
        status_.framesPerBucket = builder.FramesPerBucket();
        buckets_.reserve(size_t(std::min(MaxPeakBuckets + 1, reader.Length() / builder.FramesPerBucket() + 1)));
    }
    QString error;
    bool complete = false;
    try {
        while (!cancel_) {
            const PcmArray pcm = reader.ReadArray(ReadFrames);
            if (pcm.empty()) {
                builder.Finish();
                complete = true;
                break;
            }
            builder.Add(pcm.data(), pcm.size());
            const std::lock_guard lock(mutex_);
            Publish(builder);
        }
    } catch (const std::exception &e) {
        error = QString::fromStdString(e.what());
    }
    const std::lock_guard lock(mutex_);
    Publish(builder);
    status_.error = error;
    // A cancelled run is not finished: its peaks stop where it was stopped.
    status_.finished = complete || !error.isEmpty();
}

void WaveformPeaksWorker::Publish(const PeakBuilder &builder)
{
    const std::vector<PeakRange> &done = builder.Buckets();
    if (builder.FramesPerBucket() != status_.framesPerBucket) {
        buckets_ = done;
        status_.framesPerBucket = builder.FramesPerBucket();
    } else if (buckets_.size() < done.size()) {
        buckets_.insert(buckets_.end(), done.begin() + ptrdiff_t(buckets_.size()), done.end());
    }
    status_.framesRead = builder.FramesAdded();
}
