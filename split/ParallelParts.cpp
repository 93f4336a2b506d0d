#include "split/ParallelParts.h"

#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"
#include "config/OutputSetup.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct Worker {
    TAudioFile2 reader, writer;
    TAudioFile2LameEnc encoder;
    std::thread thread;
};

// What a worker learnt of a part beyond its outcome.
struct PartReading {
    bool created = false;  // its file was created (and so is ours to remove)
    int64_t sourceEnd = -1; // the source gave nothing more from this frame on, before the part's end
    bool endReached = false; // ...and frame sourceEnd - 1 was read, so the source ends exactly there
};

// What the calling thread and the workers share. `next`, `finished` and
// `news` are guarded by `mutex`; an outcome (and reading) is written by its
// worker before its index enters `finished`, and read by the calling thread after.
struct Shared {
    explicit Shared(size_t count) : written(count), outcomes(count), readings(count) {}
    std::mutex mutex;
    std::condition_variable news;
    size_t next = 0;
    std::vector<size_t> finished;
    std::atomic<bool> stop = false;
    // The first part in order that failed: the parts after it are given up.
    std::atomic<size_t> failedAt = SIZE_MAX;
    std::vector<std::atomic<int64_t>> written;
    std::vector<PartOutcome> outcomes;
    std::vector<PartReading> readings;
};

void CloseQuietly(TAudioFile2 &writer)
{
    try {
        writer.CloseFile();
    } catch (const AudioError &) {
        // Already reported as not written.
    }
}

void WritePart(Worker &w, const PartJob &job, size_t index, int32_t blockFrames, Shared &shared, PartOutcome &out,
               const ParallelParts::Hooks &hooks)
{
    std::atomic<int64_t> &written = shared.written[index];
    PartReading &reading = shared.readings[index];
    // The reader is reused from part to part: this part's losses are those met from here on.
    const size_t lossesBefore = w.reader.ReadLosses().size();
    const auto keepLosses = [&] {
        const std::vector<ReadLoss> all = w.reader.ReadLosses();
        out.losses.assign(all.begin() + std::ptrdiff_t(std::min(lossesBefore, all.size())), all.end());
    };
    const auto removeFile = [&] {
        CloseQuietly(w.writer);
        QFile::remove(job.path);
        out.removed = true;
    };
    if (w.reader.Seek(job.start) != job.start) {
        // The reader found the source shorter than its length said: the part may not exist at all.
        reading.sourceEnd = job.start;
        keepLosses();
        return;
    }
    AnnounceSource(w.writer, {w.reader.SampleRate(), w.reader.Channels(), job.end - job.start});
    w.writer.CreateFile(job.path, 0);
    if (w.writer.LastError() != 0) {
        out.failure = PartOutcome::Failure::Write;
        out.reason = w.writer.LastErrorText();
        return;
    }
    reading.created = true;
    const int64_t elements = std::max(w.reader.ElementsPerSample(), 1);
    int64_t position = job.start;
    while (position < job.end) {
        // The piece of the source's block grid that a reading through gives the writer here.
        const int64_t blockEnd = (position / blockFrames + 1) * blockFrames;
        PcmArray block;
        try {
            block = w.reader.ReadArray(std::min(blockEnd, job.end) - position);
        } catch (const AudioError &e) {
            // A part cut short where the source could not be read would pass for a whole one.
            out.failure = PartOutcome::Failure::Read;
            out.reason = e.text();
            removeFile();
            return;
        }
        if (block.empty()) {
            // The source ends early: the part is as long as the audio.
            reading.sourceEnd = position;
            reading.endReached = position > job.start || position == 0;
            break;
        }
        try {
            w.writer.WriteArray(block);
        } catch (const AudioError &e) {
            out.failure = PartOutcome::Failure::Write;
            out.reason = e.text();
            CloseQuietly(w.writer);
            return;
        }
        position += int64_t(block.size()) / elements;
        written.store(position - job.start, std::memory_order_relaxed);
        if (index > shared.failedAt) {
            // A reading through would have ended at the failed part, before this one.
            removeFile();
            return;
        }
        if (shared.stop.load(std::memory_order_relaxed))
            break;
    }
    keepLosses();
    try {
        w.writer.CloseFile();
    } catch (const AudioError &e) {
        out.failure = PartOutcome::Failure::Write;
        out.reason = e.text();
        return;
    }
    out.closed = true;
    // Whether a part the source ran out in exists at all is known only when every part has ended.
    if (reading.sourceEnd < 0 && index < shared.failedAt && hooks.finished)
        hooks.finished(index);
}

