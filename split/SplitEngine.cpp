#include "split/SplitEngine.h"
#include "base/FileNames.h"

#include "audio/AudioError.h"
#include "audio/Mp3FrameCutter.h"
#include "config/OutputSetup.h"
#include "split/ParallelParts.h"

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

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

// The line an error adds when the part being written had to go: a part cut
// short where the source failed would pass for a whole one.
QString RemovedLine(const QString &path)
{
    return "\nThe unfinished part file " + path + " was removed.";
}

// The end message, followed by a line naming the source when its reader
// could not decode all of it (the same line the merge and conversion add).
QString WithDamage(const QString &message, const QString &sourcePath, const QString &damage)
{
    if (damage.isEmpty())
        return message;
    return message + "\nWarning: " + QDir::toNativeSeparators(sourcePath) + ": " + damage;
}

} // namespace

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

int ProgressPercent(int64_t count, int64_t total)
{
    return total > 0 ? int(static_cast<__int128>(count) * 100 / total) : 0;
}

int64_t ScaleFrames(int64_t value, int64_t numerator, int64_t denominator)
{
    return denominator > 0 ? int64_t(static_cast<__int128>(value) * numerator / denominator) : 0;
}

SplitEngine::SplitEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &audioInformation,
                         TAudioFile2LameEnc &mp3LameEncoder, const TProgramSettings &settings, SplitPlan &plan,
                         SplitRun &run, SplitObserver &observer)
    : FileR(fileR), FileW(fileW), AudioInformation(audioInformation), MP3LameEncoder(mp3LameEncoder),
      settings_(settings), plan_(plan), run_(run), observer_(observer)
{
}

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
    return mode != SplitMode::BySettings || observer_.IsRowChecked(k - 1);
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
    if (const std::optional<OutputFormat> format = output_format::FromWord(settings_.saveformat))
        ConfigureOutput(FileW, MP3LameEncoder, *format, settings_, OggSettingsRule::QualityModeFirst,
                        [this] { observer_.PlainMessage("Incorrect format"); });
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

