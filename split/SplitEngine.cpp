#include "split/SplitEngine.h"
#include "base/FileNames.h"

#include "audio/AudioError.h"
#include "audio/Mp3FrameCutter.h"

#include <cmath>
#include <memory>

#include <QDir>
#include <QFileInfo>

namespace {

// A part file that could not be created, written or closed; ends the run.
struct PartWriteError {
    QString path;
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

SplitEngine::SplitEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &audioInformation,
                         TAudioFile2LameEnc &mp3LameEncoder, const TProgramSettings &settings, SplitPlan &plan,
                         SplitRun &run, SplitObserver &observer)
    : FileR(fileR), FileW(fileW), AudioInformation(audioInformation), MP3LameEncoder(mp3LameEncoder),
      settings_(settings), plan_(plan), run_(run), observer_(observer)
{
}

QString SplitEngine::PartFileName(SplitMode mode, int32_t k) const
{
    if (mode == SplitMode::BySettings)
        return plan_.ManualPartFileName(k, settings_.saveformat);
    return plan_.NumberedPartName(k, settings_.saveformat);
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
        const QString path = PartPath(mode, k);
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
        const QString name = PartFileName(mode, k);
        for (int32_t j : saved) {
            if (PartFileName(mode, j).compare(name, cs) == 0) {
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
    TagNextPart(run_.CurrentPart);
    try {
        AudioInformation.SaveTag(path);
    } catch (const AudioError &) {
        // A part without its tag is still a good part; the audio is kept.
    }
}

void SplitEngine::NumberNextPart()
{
    ++partsNumbered_;
    AudioInformation.setInfoTrack(QStringLiteral("%1/%2").arg(partsNumbered_).arg(partsToWrite_));
}

void SplitEngine::TagNextPart(int32_t k)
{
    AudioInformation.setInfoTitle(WithoutExtension(run_.CurrentPartFileName));
    NumberNextPart();
    // A part with a tag of its own (a CUE sheet's track) gets its fields over the source's.
    QMap<QString, QString> fields;
    if (mode_ == SplitMode::BySettings && k >= 0 && k < plan_.PartTags.size()) {
        const SplitPartTag &tag = plan_.PartTags[k];
        fields = {{"TITLE", tag.title},   {"ARTIST", tag.artist}, {"ALBUM", tag.album},
                  {"TRACKNUMBER", tag.track}, {"DATE", tag.date}, {"GENRE", tag.genre}};
    }
    AudioInformation.setInfoOverrides(fields);
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
    const TProgramSettings &s = settings_;
    const QString format = s.saveformat.toLower();
    if (format == "mp3") {
        FileW.SetMp3Format(s.mp3_frequency, s.mp3_bitrate, s.mp3_channels);
        if (s.mp3_fvbr == 1) {
            MP3LameEncoder.Mode = s.mp3_channels - 1;
            MP3LameEncoder.SampleRate = s.mp3_frequency;
            MP3LameEncoder.OptionA = 0;
            MP3LameEncoder.VbrQuality = static_cast<int16_t>(s.mp3_vbrquality);
            MP3LameEncoder.Bitrate = s.mp3_bitrate;
            MP3LameEncoder.MaxBitrate = s.mp3_maxbitrate;
            FileW.SetMp3Encoder(MP3LameEncoder);
        }
    } else if (format == "wav") {
        FileW.SetWavFormat(int(s.wav_frequency), int(s.wav_channels), int(s.wav_bps));
    } else if (format == "wma") {
        FileW.SetWmaProfile(s.wma_wmaprofile);
    } else if (format == "flac") {
        FileW.SetFlacFormat(s.flac_frequency, s.flac_channels, s.flac_bps, s.flac_level);
    } else if (format == "opus") {
        FileW.SetOpusFormat(s.opus_bitrate, s.opus_mode, s.opus_complexity);
    } else if (format == "ogg") {
        if (s.ogg_fquality == 1) {
            FileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, 0, 0, 0, static_cast<int16_t>(s.ogg_quality));
        } else if (s.ogg_vbr == 1) {
            if (!FileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate))
                observer_.PlainMessage("Incorrect format");
            else
                FileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate, -1);
        } else {
            if (!FileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0))
                observer_.PlainMessage("Incorrect format");
            else
                FileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
        }
    }
}

