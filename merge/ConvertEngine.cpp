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

struct ConvertFileOutcome {
    bool failed = false; // reported with "Error" in its row
    int64_t counted = 0; // frames it adds to the run's finished count
    QString error;       // why it failed, a line of the end message; empty when said otherwise
    // Set when the output folder itself refused a new file: every file after
    // would fail alike, so the run ends with this one message.
    QString folderFailure;
    QStringList warnings; // "Warning: " lines below the end message
};

namespace {

using FileOutcome = ConvertFileOutcome;

// What one file's conversion works with: the run's own components on the
// calling thread, or a worker's.
struct FileTools {
    TAudioFile2 &reader;
    TAudioFile2 &writer;
    TAudioInformation2 &info;
    TAudioFile2LameEnc &encoder;
    RunReport &observer;
};

struct FileTask {
    int row = 0; // counted from 1
    QString input;
    QString written; // the path chosen for it, "New_" rule applied
    OutputFormat format = OutputFormat::Mp3;
    bool copyTags = false;
    int64_t listDone = 0;  // frames of the files finished before it (one at a time only)
    int64_t listTotal = 0; // the gauge's 100%
    std::atomic<int64_t> *position = nullptr;
};

// Why no file at all can be made in `folder` (the system's words), or empty
// when one can: tells a folder the user cannot write to, or that is gone,
// from a file of its own that could not be created.
QString FolderRefusal(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvis-probe-XXXXXX")));
    if (probe.open())
        return {};
    return probe.errorString();
}

class FileConverter {
public:
    FileConverter(FileTools tools, const FileTask &task, const TProgramSettings &settings,
                  const std::atomic<bool> &running)
        : t_(tools), task_(task), settings_(settings), running_(running)
    {
    }

    FileOutcome Run()
    {
        if (PrepareWriter() && ConvertOneFile() && task_.copyTags) {
            try {
                t_.info.LoadFile(task_.input);
                t_.info.SaveTag(task_.written);
            } catch (const std::exception &e) {
                // The audio is converted: the file stays, and the end message says what it lacks.
                outcome_.warnings << QStringLiteral("Warning: ") + QString::fromStdString(e.what());
            }
        }
        return outcome_;
    }

private:
    bool PrepareWriter()
    {
        try {
            ConfigureOutput(t_.writer, t_.encoder, task_.format, settings_, OggSettingsRule::QualityModeFirst,
                            [this] { t_.observer.Message(QStringLiteral("Incorrect format")); });
        } catch (const std::exception &e) {
            Failed(QString::fromStdString(e.what()), {});
            return false;
        }
        return true;
    }

    // false when the file failed (already reported).
    bool ConvertOneFile()
    {
        const QString &input = task_.input;
        const QString &written = task_.written;
        // Nothing is created for a source that cannot be read.
        const OpenedSource opened = OpenSource(t_.info, t_.reader, task_.row, input, t_.observer);
        if (!opened.opened) {
            Failed(opened.failure, {});
            return false;
        }
        t_.writer.SetFormatIndex(-1);
        // The writer is set up from this source before its file exists: the
        // same writer wrote the file before, and an Opus file takes its
        // channel count from the input it is created for.
        try {
            AnnounceSource(t_.writer, {t_.reader.SampleRate(), t_.reader.Channels(), opened.length});
        } catch (const std::exception &e) {
            Failed(FailureText(QStringLiteral("Cannot convert"), input, QString::fromStdString(e.what())), {});
            return false;
        }
        t_.writer.CreateFile(written, 0);
        if (t_.writer.LastError() != 0) {
            const QString folder = FolderOfPath(written);
            const QString refusal = FolderRefusal(folder);
            if (!refusal.isEmpty()) {
                Failed({}, {});
                outcome_.folderFailure = QStringLiteral("Cannot create files in the folder %1: %2")
                                             .arg(QDir::toNativeSeparators(folder), refusal);
                return false;
            }
            Failed(FailureText(QStringLiteral("Cannot create"), written, t_.writer.LastErrorText()), {});
            return false;
        }
        // A block is one second of audio per channel of this source.
        const PumpPass pass{.source = input,
                            .row = task_.row,
                            .blockSize = t_.reader.Channels() * t_.reader.SampleRate(),
                            .length = opened.length,
                            .listDone = task_.listDone,
                            .listTotal = task_.listTotal,
                            .rowOnlyWithGauge = true,
                            .position = task_.position};
        const PumpResult pumped = PumpBlocks(t_.reader, t_.writer, t_.observer, pass, running_);
        if (pumped.end == PumpResult::ReadFailed) {
            Failed(FailureText(QStringLiteral("Cannot read"), input, pumped.reason), written);
            return false;
        }
        if (pumped.end == PumpResult::WriteFailed) {
            Failed(FailureText(QStringLiteral("Cannot write"), written, pumped.reason), written);
            return false;
        }
        outcome_.counted = opened.length;

        t_.reader.CloseFile();
        try {
            t_.writer.CloseFile();
        } catch (const std::exception &e) {
            Failed(FailureText(QStringLiteral("Cannot write"), written, QString::fromStdString(e.what())), written);
            return false;
        }
        if (!pumped.damage.isEmpty())
            outcome_.warnings << pumped.damage;
        t_.observer.RowStatus(task_.row, running_ ? QStringLiteral("100%") : QStringLiteral("Stop"));
        t_.observer.OutputWritten(task_.row, written);
        return true;
    }

    // The row says "Error" at once; the reason waits for the end message, so
    // a batch with many failures is one message, not a box per file.
    void Failed(const QString &text, const QString &written)
    {
        CloseBothQuietly(t_.reader, t_.writer);
        if (!written.isEmpty())
            QFile::remove(written); // a half-written file is no conversion
        outcome_.failed = true;
        outcome_.error = text;
        t_.observer.RowStatus(task_.row, QStringLiteral("Error"));
    }