SplitOutcome SplitEngine::RunLossless(SplitMode mode)
{
    const auto fail = [this](const QString &text) {
        run_.Running = false;
        observer_.StatusText("Error");
        observer_.ErrorMessage(text);
        return SplitOutcome::Failed;
    };
    if (settings_.saveformat.toLower() != "mp3")
        return fail("Copying the audio without re-encoding needs MP3 as the save format; " + sourcePath_
                    + " was not split.");
    const int64_t totalSamples = AudioInformation.TotalSamples();
    // The walk reads all of the source, as the copies do together: from a
    // cold disk it takes about as long as they do, from the cache far less.
    constexpr int kWalkPercent = 20;
    const auto percentAt = [&](int64_t samples) {
        return kWalkPercent + int(double(samples) * (100 - kWalkPercent) / double(std::max<int64_t>(totalSamples, 1)));
    };
    // The walk and each copy call back every few hundred kilobytes: the
    // window draws and hears Cancel there, not only between parts.
    const auto breathe = [this](int percent) {
        observer_.Progress(percent);
        observer_.Breathe();
        return bool(run_.Running);
    };
    run_.Running = true;
    run_.SamplesRead = 0;
    run_.CurrentPart = 1;
    std::unique_ptr<Mp3FrameCutter> cutter;
    try {
        cutter = std::make_unique<Mp3FrameCutter>(sourcePath_, [&](int64_t done, int64_t total) {
            return breathe(int(double(done) * kWalkPercent / double(std::max<int64_t>(total, 1))));
        });
    } catch (const AudioError &e) {
        return fail(e.text());
    } catch (const Mp3FrameCutter::Cancelled &) {
        // Nothing written yet; reported below like a stop between parts.
    }
    if (cutter && cutter->length() != totalSamples)
        return fail(QStringLiteral("%1 cannot be cut without re-encoding: its frames decode to %2 samples, "
                                   "but its header says %3")
                        .arg(sourcePath_).arg(cutter->length()).arg(totalSamples));

    // Every part is checked before the first file is written.
    const auto range = [&](int32_t k) {
        const int64_t start = std::min(k == 1 ? 0 : PartEnd(k - 1, totalSamples), totalSamples);
        return std::pair(start, std::clamp(PartEnd(k, totalSamples), start, totalSamples));
    };
    for (int32_t k = 1; cutter && k <= plan_.PartCount; ++k) {
        const auto [start, end] = range(k);
        if (PartSaved(mode, k) && cutter->insideOneFrame(start, end))
            return fail(QStringLiteral("Part %1 of %2 is shorter than one MP3 frame, so it cannot be copied "
                                       "exactly. Move its split point, or split with re-encoding.")
                            .arg(k).arg(sourcePath_));
    }

    for (; cutter && run_.Running && run_.CurrentPart <= plan_.PartCount; ++run_.CurrentPart) {
        const int32_t k = run_.CurrentPart;
        const auto [start, end] = range(k);
        run_.CurrentPartFileName = PartFileName(mode, k);
        if (PartSaved(mode, k)) {
            const QString path = settings_.savepath + run_.CurrentPartFileName;
            QByteArray tag;
            if (run_.CopyTag) {
                TagPart(k, ++partsNumbered_);
                try {
                    tag = AudioInformation.RenderId3v2Tag(sourcePath_);
                } catch (const AudioError &) {
                    // A part without its tag is still a good part; the audio is kept.
                }
            }
            try {
                cutter->writePart(path, start, end, tag, [&](int64_t done, int64_t total) {
                    run_.SamplesRead = start + int64_t(double(end - start) * double(done) / double(std::max<int64_t>(total, 1)));
                    return breathe(percentAt(run_.SamplesRead));
                });
            } catch (const AudioError &e) {
                return fail("Unable to write to " + path + "\n" + e.text());
            } catch (const Mp3FrameCutter::Cancelled &) {
                break; // the unfinished part was never put in place
            }
        }
        run_.SamplesRead = end;
        if (!breathe(percentAt(end)))
            break;
    }
    run_.CurrentPart = std::clamp(run_.CurrentPart, 1, std::max(plan_.PartCount, 1));
    const bool cancelled = !run_.Running;
    run_.Running = false;
    if (cancelled) {
        observer_.StatusText("Cancel");
        observer_.InformationMessage("Cancel splitting file " + sourcePath_ + "!");
        return SplitOutcome::Cancelled;
    }
    observer_.Progress(100);
    observer_.StatusText("Complete!");
    observer_.InformationMessage("Complete splitting file " + sourcePath_ + "!");
    return SplitOutcome::Completed;
}

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
        try {
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
        if (o.failure != PartOutcome::Failure::None) {
            // The first failing part in order is the one a reading through would have met.
            QString text;
            if (o.failure == PartOutcome::Failure::Open)
                text = "Unable to open the file " + sourcePath_ + (o.reason.isEmpty() ? QString() : "\n" + o.reason);
            else if (o.failure == PartOutcome::Failure::Read)
                text = o.reason + (o.removed ? RemovedLine(parts[i].path) : QString());
            else
                text = "Unable to write to " + parts[i].path + (o.reason.isEmpty() ? QString() : "\n" + o.reason);
            run_.Running = false;
            observer_.StatusText("Error");
            observer_.ErrorMessage(text);
            return SplitOutcome::Failed;
        }
        if (!o.closed)
            continue;
        run_.CurrentPart = parts[i].part;
        run_.CurrentPartFileName = PartFileName(mode, parts[i].part);
        if (run_.CopyTag)
            TagPart(parts[i].part, int32_t(i) + 1);
    }
    const bool cancelled = !run_.Running;
    run_.Running = false;
    const QString damageText = ReadLossText(losses, sourceRate);
    if (cancelled) {
        observer_.StatusText("Cancel");
        observer_.InformationMessage(WithDamage("Cancel splitting file " + sourcePath_ + "!", sourcePath_, damageText));
        return SplitOutcome::Cancelled;
    }
    run_.SamplesRead = totalSamples;
    observer_.Progress(100);
    observer_.StatusText("Complete!");
    observer_.InformationMessage(WithDamage("Complete splitting file " + sourcePath_ + "!", sourcePath_, damageText));
    return SplitOutcome::Completed;
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
        observer_.InformationMessage("Please input correct number!");
        return SplitOutcome::Refused;
    }

    QString clash;
    if (WouldOverwriteSource(mode, &clash)) {
        observer_.InformationMessage("The part file " + clash
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
        observer_.InformationMessage("Please check at least one part to save!");
        return SplitOutcome::Refused;
    }

    int32_t first = 0, second = 0;
    if (FindSharedPartFile(mode, &first, &second)) {
        observer_.InformationMessage("The parts " + QString::number(first) + " and " + QString::number(second)
                                     + " would both be written to " + PartPath(mode, first)
                                     + ". Please give one of them another name.");
        return SplitOutcome::Refused;
    }
    ResolvePartNames(mode);

    run_.PartsAtOnce = 1;
    if (run_.Lossless) {
        const SplitOutcome outcome = RunLossless(mode);
        AudioInformation.setInfoTrack(QString());
        AudioInformation.setInfoOverrides({});
        return outcome;
    }

    FileR.OpenFile(sourcePath, 0, 1);
    if (FileR.LastError() != 0) {
        const QString reason = FileR.LastErrorText();
        FileR.CloseFile();
        observer_.StatusText("Error");
        observer_.ErrorMessage("Unable to open the file " + sourcePath + (reason.isEmpty() ? QString() : "\n" + reason));
        return SplitOutcome::Failed;
    }

    const int jobs = ParallelJobs(totalSamples);
    run_.PartsAtOnce = jobs;
    bool writeFailed = false;
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
            const SplitOutcome outcome = RunInParallel(mode, jobs, sourceRate);
            AudioInformation.setInfoTrack(QString());
            AudioInformation.setInfoOverrides({});
            return outcome;
        }

        AnnouncePart(1);
        BeginPart(mode, 1);

        if (run_.ExactCut)
            ReadExact(mode);
        else
            ReadBlocks(mode);
        FinishPart();
    } catch (const PartReadError &e) {
        writeFailed = true;
        const bool open = FileW.State() == 2;
        try {
            FileW.CloseFile();
        } catch (const AudioError &) {
            // The file goes anyway.
        }
        if (open)
            QFile::remove(currentPartPath_);
        observer_.StatusText("Error");
        observer_.ErrorMessage(e.reason + (open ? RemovedLine(currentPartPath_) : QString()));
    } catch (const PartWriteError &e) {
        writeFailed = true;
        try {
            FileW.CloseFile();
        } catch (const AudioError &) {
            // The file is already reported as not written.
        }
        observer_.StatusText("Error");
        observer_.ErrorMessage("Unable to write to " + e.path + (e.reason.isEmpty() ? QString() : "\n" + e.reason));
    } catch (const AudioError &e) {
        writeFailed = true;
        try {
            FileW.CloseFile();
        } catch (const AudioError &) {
        }
        observer_.StatusText("Error");
        observer_.ErrorMessage(e.text());
    }
    const QString damage = FileR.ReadDamage(); // asked before the reader closes
    FileR.CloseFile();
    AudioInformation.setInfoTrack(QString());
    AudioInformation.setInfoOverrides({});

    const bool cancelled = !run_.Running;
    run_.Running = false;
    if (writeFailed)
        return SplitOutcome::Failed;
    if (cancelled) {
        observer_.StatusText("Cancel");
        observer_.InformationMessage(WithDamage("Cancel splitting file " + sourcePath + "!", sourcePath, damage));
        return SplitOutcome::Cancelled;
    }
    observer_.Progress(100);
    observer_.StatusText("Complete!");
    observer_.InformationMessage(WithDamage("Complete splitting file " + sourcePath + "!", sourcePath, damage));
    return SplitOutcome::Completed;
}
