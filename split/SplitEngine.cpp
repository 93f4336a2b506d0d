#include "split/SplitEngine.h"
#include "base/FileNames.h"

#include "audio/AudioError.h"
#include "config/OutputSetup.h"
#include "split/ParallelParts.h"

#include <cmath>
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// A part file that could not be created, written or closed; ends the run.
struct PartWriteError {
    QString path;
    QString reason;
};

// The source could not be read on; ends the run.
struct PartReadError {
    QString reason;
};

// The end message, followed by a line naming the source when its reader
// could not decode all of it (the same line the merge and conversion add).
QString WithDamage(const QString &message, const QString &sourcePath, const QString &damage)
{
    if (damage.isEmpty())
        return message;
    return message + "\nWarning: " + QDir::toNativeSeparators(sourcePath) + ": " + damage;
}

} // namespace

SplitEngine::SplitEngine(TAudioFile2 &fileW, TAudioInformation2 &audioInformation, TAudioFile2LameEnc &mp3LameEncoder,
                         const TProgramSettings &settings, SplitPlan &plan, SplitRun &run, RunReport &observer)
    : reader_(std::make_unique<TAudioFile2>()), FileR(*reader_), FileW(fileW), AudioInformation(audioInformation),
      MP3LameEncoder(mp3LameEncoder), settings_(settings), plan_(plan), run_(run), observer_(observer)
{
}

SplitEngine::~SplitEngine() = default;

QString SplitEngine::PlannedPartFileName(SplitMode mode, int32_t k) const
{
    if (mode == SplitMode::BySettings)
        return plan_.ManualPartFileName(k, settings_.saveformat);
    return plan_.NumberedPartName(k, settings_.saveformat);
}

QString SplitEngine::PartFileName(SplitMode mode, int32_t k) const
{
    if (k > 0 && size_t(k) < partNames_.size())
        return partNames_[size_t(k)];
    return PlannedPartFileName(mode, k);
}

void SplitEngine::ResolvePartNames(SplitMode mode)
{
    partNames_.assign(size_t(plan_.PartCount) + 1, QString());
    QSet<QString> reserved;
    for (int32_t k = 1; k <= plan_.PartCount; ++k) {
        const QString planned = PlannedPartFileName(mode, k);
        if (run_.Overwrite) {
            partNames_[size_t(k)] = planned;
            continue;
        }
        const QString path = WrittenPath(settings_.savepath + planned, reserved);
        // An unchecked part writes nothing, so it keeps no name from the parts after it.
        if (PartSaved(mode, k))
            reserved.insert(path);
        partNames_[size_t(k)] = FileNameOfPath(path);
    }
}

QString SplitEngine::PartPath(SplitMode mode, int32_t k) const
{
    return settings_.savepath + PartFileName(mode, k);
}

bool SplitEngine::PartSaved(SplitMode mode, int32_t k) const
{
    // The list's check boxes decide, read at the moment they matter.
    return mode != SplitMode::BySettings || !run_.IsRowChecked || run_.IsRowChecked(k - 1);
}

bool SplitEngine::WouldOverwriteSource(SplitMode mode, QString *partPath) const
{
    const QString source = QFileInfo(sourcePath_).canonicalFilePath();
    if (source.isEmpty())
        return false;
    for (int32_t k = 1; k <= plan_.PartCount; ++k) {
        if (!PartSaved(mode, k))
            continue;
        const QString path = settings_.savepath + PlannedPartFileName(mode, k);
        if (QFileInfo(path).canonicalFilePath() == source) {
            *partPath = path;
            return true;
        }
    }
    return false;
}

bool SplitEngine::FindSharedPartFile(SplitMode mode, int32_t *first, int32_t *second) const
{
    // Only hand-set names can repeat; a later part would silently replace an
    // earlier one. Windows treats names differing in case as one file.
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (mode != SplitMode::BySettings)
        return false;
    QList<int32_t> saved;
    for (int32_t k = 1; k <= plan_.PartCount; ++k) {
        if (!PartSaved(mode, k))
            continue;
        const QString name = PlannedPartFileName(mode, k);
        for (int32_t j : saved) {
            if (PlannedPartFileName(mode, j).compare(name, cs) == 0) {
                *first = j;
                *second = k;
                return true;
            }
        }
        saved << k;
    }
    return false;
}

