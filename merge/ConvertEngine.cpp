#include "merge/ConvertEngine.h"

#include "audio/TAudioFile2.h"
#include "base/OutputFormat.h"
#include "audio/TAudioInformation2.h"
#include "merge/BlockPump.h"
#include "merge/MergeEngine.h"
#include "merge/OutputNames.h"
#include "merge/RunObserver.h"
#include "merge/RunTexts.h"
#include "merge/CloseQuietly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

void ConfigureOggOutput(TAudioFile2 &fileW, const TProgramSettings &s, RunObserver &observer)
{
    if (s.ogg_fquality == 1) {
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, 0, 0, 0, int16_t(s.ogg_quality));
    } else if (s.ogg_vbr == 1) {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate)) {
            observer.Message(QStringLiteral("Incorrect format"));
            return;
        }
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate, -1);
    } else {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0)) {
            observer.Message(QStringLiteral("Incorrect format"));
            return;
        }
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
    }
}

TConvertEngine::TConvertEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &info,
                               TAudioFile2LameEnc &encoder, RunObserver &observer)
    : fileR_(fileR), fileW_(fileW), info_(info), encoder_(encoder), observer_(observer)
{
}


void TConvertEngine::Start(const ConvertRequest &request, const TProgramSettings &settings)
{
    if (request.sources.isEmpty()) {
        observer_.Information(QStringLiteral("Please add files first!"));
        return;
    }
    if (request.savePath.isEmpty()) {
        observer_.Information(QStringLiteral("Please select save path!"));
        return;
    }
    const int index = std::clamp(request.formatIndex, 0, output_format::Count() - 1);
    observer_.OutputChosen(request.savePath, output_format::WordAt(index));
    try {
        observer_.SaveGeneralSettings(request.mergeFileName);
    } catch (const std::exception &e) {
        observer_.Error(QString::fromStdString(e.what()));
        return;
    }
    RunConversion(request, settings);
}

