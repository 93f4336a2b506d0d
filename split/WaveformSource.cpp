#include "split/WaveformSource.h"

#include "audio/TAudioFile2.h"
#include "split/PeakPyramid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

static_assert(WaveformSource::FinestBucket == PeakPyramid::FinestFrames);

namespace {

// Frames per read: short enough that a stop is seen within a millisecond or
// two of decoding, long enough that publishing costs nothing beside the
// decode. Stereo arrays of this size stay below malloc's mmap threshold, so
// each read reuses heap memory instead of faulting in fresh pages: a 3-hour
// build took 5 % less CPU than with 32768-frame reads (seen).
constexpr int64_t ReadFrames = 8192;
// A window read is at least this long, and twice what was asked, so that
// scrolling a little at a fine zoom stays inside the cache.
constexpr int64_t LeastWindow = 1 << 16;
// Windows kept: the view, where it just was, and one more; at most 8 MiB
// each for stereo.
constexpr size_t CachedWindows = 3;

struct Span {
    int64_t first = 0;
    int64_t count = 0;
    bool Covers(int64_t a, int64_t b) const { return first <= a && b <= first + count; }
};

// Frames [first, first + frames) of the source, interleaved.
struct Window {
    int64_t first = 0;
    int64_t frames = 0;
    int channels = 0;
    bool reachesEnd = false; // the source ended (or could not be read) inside it
    std::shared_ptr<const std::vector<float>> pcm;
    uint64_t used = 0;       // when it last served a call: the oldest goes first
    bool Covers(int64_t a, int64_t b) const { return first <= a && (b <= first + frames || reachesEnd); }
};

// One source's state, shared by the window's calls and both workers. Each
// worker holds it too, so a worker told to stop may finish its last read
// after the window has moved on to another source.
struct Run {
    QString path;
    std::atomic<bool> stopBuild{false};
    std::atomic<bool> quit{false};       // the sampler's stop
    std::atomic<bool> builderDone{false};
    std::atomic<bool> samplerDone{false};

    std::mutex mutex; // guards what follows
    WaveformSource::Status status;
    std::shared_ptr<PeakPyramid> pyramid; // set once the source is open
    std::condition_variable wake;         // a read is wanted, or quit
    std::optional<Span> wanted;           // the next read
    std::optional<Span> reading;          // the read under way
    bool samplerFailed = false;           // the sampler's reader could not open the source
    std::vector<Window> cache;
    uint64_t clock = 0;