void SplitEngine::BeginPart(SplitMode mode, int32_t k)
{
    run_.CurrentPartFileName = PartFileName(mode, k);
    if (!PartSaved(mode, k))
        return; // an unsaved part gets no file; its frames are still read and counted
    const QString path = settings_.savepath + run_.CurrentPartFileName;
    FileW.CreateFile(path, 0);
    if (FileW.LastError() != 0)
        throw PartWriteError{path, FileW.LastErrorText()};
    currentPartPath_ = path;
}

void SplitEngine::AnnouncePart(int32_t k)
{
    const size_t i = size_t(k - 1);
    AnnounceSource(FileW, {FileR.SampleRate(), FileR.Channels(), i < spans_.size() ? spans_[i].end - spans_[i].start : 0});
}

PcmArray SplitEngine::ReadSourceBlock()
{
    try {
        return FileR.ReadArray(run_.SplitBlockSamples);
    } catch (const AudioError &e) {
        throw PartReadError{e.text()};
    }
}

void SplitEngine::WriteBlock(SplitMode mode, const PcmArray &block)
{
    if (!PartSaved(mode, run_.CurrentPart) || FileW.State() != 2)
        return;
    try {
        FileW.WriteArray(block);
    } catch (const AudioError &e) {
        throw PartWriteError{settings_.savepath + run_.CurrentPartFileName, e.text()};
    }
}

void SplitEngine::FinishPart()
{
    if (FileW.State() != 2)
        return;
    const QString path = settings_.savepath + run_.CurrentPartFileName;
    try {
        FileW.CloseFile();
    } catch (const AudioError &e) {
        throw PartWriteError{path, e.text()};
    }
    if (!run_.CopyTag)
        return;
    TagPart(run_.CurrentPart, ++partsNumbered_);
    try {
        AudioInformation.SaveTag(path);
    } catch (const AudioError &) {
        // A part without its tag is still a good part; the audio is kept.
    }
}

void SplitEngine::TagPart(int32_t k, int32_t ordinal)
{
    TagPart(AudioInformation, k, ordinal);
}

void SplitEngine::TagPart(TAudioInformation2 &info, int32_t k, int32_t ordinal) const
{
    // The plan's name: a "New_" prefix says where the file went, not what the part is.
    info.setInfoTitle(WithoutExtension(PlannedPartFileName(mode_, k)));
    info.setInfoTrack(QStringLiteral("%1/%2").arg(ordinal).arg(partsToWrite_));
    // A part with a tag of its own (a CUE sheet's track) gets its fields over the source's.
    QMap<QString, QString> fields;
    if (mode_ == SplitMode::BySettings && k >= 0 && k < plan_.PartTags.size()) {
        const SplitPartTag &tag = plan_.PartTags[k];
        fields = {{"TITLE", tag.title},   {"ARTIST", tag.artist}, {"ALBUM", tag.album},
                  {"TRACKNUMBER", tag.track}, {"DATE", tag.date}, {"GENRE", tag.genre}};
    }
    info.setInfoOverrides(fields);
    // The source's chapter marks describe its whole timeline, not a part's.
    info.setCarryChapters(false);
}

int64_t SplitEngine::PartEnd(int32_t k, int64_t totalSamples) const
{
    if (k >= plan_.PartCount)
        return totalSamples;
    // A point between two frames belongs to the part before it.
    return std::max<int64_t>(0, int64_t(std::ceil(plan_.SamplePoints[size_t(k)])));
}

void SplitEngine::ConfigureSplitWriter()
{
    if (const std::optional<OutputFormat> format = output_format::FromWord(settings_.saveformat)) {
        // "Same as source" settings become the open source's, once for every
        // part (the parallel workers configure from settings_ too).
        settings_ = ResolvedForWriter(FileW, settings_, *format,
                                      {FileR.SampleRate(), FileR.Channels(), 0, FileR.BitsPerSample()});
        ConfigureOutput(FileW, MP3LameEncoder, *format, settings_, OggSettingsRule::QualityModeFirst,
                        [this] { observer_.Message("Incorrect format"); });
    }
}

