#include "merge/ConvertEngine.h"

#include "audio/TAudioFile2.h"
#include "base/OutputFormat.h"
#include "audio/TAudioInformation2.h"
#include "merge/BlockPump.h"
#include "config/OutputSetup.h"
#include "merge/OutputNames.h"
#include "base/RunReport.h"
#include "merge/RunTexts.h"
#include "merge/CloseQuietly.h"
#include "base/QueuedRunReport.h"
#include "base/OrderedPool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <QThread>
#include <exception>
#include <memory>
#include <vector>

#include "merge/ConvertFile.h"
#include "audio/ReplayGainTags.h"

using FileOutcome = ConvertFileOutcome;

namespace {

// Only where the tags have a place is the cost of measuring worth it.
bool MeasuresLoudness(const ConvertRequest &request)
{
    return request.replayGain &&
           CarriesReplayGain(QStringLiteral("x") + output_format::Extension(ConvertEngine::ChosenFormat(request)));
}

} // namespace


ConvertEngine::ConvertEngine(TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder,
                             RunReport &observer)
    : reader_(std::make_unique<TAudioFile2>()), fileR_(*reader_), fileW_(fileW), info_(info), encoder_(encoder),
      observer_(observer)
{
}

ConvertEngine::~ConvertEngine() = default;

OutputFormat ConvertEngine::ChosenFormat(const ConvertRequest &request)
{
    return *output_format::AtIndex(std::clamp(request.formatIndex, 0, output_format::Count() - 1));
}

QString ConvertEngine::Refusal(const ConvertRequest &request)
{
    if (request.sources.isEmpty())
        return QStringLiteral("Please add files first!");
    if (request.savePath.isEmpty())
        return QStringLiteral("Please select save path!");
    return {};
}


void ConvertEngine::Start(const ConvertRequest &request, const TProgramSettings &settings)
{
    if (const QString refusal = Refusal(request); !refusal.isEmpty()) {
        observer_.Information(refusal);
        return;
    }
    RunConversion(request, settings);
}

void ConvertEngine::RunConversion(const ConvertRequest &request, const TProgramSettings &settings)
{
    if (request.sources.isEmpty())
        return;
    if (Converting()) {
        // Pressed again during a run: the running loop sees the cleared flag
        // after its block and ends as a stopped run.
        converting_ = false;
        observer_.Status(QStringLiteral("Stop"));
        return;
    }

    // A folder typed or remembered but not yet made is made, as a merge does;
    // otherwise every source would fail on its own with the same cause.
    if (!MakeFolder(request.savePath)) {
        observer_.Error(QStringLiteral("Cannot create ") + request.savePath);
        return;
    }

    // Running and locked before the preview stops: stopping the player may
    // run the event loop, and a press on Convert then stops this run instead
    // of starting a second one.
    converting_ = true;
    observer_.Began();
    // Nothing of the run before shows: its gauge may have ended anywhere.
    observer_.Status(QStringLiteral("Converting..."));
    observer_.Progress(0);
    samplesDone_ = 0;
    clock_.start();
    failures_ = 0;
    skipped_ = 0;
    currentIndex_ = 0;
    failureLines_.clear();
    warnings_.clear();
    folderFailure_.clear();
    measured_.clear();

    const int count = int(request.sources.size());
    const int jobs = std::min(request.jobs > 0 ? request.jobs : QThread::idealThreadCount(), count);
    if (jobs > 1) {
        ConvertInParallel(request, settings, jobs);
    } else {
        for (int k = 1; k <= count && converting_ && folderFailure_.isEmpty(); ++k) {
            currentInput_ = request.sources[k - 1];
            currentIndex_ = k;
            if (!QFileInfo::exists(currentInput_))
                PassOverMissing(k, currentInput_);
            else
                ConvertSource(request, settings);
            ShowFilesLeft(k, count, samplesDone_, request.listTotalSamples);
        }
    }

    // A stopped run's albums lack tracks: their album gain would be wrong.
    FinishReplayGain(request, converting_);
    if (!folderFailure_.isEmpty()) {
        // The files after it would all fail alike: one message ends the run.
        observer_.Status(QStringLiteral("Failed"));
        observer_.Error(WithWarnings(folderFailure_, failureLines_ + warnings_));
        BackToIdle();
        return;
    }
    if (converting_) {
        if (failures_ == 0) {
            observer_.Status(QStringLiteral("Complete!"));
            observer_.Information(WithWarnings(QStringLiteral("Complete converting files!"), SkippedLines() + warnings_));
        } else {
            observer_.Status(QStringLiteral("Finished"));
            observer_.Information(
                WithWarnings(QStringLiteral("Finished converting files, but %1 of %2 file(s) could not be converted.")
                                 .arg(failures_)
                                 .arg(count),
                             SkippedLines() + failureLines_ + warnings_));
        }
        observer_.Progress(100);
    } else {
        observer_.Status(QStringLiteral("Cancel"));
        observer_.Information(WithWarnings(QStringLiteral("Cancel converting files!"), failureLines_ + warnings_));
    }
    converting_ = false;
    observer_.Ended();
}