    // Under mutex: a cached window holding frames [a, b), marked as used.
    const Window *Cached(int64_t a, int64_t b)
    {
        for (Window &w : cache) {
            if (w.Covers(a, b)) {
                w.used = ++clock;
                return &w;
            }
        }
        return nullptr;
    }
    // Under mutex: frames there are to read, as far as is known.
    int64_t KnownEnd() const { return std::max(status.totalFrames, status.framesScanned); }
    // Under mutex: asks the sampler for frames [a, b), with room around them.
    void Want(int64_t a, int64_t b);
};

void Run::Want(int64_t a, int64_t b)
{
    if (samplerFailed || (reading && reading->Covers(a, b)) || (wanted && wanted->Covers(a, b)))
        return;
    const int64_t asked = b - a;
    const int64_t span = std::min(WaveformSource::MaxSampleSpan, std::max(2 * asked, LeastWindow));
    int64_t first = std::max<int64_t>(0, a - (span - asked) / 2);
    // Near the end the room goes before the frames asked for.
    if (status.sampleRate > 0 && first + span > KnownEnd())
        first = std::max<int64_t>(0, std::min(a, KnownEnd() - span));
    wanted = Span{first, span};
    wake.notify_one();
}

// Raises a worker's flag however it leaves, so it can be joined without waiting.
struct MarkDone {
    std::atomic<bool> &done;
    ~MarkDone() { done = true; }
};

void Build(const std::shared_ptr<Run> &run)
{
    const MarkDone mark{run->builderDone};
    TAudioFile2 reader;
    // The one decode of the whole file is what the user waits for; the
    // window's thread is idle meanwhile.
    reader.SetDecodeThreads(int(std::max(2u, std::thread::hardware_concurrency())));
    reader.OpenFile(run->path);
    if (reader.LastError() != 0) {
        const std::lock_guard lock(run->mutex);
        run->status.error = reader.LastErrorText();
        run->status.finished = true;
        return;
    }
    const auto pyramid = std::make_shared<PeakPyramid>(reader.ElementsPerSample());
    {
        const std::lock_guard lock(run->mutex);
        run->status.sampleRate = reader.SampleRate();
        run->status.channels = reader.ElementsPerSample();
        run->status.totalFrames = reader.Length();
        run->pyramid = pyramid;
    }
    QString error;
    bool complete = false;
    try {
        while (!run->stopBuild) {
            const PcmArray pcm = reader.ReadArray(ReadFrames);
            if (pcm.empty()) {
                complete = true;
                break;
            }
            pyramid->Add(pcm.data(), pcm.size());
            const int64_t scanned = pyramid->Frames();
            const std::lock_guard lock(run->mutex);
            run->status.framesScanned = scanned;
            run->status.totalFrames = std::max(run->status.totalFrames, scanned);
        }
    } catch (const std::exception &e) {
        error = QString::fromStdString(e.what());
    }
    // What was read shows, to its last frame, whatever ended the build.
    pyramid->Finish();
    const int64_t scanned = pyramid->Frames();
    const std::lock_guard lock(run->mutex);
    run->status.framesScanned = scanned;
    // A length the reader only estimated gives way to the frames there were.
    run->status.totalFrames = complete ? scanned : std::max(run->status.totalFrames, scanned);
    run->status.error = error;
    // A stopped build is not finished: its pyramid ends where it was stopped.
    run->status.finished = complete || !error.isEmpty();
}

// Reads frames [span.first, span.first + span.count) as reading through the
// source gives them, as far as the source goes. The reader seeks exactly
// where it can; a source longer than its length said is read on from where
// the seek stops (at the length) to the frame asked for.
Window ReadWindow(TAudioFile2 &reader, const Span &span, const Run &run)
{
    Window w;
    w.first = span.first;
    w.channels = std::max(reader.ElementsPerSample(), 1);
    const int64_t channels = w.channels;
    auto pcm = std::make_shared<std::vector<float>>();
    try {
        int64_t at = reader.Seek(span.first);
        while (at < span.first && !run.quit) {
            const PcmArray skipped = reader.ReadArray(std::min(ReadFrames, span.first - at));
            if (skipped.empty())
                break;
            at += int64_t(skipped.size()) / channels;
        }
        if (at != span.first) {
            w.first = std::min(at, span.first);
            w.reachesEnd = true;
        }
        pcm->reserve(size_t(span.count * channels));
        while (!w.reachesEnd && w.frames < span.count && !run.quit) {
            const PcmArray block = reader.ReadArray(std::min(ReadFrames, span.count - w.frames));
            if (block.empty()) {
                w.reachesEnd = true;
                break;
            }
            pcm->insert(pcm->end(), block.begin(), block.end());
            w.frames += int64_t(block.size()) / channels;
        }
    } catch (const std::exception &) {
        // The pyramid's build reports what cannot be read; here it is only
        // where the samples stop, so the stretch is not asked for again.
        w.reachesEnd = true;
    }
    w.pcm = std::move(pcm);
    return w;
}

void Sample(const std::shared_ptr<Run> &run)
{
    const MarkDone mark{run->samplerDone};
    TAudioFile2 reader;
    bool open = false;
    std::unique_lock lock(run->mutex);
    for (;;) {
        run->wake.wait(lock, [&] { return run->quit || run->wanted; });
        if (run->quit)
            break;
        const Span span = *run->wanted;
        run->wanted.reset();
        run->reading = span;
        lock.unlock();
        if (!open) {
            reader.OpenFile(run->path);
            open = reader.LastError() == 0;
        }
        std::optional<Window> read;
        if (open)
            read = ReadWindow(reader, span, *run);
        lock.lock();
        run->reading.reset();
        if (!open) {
            run->samplerFailed = true;
            run->wanted.reset();
        } else if (!run->quit) {
            // A request outside the cache replaces the window used longest ago.
            read->used = ++run->clock;
            if (run->cache.size() < CachedWindows)
                run->cache.push_back(std::move(*read));
            else
                *std::min_element(run->cache.begin(), run->cache.end(), [](const Window &x, const Window &y) {
                    return x.used < y.used;
                }) = std::move(*read);
        }
    }
}

// Frames [a, b) of a column starting at `start`, of `width` frames: every
// frame the column overlaps, at least the one under its start.
std::pair<int64_t, int64_t> ColumnFrames(double start, double end)
{
    constexpr double Limit = double(int64_t(1) << 62);
    const int64_t a = int64_t(std::clamp(std::floor(start), -Limit, Limit));
    return {a, std::max(a + 1, int64_t(std::clamp(std::ceil(end), -Limit, Limit)))};
}

} // namespace