void SplitEngine::ReadBlocks(SplitMode mode)
{
    const int64_t totalSamples = AudioInformation.TotalSamples();
    const int64_t elementsPerFrame = std::max(FileR.ElementsPerSample(), 1);
    for (;;) {
        FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
        PcmArray block = ReadSourceBlock();
        if (block.empty())
            break;
        WriteBlock(mode, block);
        run_.SamplesRead += int64_t(block.size()) / elementsPerFrame;

        // The block that reaches a part's end also starts the next part. A
        // block may reach several ends (parts shorter than a block): every
        // planned part is still created, in order, each with that block.
        while (run_.CurrentPart < plan_.PartCount
               && static_cast<long double>(run_.SamplesRead) >= plan_.SamplePoints[run_.CurrentPart]) {
            FinishPart();
            ++run_.CurrentPart;
            AnnouncePart(run_.CurrentPart);
            BeginPart(mode, run_.CurrentPart);
            WriteBlock(mode, block);
        }
        block = PcmArray();

        if (run_.SamplesRead > totalSamples)
            run_.SamplesRead = totalSamples;
        observer_.Progress(ProgressPercent(run_.SamplesRead, totalSamples));
        observer_.Breathe();
        if (!run_.Running)
            break;
    }
}

void SplitEngine::ReadExact(SplitMode mode)
{
    const int64_t totalSamples = AudioInformation.TotalSamples();
    const int64_t elementsPerFrame = std::max(FileR.ElementsPerSample(), 1);
    int64_t position = 0; // frames read; unlike SamplesRead never held at the reported length
    for (;;) {
        FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
        PcmArray block = ReadSourceBlock();
        if (block.empty())
            break;
        const int64_t frames = int64_t(block.size()) / elementsPerFrame;
        int64_t offset = 0;
        while (offset < frames) {
            int64_t take = frames - offset;
            if (run_.CurrentPart < plan_.PartCount)
                take = std::min(take, std::max<int64_t>(0, PartEnd(run_.CurrentPart, totalSamples) - position));
            if (take == frames) {
                WriteBlock(mode, block);
            } else if (take > 0) {
                const auto from = block.begin() + offset * elementsPerFrame;
                WriteBlock(mode, PcmArray(from, from + take * elementsPerFrame));
            }
            offset += take;
            position += take;
            // Parts of no length (two equal points) are still created, in order.
            while (run_.CurrentPart < plan_.PartCount && position >= PartEnd(run_.CurrentPart, totalSamples)) {
                FinishPart();
                ++run_.CurrentPart;
                AnnouncePart(run_.CurrentPart);
                BeginPart(mode, run_.CurrentPart);
            }
        }
        block = PcmArray();
        run_.SamplesRead = std::min(position, totalSamples);
        observer_.Progress(ProgressPercent(run_.SamplesRead, totalSamples));
        observer_.Breathe();
        if (!run_.Running)
            break;
    }
}

SplitOutcome SplitEngine::RunSplit(const QString &sourcePath, SplitMode mode, int32_t number)
{
    sourcePath_ = sourcePath;
    mode_ = mode;
    partNames_.clear(); // the plan's names until this run has chosen its own

    const int64_t totalSamples = AudioInformation.TotalSamples();
    plan_.BuildSamplePoints(mode, number, totalSamples, AudioInformation.Duration());
    if (plan_.SamplePoints.size() < size_t(plan_.PartCount) + 1) {
        // Only a part count or length of 0 leaves the plan without points; the wizard refuses those.
        observer_.Information("Please input correct number!");
        return SplitOutcome::Refused;
    }

    QString clash;
    if (WouldOverwriteSource(mode, &clash)) {
        observer_.Information("The part file " + clash
                                     + " would replace the source file. Please give the part another name.");
        return SplitOutcome::Refused;
    }

    // With every hand-set part unchecked a run would read the whole source,
    // write nothing and still report success.
    partsToWrite_ = 0;
    partsNumbered_ = 0;
    for (int32_t k = 1; k <= plan_.PartCount; ++k)
        partsToWrite_ += PartSaved(mode, k) ? 1 : 0;
    if (partsToWrite_ == 0) {
        observer_.Information("Please check at least one part to save!");
        return SplitOutcome::Refused;
    }

    int32_t first = 0, second = 0;
    if (FindSharedPartFile(mode, &first, &second)) {
        observer_.Information("The parts " + QString::number(first) + " and " + QString::number(second)
                                     + " would both be written to " + PartPath(mode, first)
                                     + ". Please give one of them another name.");
        return SplitOutcome::Refused;
    }
    ResolvePartNames(mode);

    observer_.Began();
    // Ended is reported however the run ends, an escaping exception included.
    struct EndReport {
        RunReport &report;
        ~EndReport() { report.Ended(); }
    } endReport{observer_};
    const SplitOutcome outcome = WriteParts(sourcePath, mode, totalSamples);
    // The source's tag is the one the window shows again.
    AudioInformation.setInfoTrack(QString());
    AudioInformation.setInfoOverrides({});
    AudioInformation.setCarryChapters(true);
    return outcome;
}