void ConvertEngine::FinishReplayGain(const ConvertRequest &request, bool albums)
{
    if (!request.replayGain)
        return;
    const OutputFormat format = ChosenFormat(request);
    if (!CarriesReplayGain(QStringLiteral("x") + output_format::Extension(format))) {
        warnings_ << NoReplayGainNote(output_format::Word(format).toUpper());
        return;
    }
    warnings_ << WriteReplayGainTags(measured_, albums);
    measured_.clear();
}

void ConvertEngine::PassOverMissing(int row, const QString &path)
{
    observer_.Message(QStringLiteral("Invalid input file name: ") + path);
    observer_.RowStatus(row, QStringLiteral("Error"));
    ++failures_;
}

QStringList ConvertEngine::SkippedLines() const
{
    if (skipped_ == 0)
        return {};
    return {QStringLiteral("%1 file(s) already converted were skipped.").arg(skipped_)};
}

void ConvertEngine::PassOverConverted(int row)
{
    observer_.RowStatus(row, QStringLiteral("Skipped"));
    ++skipped_;
}

void ConvertEngine::ShowFilesLeft(int done, int count, int64_t samples, int64_t total)
{
    const qint64 ms = clock_.elapsed();
    qint64 left = 0;
    if (total > 0 && samples > 0)
        left = ms * std::max<int64_t>(0, total - samples) / samples;
    else if (done > 0)
        left = ms * (count - done) / done;
    observer_.FilesLeft(done, count - done, int(left / 1000));
}

void ConvertEngine::Tally(const ConvertFileOutcome &outcome)
{
    samplesDone_ += outcome.counted;
    if (outcome.failed)
        ++failures_;
    if (!outcome.error.isEmpty())
        failureLines_ << outcome.error;
    warnings_ << outcome.warnings;
    if (outcome.loudness)
        measured_.push_back({outcome.written, outcome.albumKey, outcome.loudness});
    if (folderFailure_.isEmpty())
        folderFailure_ = outcome.folderFailure;
}

void ConvertEngine::ConvertSource(const ConvertRequest &request, const TProgramSettings &settings)
{
    const OutputFormat format = ChosenFormat(request);
    const QString output = PlannedOutput(NamingOf(request), currentInput_);
    if (request.skipExisting && AlreadyConverted(currentInput_, output)) {
        PassOverConverted(currentIndex_);
        return;
    }
    const QString written = WrittenPath(output);
    if (OwnedByASource(request.sources, written)) {
        observer_.RowStatus(currentIndex_, QStringLiteral("Skipped"));
        Tally(OutputIsASource(currentInput_, written));
        return;
    }

    const FileTask task{.row = currentIndex_,
                        .input = currentInput_,
                        .written = written,
                        .format = format,
                        .copyTags = request.copyTags,
                        .measureLoudness = MeasuresLoudness(request),
                        .listDone = samplesDone_,
                        .listTotal = request.listTotalSamples};
    Tally(ConvertOneSource({fileR_, fileW_, info_, encoder_, observer_}, task, settings, converting_));
}

namespace {

// A worker's own components: a file is read and written by one worker only.
struct ConvertWorker {
    TAudioFile2 reader, writer;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
};

} // namespace