struct WaveformSource::Impl {
    std::shared_ptr<Run> run = std::make_shared<Run>();
    std::thread builder;
    std::thread sampler;

    struct Retired {
        std::thread thread;
        std::shared_ptr<Run> run;
        bool sampler = false;
        bool Done() const { return sampler ? run->samplerDone : run->builderDone; }
    };
    // Workers of earlier sources, told to stop and left to end on their own,
    // so that a change of source never waits for a read (a far seek in a
    // source that can only be decoded through is one long read); joined once
    // done, and at the latest on destruction.
    std::vector<Retired> retired;

    void Retire();
    void JoinRetired(bool wait);
    // Exact columns from a cached window; false when none holds them.
    bool ColumnsFromSamples(int channel, double first, double framesPerColumn, int columns,
                            std::vector<PeakRange> &out, std::shared_ptr<PeakPyramid> &pyramid);
};

void WaveformSource::Impl::Retire()
{
    run->stopBuild = true;
    {
        const std::lock_guard lock(run->mutex);
        run->quit = true;
    }
    run->wake.notify_all();
    if (builder.joinable())
        retired.push_back({std::move(builder), run, false});
    if (sampler.joinable())
        retired.push_back({std::move(sampler), run, true});
    JoinRetired(false);
}

void WaveformSource::Impl::JoinRetired(bool wait)
{
    std::erase_if(retired, [wait](Retired &r) {
        if (!wait && !r.Done())
            return false;
        r.thread.join();
        return true;
    });
}

WaveformSource::WaveformSource() : impl_(std::make_unique<Impl>()) {}

WaveformSource::~WaveformSource()
{
    impl_->Retire();
    impl_->JoinRetired(true);
}

void WaveformSource::Start(const QString &path)
{
    impl_->Retire();
    impl_->run = std::make_shared<Run>();
    impl_->run->path = path;
    impl_->run->status.source = path;
    impl_->builder = std::thread(Build, impl_->run);
    impl_->sampler = std::thread(Sample, impl_->run);
}

void WaveformSource::Stop()
{
    impl_->run->stopBuild = true;
    if (impl_->builder.joinable())
        impl_->builder.join();
}

WaveformSource::Status WaveformSource::Poll() const
{
    const std::lock_guard lock(impl_->run->mutex);
    return impl_->run->status;
}

