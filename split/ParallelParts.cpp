#include "split/ParallelParts.h"

#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"
#include "base/OrderedPool.h"
#include "config/OutputSetup.h"
#include "split/SplitEngine.h"

#include <mutex>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <cmath>
#include <memory>

std::vector<PartSpan> SplitPartSpans(const SamplePointsArr &points, int32_t partCount, int64_t totalSamples,
                                     int64_t blockFrames, bool exact)
{
    const int64_t T = totalSamples;
    const int64_t B = std::max<int64_t>(blockFrames, 1);
    std::vector<PartSpan> spans;
    const auto point = [&](int32_t k) { return size_t(k) < points.size() ? points[size_t(k)] : 0.0L; };
    if (exact) {
        // A point between two frames belongs to the part before it.
        const auto planned = [&](int32_t k) {
            return k >= partCount ? T : std::max<int64_t>(0, int64_t(std::ceil(point(k))));
        };
        int64_t position = 0;
        for (int32_t k = 1; k <= partCount; ++k) {
            const int64_t end = planned(k);
            if (k == partCount || end > T) {
                spans.push_back({position, T, position}); // an end past the source's is never reached: no part follows
                break;
            }
            spans.push_back({position, std::max(end, position), position});
            position = std::max(end, position);
        }
        return spans;
    }
    // The block precisions: a part ends with the first block whose end reaches
    // its point, compared as a reading through compares, and the next part
    // begins with that same block, once the count of frames read reaches the point.
    const int64_t blocks = (T + B - 1) / B;
    const auto reached = [&](int64_t b) { return std::min((b + 1) * B, T); };
    int64_t first = 0;
    int64_t begins = 0;
    for (int32_t k = 1; k <= partCount; ++k) {
        const long double p = k < partCount ? point(k) : 0;
        if (k == partCount || static_cast<long double>(T) < p) {
            spans.push_back({first * B, T, begins});
            break;
        }
        int64_t last = std::max<int64_t>(first, int64_t(std::ceil(p / B)) - 1);
        while (last > first && static_cast<long double>(reached(last - 1)) >= p)
            --last;
        while (last + 1 < blocks && static_cast<long double>(reached(last)) < p)
            ++last;
        spans.push_back({first * B, reached(last), begins});
        first = last;
        begins = std::max<int64_t>(0, int64_t(std::ceil(p)));
    }
    return spans;
}