    FileTools t_;
    const FileTask &task_;
    const TProgramSettings &settings_;
    const std::atomic<bool> &running_;
    FileOutcome outcome_;
};

// A free name is no file, but a listed source that has gone missing can
// still own it: writing there would turn the output into a later source.
bool OwnedByASource(const QStringList &sources, const QString &written)
{
    for (const QString &source : sources)
        if (SameFile(source, written))
            return true;
    return false;
}

// A file passed over because its output would be a listed file.
FileOutcome Skipped(const QString &input, const QString &written)
{
    FileOutcome outcome;
    outcome.failed = true;
    outcome.error = QStringLiteral("%1 was not converted: its output %2 is a file in the list.").arg(input, written);
    return outcome;
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
    failures_ = 0;
    currentIndex_ = 0;
    failureLines_.clear();
    warnings_.clear();
    folderFailure_.clear();

    const int count = int(request.sources.size());
    const int jobs = std::min(request.jobs > 0 ? request.jobs : QThread::idealThreadCount(), count);
    if (jobs > 1) {
        ConvertInParallel(request, settings, jobs);
    } else {
        for (int k = 1; k <= count && converting_ && folderFailure_.isEmpty(); ++k) {
            currentInput_ = request.sources[k - 1];
            currentIndex_ = k;
            if (!QFileInfo::exists(currentInput_)) {
                PassOverMissing(k, currentInput_);
                continue;
            }
            ConvertSource(request, settings);
        }
    }

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
            observer_.Information(WithWarnings(QStringLiteral("Complete converting files!"), warnings_));
        } else {
            observer_.Status(QStringLiteral("Finished"));
            observer_.Information(
                WithWarnings(QStringLiteral("Finished converting files, but %1 of %2 file(s) could not be converted.")
                                 .arg(failures_)
                                 .arg(count),
                             failureLines_ + warnings_));
        }
        observer_.Progress(100);
    } else {
        observer_.Status(QStringLiteral("Cancel"));
        observer_.Information(WithWarnings(QStringLiteral("Cancel converting files!"), failureLines_ + warnings_));
    }
    converting_ = false;
    observer_.Ended();
}

void ConvertEngine::PassOverMissing(int row, const QString &path)
{
    observer_.Message(QStringLiteral("Invalid input file name: ") + path);
    observer_.RowStatus(row, QStringLiteral("Error"));
    ++failures_;
}

void ConvertEngine::Tally(const ConvertFileOutcome &outcome)
{
    samplesDone_ += outcome.counted;
    if (outcome.failed)
        ++failures_;
    if (!outcome.error.isEmpty())
        failureLines_ << outcome.error;
    warnings_ << outcome.warnings;
    if (folderFailure_.isEmpty())
        folderFailure_ = outcome.folderFailure;
}

void ConvertEngine::ConvertSource(const ConvertRequest &request, const TProgramSettings &settings)
{
    const OutputFormat format = ChosenFormat(request);
    const QString output = ConvertOutputPath(request.savePath, currentInput_, output_format::Extension(format));
    const QString written = WrittenPath(output);
    if (OwnedByASource(request.sources, written)) {
        observer_.RowStatus(currentIndex_, QStringLiteral("Skipped"));
        Tally(Skipped(currentInput_, written));
        return;
    }

    const FileTask task{.row = currentIndex_,
                        .input = currentInput_,
                        .written = written,
                        .format = format,
                        .copyTags = request.copyTags,
                        .listDone = samplesDone_,
                        .listTotal = request.listTotalSamples};
    Tally(FileConverter({fileR_, fileW_, info_, encoder_, observer_}, task, settings, converting_).Run());
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
    QSet<QString> reserved;
    for (int k = 0; k < count; ++k) {
        const QString &input = request.sources[k];
        const QString written =
            WrittenPath(ConvertOutputPath(request.savePath, input, output_format::Extension(format)), reserved);
        skipped[size_t(k)] = OwnedByASource(request.sources, written);
        if (!skipped[size_t(k)])
            reserved.insert(written);
        tasks[size_t(k)] = FileTask{.row = k + 1,
                                    .input = input,
                                    .written = written,
                                    .format = format,
                                    .copyTags = request.copyTags,
                                    .listDone = 0,
                                    .listTotal = request.listTotalSamples,
                                    .position = &positions[size_t(k)]};
    }

    OrderedPool pool(jobs, size_t(count));
    QueuedRunReport reports(pool, observer_);
    std::vector<std::unique_ptr<ConvertWorker>> workers;
    for (int j = 0; j < jobs; ++j)
        workers.push_back(std::make_unique<ConvertWorker>());
    int lastGauge = -1;
    const auto showGauge = [&] {
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
        if (!QFileInfo::exists(task.input)) {
            PassOverMissing(task.row, task.input);
            return false;
        }
        if (skipped[k]) {
            observer_.RowStatus(task.row, QStringLiteral("Skipped"));
            outcomes[k] = Skipped(task.input, task.written);
            return false;
        }
        return true;
    };
    hooks.run = [&](int worker, size_t k) {
        ConvertWorker &w = *workers[size_t(worker)];
        const FileTask &task = tasks[k];
        FileOutcome outcome;
        try {
            outcome = FileConverter({w.reader, w.writer, w.info, w.encoder, reports}, task, settings, converting_).Run();
        } catch (const std::exception &e) {
            CloseBothQuietly(w.reader, w.writer);
            outcome.failed = true;
            outcome.error = QString::fromStdString(e.what());
            reports.RowStatus(task.row, QStringLiteral("Error"));
        }
        positions[k].store(outcome.counted, std::memory_order_relaxed);
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