void TConvertEngine::RunConversion(const ConvertRequest &request, const TProgramSettings &settings)
{
    if (request.sources.isEmpty())
        return;
    if (converting_) {
        // Pressed again during a run: the running loop sees the cleared flag
        // after its block and ends as a stopped run.
        converting_ = false;
        observer_.SetStatusText(QStringLiteral("Stop"));
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
    observer_.SetControlsEnabled(false);
    observer_.StopPreview();
    observer_.SetStatusText(QStringLiteral("Converting..."));
    samplesDone_ = 0;
    failures_ = 0;
    currentIndex_ = 0;
    warnings_.clear();

    const int count = int(request.sources.size());
    for (int k = 1; k <= count; ++k) {
        currentInput_ = request.sources[k - 1];
        if (!QFileInfo::exists(currentInput_)) {
            observer_.Message(QStringLiteral("Invalid input file name: ") + currentInput_);
            BackToIdle();
            return;
        }
        currentIndex_ = k;
        ConvertSource(request, settings);
    }

    if (converting_) {
        if (failures_ == 0) {
            observer_.SetStatusText(QStringLiteral("Complete!"));
            observer_.Information(WithWarnings(QStringLiteral("Complete converting files!"), warnings_));
        } else {
            observer_.SetStatusText(QStringLiteral("Finished"));
            observer_.Information(
                WithWarnings(QStringLiteral("Finished converting files, but %1 of %2 file(s) could not be converted.")
                                 .arg(failures_)
                                 .arg(count),
                             warnings_));
        }
        observer_.SetGauge(100);
    } else {
        observer_.SetStatusText(QStringLiteral("Cancel"));
        observer_.Information(WithWarnings(QStringLiteral("Cancel converting files!"), warnings_));
    }
    converting_ = false;
    observer_.SetControlsEnabled(true);
}

void TConvertEngine::ConvertSource(const ConvertRequest &request, const TProgramSettings &settings)
{
    if (!converting_)
        return; // a stopped run passes over the remaining sources
    const int index = std::clamp(request.formatIndex, 0, output_format::Count() - 1);
    const QString output = ConvertOutputPath(request.savePath, currentInput_, "." + output_format::WordAt(index));
    const QString written = WrittenPath(output);

    // A free name is no file, but a listed source that has gone missing can
    // still own it: writing there would turn the output into a later source.
    for (const QString &source : request.sources) {
        if (SameFile(source, written)) {
            observer_.SetRowStatus(currentIndex_, QStringLiteral("Skipped"));
            ++failures_;
            observer_.Message(QStringLiteral("%1 was not converted: its output %2 is a file in the list.")
                                  .arg(currentInput_, written));
            return;
        }
    }

    try {
        switch (index) {
        case 0:
            ConfigureMp3Output(fileW_, encoder_, settings);
            break;
        case 1:
            fileW_.SetWavFormat(int(settings.wav_frequency), int(settings.wav_channels), int(settings.wav_bps));
            break;
        case 2:
            fileW_.SetWmaProfile(settings.wma_wmaprofile);
            fileR_.OpenFile(currentInput_, 0, 1);
            if (fileR_.LastError() != 0) {
                FileFailed(FailureText(QStringLiteral("Cannot open"), currentInput_, fileR_.LastErrorText()), {});
                return;
            }
            fileW_.SetInputFormat(fileR_.SampleRate(), fileR_.Channels());
            fileR_.CloseFile();
            break;
        case 3:
            ConfigureOggOutput(fileW_, settings, observer_);
            break;
        case 4:
            ConfigureFlacOutput(fileW_, settings);
            break;
        default:
            ConfigureOpusOutput(fileW_, settings);
            break;
        }
    } catch (const std::exception &e) {
        FileFailed(QString::fromStdString(e.what()), {});
        return;
    }

    if (!ConvertOneFile(currentInput_, written, request.listTotalSamples))
        return;

    if (request.copyTags) {
        try {
            info_.LoadFile(currentInput_);
            info_.SaveTag(written);
        } catch (const std::exception &e) {
            observer_.Error(QString::fromStdString(e.what()));
        }
    }
}

bool TConvertEngine::ConvertOneFile(const QString &input, const QString &written, int64_t listTotalSamples)
{
    // Nothing is created for a source that cannot be read.
    const OpenedSource opened = OpenSource(info_, fileR_, currentIndex_, input, observer_);
    if (!opened.opened) {
        FileFailed(opened.failure, {});
        return false;
    }
    fileW_.SetFormatIndex(-1);
    fileW_.SetExpectedLength(opened.length, fileR_.SampleRate()); // a WAV past 4 GiB is RF64 from its first byte
    fileW_.CreateFile(written, 0);
    if (fileW_.LastError() != 0) {
        FileFailed(FailureText(QStringLiteral("Cannot create"), written, fileW_.LastErrorText()), {});
        return false;
    }

    // Set here before the pump sets it again: an input format the writer
    // refuses is reported against the new file, not the source.
    try {
        fileW_.SetInputFormat(fileR_.SampleRate(), fileR_.Channels());
    } catch (const std::exception &e) {
        FileFailed(FailureText(QStringLiteral("Cannot write"), written, QString::fromStdString(e.what())), written);
        return false;
    }
    // A block is one second of audio per channel of this source.
    const PumpPass pass{.source = input,
                        .row = currentIndex_,
                        .blockSize = fileR_.Channels() * fileR_.SampleRate(),
                        .length = opened.length,
                        .listDone = samplesDone_,
                        .listTotal = listTotalSamples,
                        .rowOnlyWithGauge = true};
    const PumpResult pumped = PumpBlocks(fileR_, fileW_, observer_, pass, converting_);
    if (pumped.end == PumpResult::ReadFailed) {
        FileFailed(FailureText(QStringLiteral("Cannot read"), input, pumped.reason), written);
        return false;
    }
    if (pumped.end == PumpResult::WriteFailed) {
        FileFailed(FailureText(QStringLiteral("Cannot write"), written, pumped.reason), written);
        return false;
    }
    samplesDone_ += opened.length;

    fileR_.CloseFile();
    try {
        fileW_.CloseFile();
    } catch (const std::exception &e) {
        FileFailed(FailureText(QStringLiteral("Cannot write"), written, QString::fromStdString(e.what())), written);
        return false;
    }
    if (!pumped.damage.isEmpty())
        warnings_ << pumped.damage;
    observer_.SetRowStatus(currentIndex_, converting_ ? QStringLiteral("100%") : QStringLiteral("Stop"));
    observer_.OutputWritten(currentIndex_, written);
    return true;
}

void TConvertEngine::CloseQuietly()
{
    CloseBothQuietly(fileR_, fileW_);
}

void TConvertEngine::FileFailed(const QString &text, const QString &written)
{
    CloseQuietly();
    if (!written.isEmpty())
        QFile::remove(written); // a half-written file is no conversion
    ++failures_;
    observer_.SetRowStatus(currentIndex_, QStringLiteral("Error"));
    observer_.Error(text);
}

void TConvertEngine::BackToIdle()
{
    CloseQuietly();
    converting_ = false;
    observer_.SetControlsEnabled(true);
}