// Where the source really ends, when some part found it shorter than its
// length said; INT64_MAX when none did.
int64_t SourceEnd(const QString &sourcePath, const std::vector<PartReading> &readings)
{
    int64_t end = INT64_MAX;
    bool reached = true;
    for (const PartReading &r : readings) {
        if (r.sourceEnd >= 0 && (r.sourceEnd < end || (r.sourceEnd == end && r.endReached))) {
            end = r.sourceEnd;
            reached = r.endReached;
        }
    }
    if (end == INT64_MAX || reached)
        return end;
    // Only a part that read nothing at its start saw the end: the source ends
    // there or before (inside a part not saved). One frame tells whether a
    // reading through reaches that start, and so begins the part.
    TAudioFile2 probe;
    probe.OpenFile(sourcePath, 0, 1);
    bool there = false;
    try {
        there = probe.LastError() == 0 && probe.Seek(end - 1) == end - 1 && !probe.ReadArray(1).empty();
    } catch (const AudioError &) {
    }
    probe.CloseFile();
    return there ? end : end - 1;
}

} // namespace

std::vector<PartOutcome> ParallelParts::Run(const QString &sourcePath, int32_t blockFrames, int jobs,
                                            const std::vector<PartJob> &parts, const Hooks &hooks)
{
    Shared shared(parts.size());
    std::vector<std::unique_ptr<Worker>> workers;
    for (int j = 0; j < std::min<int>(jobs, int(parts.size())); ++j) {
        auto w = std::make_unique<Worker>();
        hooks.configure(w->writer, w->encoder);
        workers.push_back(std::move(w));
    }
    // Should a hook throw, the workers are stopped and joined before the
    // state they share goes away.
    struct JoinOnExit {
        Shared &shared;
        std::vector<std::unique_ptr<Worker>> &workers;
        ~JoinOnExit()
        {
            shared.stop = true;
            for (auto &w : workers)
                if (w->thread.joinable())
                    w->thread.join();
        }
    } joinOnExit{shared, workers};
    for (auto &worker : workers) {
        Worker &w = *worker;
        w.thread = std::thread([&] {
            bool opened = false;
            for (;;) {
                size_t k = 0;
                {
                    const std::lock_guard lock(shared.mutex);
                    if (shared.next >= parts.size() || shared.stop || shared.next > shared.failedAt)
                        return;
                    k = shared.next++;
                }
                PartOutcome &out = shared.outcomes[k];
                if (!opened) {
                    w.reader.OpenFile(sourcePath, 0, 1);
                    opened = w.reader.LastError() == 0;
                    if (!opened) {
                        out.failure = PartOutcome::Failure::Open;
                        out.reason = w.reader.LastErrorText();
                    }
                }
                if (opened) {
                    try {
                        WritePart(w, parts[k], k, blockFrames, shared, out, hooks);
                    } catch (const AudioError &e) {
                        out.failure = PartOutcome::Failure::Read; // a seek that could not decode
                        out.reason = e.text();
                    } catch (const std::exception &e) {
                        out.failure = PartOutcome::Failure::Read;
                        out.reason = QString::fromLocal8Bit(e.what());
                    }
                    if (out.failure == PartOutcome::Failure::Read && w.writer.State() == 2) {
                        CloseQuietly(w.writer);
                        QFile::remove(parts[k].path);
                        out.removed = true;
                    }
                }
                if (out.failure != PartOutcome::Failure::None) {
                    size_t first = shared.failedAt;
                    while (k < first && !shared.failedAt.compare_exchange_weak(first, k)) {
                    }
                }
                {
                    const std::lock_guard lock(shared.mutex);
                    shared.finished.push_back(k);
                }
                shared.news.notify_one();
            }
        });
    }

    // The calling thread relays the ends and the progress, and breathes. Once
    // stopped, or once a part failed, no worker takes another part: the run
    // ends when the parts taken have ended.
    size_t ended = 0;
    for (;;) {
        std::vector<size_t> finished;
        {
            std::unique_lock lock(shared.mutex);
            shared.news.wait_for(lock, std::chrono::milliseconds(25), [&] { return !shared.finished.empty(); });
            finished.swap(shared.finished);
        }
        ended += finished.size();
        int64_t written = 0;
        for (const auto &w : shared.written)
            written += w.load(std::memory_order_relaxed);
        if (!hooks.breathe(written))
            shared.stop = true;
        size_t taken = parts.size();
        if (shared.stop || shared.failedAt != SIZE_MAX) {
            const std::lock_guard lock(shared.mutex);
            taken = shared.next;
        }
        if (ended == taken)
            break;
    }
    for (auto &w : workers)
        w->thread.join();

    // Leave what a reading through leaves: it never begins a part past the
    // source's true end, and it stops at the first part that fails.
    const int64_t sourceEnd = SourceEnd(sourcePath, shared.readings);
    size_t failed = SIZE_MAX;
    for (size_t k = 0; k < parts.size(); ++k) {
        PartOutcome &out = shared.outcomes[k];
        const PartReading &reading = shared.readings[k];
        if (parts[k].begins > sourceEnd || k > failed) {
            const bool hadFile = out.removed || (reading.created && QFile::remove(parts[k].path));
            out = PartOutcome{};
            out.removed = hadFile;
            continue;
        }
        if (out.failure != PartOutcome::Failure::None) {
            failed = k;
            continue;
        }
        if (out.closed && reading.sourceEnd >= 0 && hooks.finished)
            hooks.finished(k);
    }
    return std::move(shared.outcomes);
}
