#include "split/ParallelParts.h"

#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"

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

// What the calling thread and the workers share. `next`, `finished` and
// `news` are guarded by `mutex`; an outcome is written by its worker before
// its index enters `finished`, and read by the calling thread after.
struct Shared {
    explicit Shared(size_t count) : written(count), outcomes(count) {}
    std::mutex mutex;
    std::condition_variable news;
    size_t next = 0;
    std::vector<size_t> finished;
    std::atomic<bool> stop = false;
    // The first part in order that failed: the parts after it are given up.
    std::atomic<size_t> failedAt = SIZE_MAX;
    std::vector<std::atomic<int64_t>> written;
    std::vector<PartOutcome> outcomes;
};

void CloseQuietly(TAudioFile2 &writer)
{
    try {
        writer.CloseFile();
    } catch (const AudioError &) {
        // Already reported as not written.
    }
}

void WritePart(Worker &w, const PartJob &job, size_t index, int32_t blockFrames, Shared &shared, PartOutcome &out)
{
    std::atomic<int64_t> &written = shared.written[index];
    if (w.reader.Seek(job.start) != job.start) {
        out.failure = PartOutcome::Failure::Read;
        out.reason = QStringLiteral("Cannot move to sample %1 of the source").arg(job.start);
        return;
    }
    w.writer.SetInputFormat(w.reader.SampleRate(), w.reader.Channels());
    w.writer.CreateFile(job.path, 0);
    if (w.writer.LastError() != 0) {
        out.failure = PartOutcome::Failure::Write;
        out.reason = w.writer.LastErrorText();
        return;
    }
    const int64_t elements = std::max(w.reader.ElementsPerSample(), 1);
    int64_t position = job.start;
    while (position < job.end) {
        // The piece of the source's block grid that a reading through gives the writer here.
        const int64_t blockEnd = (position / blockFrames + 1) * blockFrames;
        PcmArray block;
        try {
            block = w.reader.ReadArray(std::min(blockEnd, job.end) - position);
        } catch (const AudioError &e) {
            out.failure = PartOutcome::Failure::Read;
            out.reason = e.text();
            CloseQuietly(w.writer);
            return;
        }
        if (block.empty())
            break; // the source ends early: the part is as long as the audio
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
            CloseQuietly(w.writer);
            QFile::remove(job.path);
            return;
        }
        if (shared.stop.load(std::memory_order_relaxed))
            break;
    }
    try {
        w.writer.CloseFile();
    } catch (const AudioError &e) {
        out.failure = PartOutcome::Failure::Write;
        out.reason = e.text();
        return;
    }
    out.closed = true;
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
                        WritePart(w, parts[k], k, blockFrames, shared, out);
                    } catch (const AudioError &e) {
                        CloseQuietly(w.writer); // a seek that could not decode
                        out.failure = PartOutcome::Failure::Read;
                        out.reason = e.text();
                    } catch (const std::exception &e) {
                        CloseQuietly(w.writer);
                        out.failure = PartOutcome::Failure::Read;
                        out.reason = QString::fromLocal8Bit(e.what());
                    }
                    out.damage = w.reader.ReadDamage();
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
        for (const size_t k : finished) {
            ++ended;
            hooks.ended(k, shared.outcomes[k]);
        }
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
    return std::move(shared.outcomes);
}