void ConvertEngine::ConvertInParallel(const ConvertRequest &request, const TProgramSettings &settings, int jobs)
{
    const int count = int(request.sources.size());
    const OutputFormat format = ChosenFormat(request);

    // Every name is chosen before any file starts, in list order, so the
    // files get the names a one-at-a-time run gives them.
    std::vector<FileTask> tasks(static_cast<size_t>(count));
    std::vector<bool> skipped(static_cast<size_t>(count));
    std::vector<std::atomic<int64_t>> positions(static_cast<size_t>(count));
    std::vector<FileOutcome> outcomes(static_cast<size_t>(count)); // each written by the one thread that ends its file
    std::vector<bool> converted(static_cast<size_t>(count));
    QSet<QString> reserved;
    const ConvertNaming naming = NamingOf(request);
    for (int k = 0; k < count; ++k) {
        const QString &input = request.sources[k];
        const QString planned = PlannedOutput(naming, input);
        converted[size_t(k)] = request.skipExisting && AlreadyConverted(input, planned);
        const QString written = converted[size_t(k)] ? planned : WrittenPath(planned, reserved);
        skipped[size_t(k)] = !converted[size_t(k)] && OwnedByASource(request.sources, written);
        if (!skipped[size_t(k)])
            reserved.insert(written);
        tasks[size_t(k)] = FileTask{.row = k + 1,
                                    .input = input,
                                    .written = written,
                                    .format = format,
                                    .copyTags = request.copyTags,
                                    .measureLoudness = MeasuresLoudness(request),
                                    .listDone = 0,
                                    .listTotal = request.listTotalSamples,
                                    .position = &positions[size_t(k)]};
    }

    OrderedPool pool(jobs, size_t(count));
    QueuedRunReport reports(pool, observer_);
    std::vector<std::unique_ptr<ConvertWorker>> workers;
    for (int j = 0; j < jobs; ++j)
        workers.push_back(std::make_unique<ConvertWorker>());
    std::atomic<int> ended{0}; // files converted, failed or passed over
    int lastEnded = 0;
    int lastGauge = -1;
    const auto showGauge = [&] {
        if (const int now = ended.load(); now != lastEnded) {
            lastEnded = now;
            int64_t samples = 0;
            for (const auto &p : positions)
                samples += p.load(std::memory_order_relaxed);
            ShowFilesLeft(now, count, samples, request.listTotalSamples);
        }
        if (request.listTotalSamples == 0)
            return;
        int64_t done = 0;
        for (const auto &p : positions)
            done += p.load(std::memory_order_relaxed);
        const int gauge = int(done * 100 / request.listTotalSamples);
        if (gauge != lastGauge)
            observer_.Progress(lastGauge = gauge);
    };

    // As one at a time, a missing source is passed over with its box, a
    // stopped run passes over the rest, and a folder that refuses files ends
    // the handing out.
    OrderedPool::Hooks hooks;
    hooks.admit = [&](size_t k) {
        const FileTask &task = tasks[k];
        ++ended; // undone below for a file handed to a worker
        if (!QFileInfo::exists(task.input)) {
            PassOverMissing(task.row, task.input);
            return false;
        }
        if (converted[k]) {
            PassOverConverted(task.row);
            return false;
        }
        if (skipped[k]) {
            observer_.RowStatus(task.row, QStringLiteral("Skipped"));
            outcomes[k] = OutputIsASource(task.input, task.written);
            return false;
        }
        --ended;
        return true;
    };
    hooks.run = [&](int worker, size_t k) {
        ConvertWorker &w = *workers[size_t(worker)];
        const FileTask &task = tasks[k];
        FileOutcome outcome;
        try {
            outcome = ConvertOneSource({w.reader, w.writer, w.info, w.encoder, reports}, task, settings, converting_);
        } catch (const std::exception &e) {
            CloseBothQuietly(w.reader, w.writer);
            outcome.failed = true;
            outcome.error = QString::fromStdString(e.what());
            reports.RowStatus(task.row, QStringLiteral("Error"));
        }
        positions[k].store(outcome.counted, std::memory_order_relaxed);
        ++ended;
        const bool folderFailed = !outcome.folderFailure.isEmpty();
        outcomes[k] = std::move(outcome);
        return folderFailed ? OrderedPool::JobEnd::EndHandingOut : OrderedPool::JobEnd::Done;
    };
    hooks.relay = [&] {
        showGauge();
        return bool(converting_);
    };
    hooks.breathe = [this] { observer_.Breathe(); };
    hooks.joined = [this] { workersBusy_ = false; };
    workersBusy_ = true;
    pool.Run(hooks);
    showGauge();

    for (const FileOutcome &outcome : outcomes)
        Tally(outcome);
}

void ConvertEngine::CloseQuietly()
{
    CloseBothQuietly(fileR_, fileW_);
}

void ConvertEngine::BackToIdle()
{
    CloseQuietly();
    converting_ = false;
    observer_.Ended();
}