bool WaveformSource::Impl::ColumnsFromSamples(int channel, double first, double framesPerColumn, int columns,
                                              std::vector<PeakRange> &out, std::shared_ptr<PeakPyramid> &pyramid)
{
    Window window;
    {
        const std::lock_guard lock(run->mutex);
        pyramid = run->pyramid;
        if (!pyramid || framesPerColumn >= double(FinestBucket))
            return false;
        const int64_t from = std::max<int64_t>(ColumnFrames(first, first).first, 0);
        const int64_t to = std::min(
            ColumnFrames(first + (columns - 1) * framesPerColumn, first + columns * framesPerColumn).second,
            run->KnownEnd());
        // Nothing of the source under the columns, or more than one window
        // could hold: the pyramid answers.
        if (from >= to || to - from > MaxSampleSpan)
            return false;
        const Window *cached = run->Cached(from, to);
        if (!cached) {
            run->Want(from, to);
            return false;
        }
        window = *cached;
    }
    const int channels = window.channels;
    if (channel >= channels)
        return true;
    const std::vector<float> &pcm = *window.pcm;
    for (int c = 0; c < columns; ++c) {
        const auto [a, b] = ColumnFrames(first + c * framesPerColumn, first + (c + 1) * framesPerColumn);
        PeakRange &r = out[size_t(c)];
        for (int64_t f = std::max(a, window.first); f < std::min(b, window.first + window.frames); ++f) {
            const float *frame = pcm.data() + size_t((f - window.first) * channels);
            for (int k = channel < 0 ? 0 : channel; k <= (channel < 0 ? channels - 1 : channel); ++k)
                r.fold({frame[k], frame[k]});
        }
    }
    return true;
}

void WaveformSource::Columns(int channel, double first, double framesPerColumn, int columns,
                             std::vector<PeakRange> &out) const
{
    out.assign(size_t(std::max(columns, 0)), PeakRange{});
    if (columns <= 0 || !(framesPerColumn > 0) || !std::isfinite(first) || !std::isfinite(framesPerColumn) ||
        channel < -1)
        return;
    std::shared_ptr<PeakPyramid> pyramid;
    if (impl_->ColumnsFromSamples(channel, first, framesPerColumn, columns, out, pyramid) || !pyramid)
        return;
    pyramid->Columns(channel, first, framesPerColumn, columns, out);
}

bool WaveformSource::Samples(int channel, int64_t first, int64_t count, std::vector<float> &out) const
{
    out.clear();
    Run &run = *impl_->run;
    Window window;
    const int64_t a = std::max<int64_t>(first, 0);
    int64_t b = first + std::clamp<int64_t>(count, 0, MaxSampleSpan);
    {
        const std::lock_guard lock(run.mutex);
        const int channels = run.status.channels;
        if (channel < -1 || (channels > 0 && channel >= channels))
            return false;
        if (channels > 0)
            b = std::min(b, run.KnownEnd());
        // Nothing of the source there: nothing to wait for.
        if (a >= b)
            return true;
        const Window *cached = run.Cached(a, b);
        if (!cached) {
            run.Want(a, b);
            return false;
        }
        window = *cached;
    }
    const int64_t channels = window.channels;
    if (channel >= channels)
        return false;
    b = std::min(b, window.first + window.frames);
    const float *pcm = window.pcm->data();
    if (channel < 0) {
        out.assign(pcm + (a - window.first) * channels, pcm + (std::max(a, b) - window.first) * channels);
        return true;
    }
    for (int64_t f = a; f < b; ++f)
        out.push_back(pcm[(f - window.first) * channels + channel]);
    return true;
}

bool WaveformSource::SamplesPending() const
{
    const std::lock_guard lock(impl_->run->mutex);
    return impl_->run->wanted.has_value() || impl_->run->reading.has_value();
}

size_t WaveformSource::PyramidBytes() const
{
    std::shared_ptr<PeakPyramid> pyramid;
    {
        const std::lock_guard lock(impl_->run->mutex);
        pyramid = impl_->run->pyramid;
    }
    return pyramid ? pyramid->Bytes() : 0;
}