SplitOutcome SplitEngine::WriteParts(const QString &sourcePath, SplitMode mode, int64_t totalSamples)
{
    run_.PartsAtOnce = 1;
    if (run_.Lossless)
        return RunLossless(mode);

    FileR.OpenFile(sourcePath, 0, 1);
    if (FileR.LastError() != 0) {
        const QString reason = FileR.LastErrorText();
        FileR.CloseFile();
        observer_.Status("Error");
        observer_.Error("Unable to open the file " + sourcePath + (reason.isEmpty() ? QString() : "\n" + reason));
        return SplitOutcome::Failed;
    }

    const int jobs = ParallelJobs(totalSamples);
    run_.PartsAtOnce = jobs;
    std::optional<QString> failure; // what the user is told when the run fails
    try {
        ConfigureSplitWriter();

        run_.Running = true;
        const int32_t divisor = run_.PrecisionDivisor > 0 ? run_.PrecisionDivisor : 2;
        run_.SplitBlockSamples = FileR.SampleRate() / divisor;
        run_.SamplesRead = 0;
        run_.CurrentPart = 1;
        spans_ = SplitPartSpans(plan_.SamplePoints, plan_.PartCount, totalSamples, run_.SplitBlockSamples,
                                run_.ExactCut);
        if (jobs > 1) {
            const int sourceRate = FileR.SampleRate();
            FileR.CloseFile(); // each worker reads with a reader of its own
            return RunInParallel(mode, jobs, sourceRate);
        }

        AnnouncePart(1);
        BeginPart(mode, 1);

        if (run_.ExactCut)
            ReadExact(mode);
        else
            ReadBlocks(mode);
        FinishPart();
    } catch (const PartReadError &e) {
        const bool open = FileW.State() == 2;
        CloseWriterQuietly();
        if (open)
            QFile::remove(currentPartPath_);
        failure = e.reason + (open ? RemovedPartLine(currentPartPath_) : QString());
    } catch (const PartWriteError &e) {
        CloseWriterQuietly(); // the file is reported as not written
        failure = "Unable to write to " + e.path + (e.reason.isEmpty() ? QString() : "\n" + e.reason);
    } catch (const AudioError &e) {
        CloseWriterQuietly();
        failure = e.text();
    }
    if (failure) {
        observer_.Status("Error");
        observer_.Error(*failure);
    }
    const QString damage = FileR.ReadDamage(); // asked before the reader closes
    FileR.CloseFile();
    if (failure) {
        run_.Running = false;
        return SplitOutcome::Failed;
    }
    return EndRun(damage);
}

void SplitEngine::CloseWriterQuietly()
{
    try {
        FileW.CloseFile();
    } catch (const AudioError &) {
        // The run already fails with a reason of its own.
    }
}

SplitOutcome SplitEngine::Fail(const QString &text)
{
    run_.Running = false;
    observer_.Status("Error");
    observer_.Error(text);
    return SplitOutcome::Failed;
}

SplitOutcome SplitEngine::EndRun(const QString &damage)
{
    const bool cancelled = !run_.Running;
    run_.Running = false;
    if (cancelled) {
        observer_.Status("Cancel");
        observer_.Information(WithDamage("Cancel splitting file " + sourcePath_ + "!", sourcePath_, damage));
        return SplitOutcome::Cancelled;
    }
    observer_.Progress(100);
    observer_.Status("Complete!");
    observer_.Information(WithDamage("Complete splitting file " + sourcePath_ + "!", sourcePath_, damage));
    return SplitOutcome::Completed;
}