namespace {

// A worker's own components; its reader opens the source at its first part.
struct Worker {
    TAudioFile2 reader, writer;
    TAudioFile2LameEnc encoder;
    bool opened = false;
};

// What a worker learnt of a part beyond its outcome.
struct PartReading {
    bool created = false;  // its file was created (and so is ours to remove)
    int64_t sourceEnd = -1; // the source gave nothing more from this frame on, before the part's end
    bool endReached = false; // ...and frame sourceEnd - 1 was read, so the source ends exactly there
};

// What the calling thread and the workers share besides the pool. An outcome
// (and reading) is written by the worker that writes its part, and read by
// the calling thread once the pool has joined the workers.
struct Shared {
    Shared(const OrderedPool &p, size_t count) : pool(p), written(count), outcomes(count), readings(count) {}
    const OrderedPool &pool;
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
        if (shared.pool.GivenUp(index)) {
            // A reading through would have ended at the failed part, before this one.
            removeFile();
            return;
        }
        if (shared.pool.Stopped())
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
    if (reading.sourceEnd < 0 && !shared.pool.GivenUp(index) && hooks.finished)
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

// The part job's one catch: whatever its reading or writing throws fails the part.
OrderedPool::JobEnd RunPart(Worker &w, const QString &sourcePath, const PartJob &job, size_t k, int32_t blockFrames,
                            Shared &shared, const ParallelParts::Hooks &hooks)
{
    // Behind a part that failed meanwhile: passed over. A part handed out
    // before a stop is begun and ends after its first block, as a running one.
    if (shared.pool.GivenUp(k))
        return OrderedPool::JobEnd::Done;
    PartOutcome &out = shared.outcomes[k];
    if (!w.opened) {
        w.reader.OpenFile(sourcePath, 0, 1);
        w.opened = w.reader.LastError() == 0;
        if (!w.opened) {
            out.failure = PartOutcome::Failure::Open;
            out.reason = w.reader.LastErrorText();
        }
    }
    if (w.opened) {
        try {
            WritePart(w, job, k, blockFrames, shared, out, hooks);
        } catch (const AudioError &e) {
            out.failure = PartOutcome::Failure::Read; // a seek that could not decode
            out.reason = e.text();
        } catch (const std::exception &e) {
            out.failure = PartOutcome::Failure::Read;
            out.reason = QString::fromLocal8Bit(e.what());
        }
        if (out.failure == PartOutcome::Failure::Read && w.writer.State() == 2) {
            CloseQuietly(w.writer);
            QFile::remove(job.path);
            out.removed = true;
        }
    }
    return out.failure == PartOutcome::Failure::None ? OrderedPool::JobEnd::Done : OrderedPool::JobEnd::GiveUpLater;
}

} // namespace

std::vector<PartOutcome> ParallelParts::Run(const QString &sourcePath, int32_t blockFrames, int jobs,
                                            const std::vector<PartJob> &parts, const Hooks &hooks)
{
    const int count = std::min<int>(jobs, int(parts.size()));
    OrderedPool pool(count, parts.size());
    Shared shared(pool, parts.size());
    std::vector<std::unique_ptr<Worker>> workers;
    for (int j = 0; j < count; ++j) {
        auto w = std::make_unique<Worker>();
        hooks.configure(w->writer, w->encoder);
        workers.push_back(std::move(w));
    }

    // The calling thread relays the progress and breathes. Once stopped, or
    // once a part failed, no part is handed out: the run ends when the parts
    // handed out have ended.
    OrderedPool::Hooks run;
    run.run = [&](int worker, size_t k) {
        return RunPart(*workers[size_t(worker)], sourcePath, parts[k], k, blockFrames, shared, hooks);
    };
    // The breath comes after each turn's handing out, so that a stop pressed
    // in the first one finds the first part begun, as a reading through does.
    bool goOn = true;
    run.relay = [&] { return goOn; };
    run.breathe = [&] {
        int64_t written = 0;
        for (const auto &w : shared.written)
            written += w.load(std::memory_order_relaxed);
        goOn = hooks.breathe(written);
    };
    pool.Run(run);

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

QString RemovedPartLine(const QString &path)
{
    return "\nThe unfinished part file " + path + " was removed.";
}

QString PartFailureText(const PartOutcome &o, const PartJob &job, const QString &sourcePath)
{
    if (o.failure == PartOutcome::Failure::Open)
        return "Unable to open the file " + sourcePath + (o.reason.isEmpty() ? QString() : "\n" + o.reason);
    if (o.failure == PartOutcome::Failure::Read)
        return o.reason + (o.removed ? RemovedPartLine(job.path) : QString());
    return "Unable to write to " + job.path + (o.reason.isEmpty() ? QString() : "\n" + o.reason);
}

// The split engine's side of a run on workers: which parts, their tags, and
// what the workers' outcomes tell the user.

int SplitEngine::ParallelJobs(int64_t totalSamples) const
{
    const int jobs = settings_.jobs > 0 ? settings_.jobs : QThread::idealThreadCount();
    // A reader that cannot seek exactly would give a part other samples than a
    // reading through; a length that is an estimate would put the last cut
    // where a reading through does not end.
    if (jobs < 2 || partsToWrite_ < 2 || totalSamples <= 0 || !FileR.SeeksExactly() || !FileR.LengthIsExact()
        || FileR.Length() != totalSamples)
        return 1;
    return std::min(jobs, int(partsToWrite_));
}

std::vector<PartJob> SplitEngine::PartRanges(SplitMode mode, int64_t totalSamples) const
{
    std::vector<PartJob> jobs;
    const std::vector<PartSpan> spans =
        SplitPartSpans(plan_.SamplePoints, plan_.PartCount, totalSamples, run_.SplitBlockSamples, run_.ExactCut);
    for (int32_t k = 1; k <= int32_t(spans.size()); ++k) {
        const PartSpan &span = spans[size_t(k - 1)];
        if (PartSaved(mode, k))
            jobs.push_back(PartJob{k, PartPath(mode, k), span.start, span.end, span.begins});
    }
    return jobs;
}

SplitOutcome SplitEngine::RunInParallel(SplitMode mode, int jobs, int sourceRate)
{
    const int64_t totalSamples = AudioInformation.TotalSamples();
    const std::vector<PartJob> parts = PartRanges(mode, totalSamples);
    int64_t planned = 0;
    for (const PartJob &p : parts)
        planned += p.end - p.start;

    // Each part's tag is made here, in the parts' order as a reading through
    // makes them, and written by the worker that closes the part: tagging
    // copies the whole file, which must not hold up the window.
    std::vector<TAudioInformation2> tags;
    if (run_.CopyTag) {
        tags.reserve(parts.size());
        for (size_t i = 0; i < parts.size(); ++i) {
            tags.push_back(AudioInformation);
            TagPart(tags.back(), parts[i].part, int32_t(i) + 1);
        }
    }

    ParallelParts::Hooks hooks;
    hooks.configure = [this](TAudioFile2 &writer, TAudioFile2LameEnc &encoder) {
        // Refused Ogg rates were said once already, for FileW.
        if (const std::optional<OutputFormat> format = output_format::FromWord(settings_.saveformat))
            ConfigureOutput(writer, encoder, *format, settings_, OggSettingsRule::QualityModeFirst);
    };
    hooks.finished = [&tags, &parts](size_t index) {
        if (index >= tags.size())
            return;
        // TagLib builds shared tables lazily on first use, unguarded: two
        // parts tagged at once on two workers could race there.
        static std::mutex taggingMutex;
        try {
            const std::lock_guard lock(taggingMutex);
            tags[index].SaveTag(parts[index].path);
        } catch (const AudioError &) {
            // A part without its tag is still a good part; the audio is kept.
        }
    };
    hooks.breathe = [&](int64_t written) {
        run_.SamplesRead = ScaleFrames(written, totalSamples, planned);
        observer_.Progress(ProgressPercent(written, planned));
        observer_.Breathe();
        return bool(run_.Running);
    };
    const std::vector<PartOutcome> outcomes =
        ParallelParts::Run(sourcePath_, run_.SplitBlockSamples, jobs, parts, hooks);

    // The run leaves the part fields and the information object as a
    // reading through leaves them: at the last part it finished.
    std::vector<ReadLoss> losses;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const PartOutcome &o = outcomes[i];
        for (const ReadLoss &loss : o.losses)
            AddReadLoss(losses, loss, sourceRate);
        // The first failing part in order is the one a reading through would have met.
        if (o.failure != PartOutcome::Failure::None)
            return Fail(PartFailureText(o, parts[i], sourcePath_));
        if (!o.closed)
            continue;
        run_.CurrentPart = parts[i].part;
        run_.CurrentPartFileName = PartFileName(mode, parts[i].part);
        if (run_.CopyTag)
            TagPart(parts[i].part, int32_t(i) + 1);
    }
    if (run_.Running)
        run_.SamplesRead = totalSamples;
    return EndRun(ReadLossText(losses, sourceRate));
}