void SplitEngine::ReadBlocks(SplitMode mode)
{
    const int64_t totalSamples = AudioInformation.TotalSamples();
    const int64_t elementsPerFrame = std::max(FileR.ElementsPerSample(), 1);
    for (;;) {
        FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
        PcmArray block = FileR.ReadArray(run_.SplitBlockSamples);
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
            FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
            BeginPart(mode, run_.CurrentPart);
            WriteBlock(mode, block);
        }
        block = PcmArray();

        if (run_.SamplesRead > totalSamples)
            run_.SamplesRead = totalSamples;
        observer_.Progress(totalSamples > 0 ? int(run_.SamplesRead * 100 / totalSamples) : 0);
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
        PcmArray block = FileR.ReadArray(run_.SplitBlockSamples);
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
                FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
                BeginPart(mode, run_.CurrentPart);
            }
        }
        block = PcmArray();
        run_.SamplesRead = std::min(position, totalSamples);
        observer_.Progress(totalSamples > 0 ? int(run_.SamplesRead * 100 / totalSamples) : 0);
        observer_.Breathe();
        if (!run_.Running)
            break;
    }
}

SplitOutcome SplitEngine::RunLossless(SplitMode mode)
{
    const auto fail = [this](const QString &text) {
        observer_.StatusText("Error");
        observer_.ErrorMessage(text);
        return SplitOutcome::Failed;
    };
    if (settings_.saveformat.toLower() != "mp3")
        return fail("Copying the audio without re-encoding needs MP3 as the save format; " + sourcePath_
                    + " was not split.");
    std::unique_ptr<Mp3FrameCutter> cutter;
    try {
        cutter = std::make_unique<Mp3FrameCutter>(sourcePath_);
    } catch (const AudioError &e) {
        return fail(e.text());
    }
    const int64_t totalSamples = AudioInformation.TotalSamples();
    if (cutter->length() != totalSamples)
        return fail(QStringLiteral("%1 cannot be cut without re-encoding: its frames decode to %2 samples, "
                                   "but its header says %3")
                        .arg(sourcePath_).arg(cutter->length()).arg(totalSamples));

    // Every part is checked before the first file is written.
    const auto range = [&](int32_t k) {
        const int64_t start = std::min(k == 1 ? 0 : PartEnd(k - 1, totalSamples), totalSamples);
        return std::pair(start, std::clamp(PartEnd(k, totalSamples), start, totalSamples));
    };
    for (int32_t k = 1; k <= plan_.PartCount; ++k) {
        const auto [start, end] = range(k);
        if (PartSaved(mode, k) && cutter->insideOneFrame(start, end))
            return fail(QStringLiteral("Part %1 of %2 is shorter than one MP3 frame, so it cannot be copied "
                                       "exactly. Move its split point, or split with re-encoding.")
                            .arg(k).arg(sourcePath_));
    }

    run_.Running = true;
    run_.SamplesRead = 0;
    for (run_.CurrentPart = 1; run_.CurrentPart <= plan_.PartCount; ++run_.CurrentPart) {
        const int32_t k = run_.CurrentPart;
        const auto [start, end] = range(k);
        run_.CurrentPartFileName = PartFileName(mode, k);
        if (PartSaved(mode, k)) {
            const QString path = settings_.savepath + run_.CurrentPartFileName;
            QByteArray tag;
            if (run_.CopyTag) {
                TagNextPart(k);
                try {
                    tag = AudioInformation.RenderId3v2Tag(sourcePath_);
                } catch (const AudioError &) {
                    // A part without its tag is still a good part; the audio is kept.
                }
            }
            try {
                cutter->writePart(path, start, end, tag);
            } catch (const AudioError &e) {
                return fail("Unable to write to " + path + "\n" + e.text());
            }
        }
        run_.SamplesRead = end;
        observer_.Progress(totalSamples > 0 ? int(end * 100 / totalSamples) : 0);
        observer_.Breathe();
        if (!run_.Running)
            break;
    }
    run_.CurrentPart = std::min(run_.CurrentPart, plan_.PartCount);
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

SplitOutcome SplitEngine::RunSplit(const QString &sourcePath, SplitMode mode, int32_t number)
{
    sourcePath_ = sourcePath;
    mode_ = mode;

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

    bool writeFailed = false;
    try {
        ConfigureSplitWriter();

        run_.Running = true;
        const int32_t divisor = run_.PrecisionDivisor > 0 ? run_.PrecisionDivisor : 2;
        run_.SplitBlockSamples = FileR.SampleRate() / divisor;
        run_.SamplesRead = 0;
        run_.CurrentPart = 1;

        FileW.SetInputFormat(FileR.SampleRate(), FileR.Channels());
        BeginPart(mode, 1);

        if (run_.ExactCut)
            ReadExact(mode);
        else
            ReadBlocks(mode);
        FinishPart();
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
