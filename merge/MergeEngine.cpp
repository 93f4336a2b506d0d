#include "merge/MergeEngine.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/OutputNames.h"
#include "merge/RunObserver.h"
#include "merge/CloseQuietly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

void ConfigureMp3Output(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const TProgramSettings &s)
{
    if (s.mp3_fvbr == 1) {
        encoder.SampleRate = s.mp3_frequency;
        encoder.Bitrate = s.mp3_bitrate;
        encoder.Mode = s.mp3_channels - 1; // stored codes count from 1, the encoder's from 0
        encoder.OptionA = 0;
        encoder.MaxBitrate = s.mp3_maxbitrate;
        encoder.VbrQuality = int16_t(s.mp3_vbrquality);
        encoder.OptionB = -1;
        fileW.SetMp3Encoder(encoder);
    } else {
        fileW.SetMp3Format(s.mp3_frequency, s.mp3_bitrate, s.mp3_channels);
    }
}

TMergeEngine::TMergeEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &info,
                           TAudioFile2LameEnc &encoder, RunObserver &observer)
    : fileR_(fileR), fileW_(fileW), info_(info), encoder_(encoder), observer_(observer)
{
}

static void ConfigureOutput(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const QString &saveformat,
                            const TProgramSettings &s)
{
    if (saveformat == QLatin1String("mp3")) {
        ConfigureMp3Output(fileW, encoder, s);
    } else if (saveformat == QLatin1String("wav")) {
        fileW.SetWavFormat(int(s.wav_frequency), int(s.wav_channels), int(s.wav_bps));
    } else if (saveformat == QLatin1String("wma")) {
        fileW.SetWmaProfile(s.wma_wmaprofile);
    } else if (saveformat == QLatin1String("ogg")) {
        // The merge passes the VBR quality with the bit rates and never asks
        // CheckOggFormat; the writer refuses what it cannot encode.
        if (s.ogg_vbr == 1)
            fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate,
                               int16_t(s.ogg_quality));
        else
            fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
    }
}

void TMergeEngine::Run(const MergeRequest &request, const TProgramSettings &settings)
{
    if (request.sources.isEmpty()) {
        observer_.Information(QStringLiteral("Please add files first!"));
        return;
    }
    if (request.fileNameText.isEmpty()) {
        observer_.Information(QStringLiteral("Please input file name!"));
        return;
    }
    if (request.savePath.isEmpty()) {
        observer_.Information(QStringLiteral("Please select save path!"));
        return;
    }

    const QString saveformat = request.formatText.toLower();
    const QString name = MergeOutputName(request.fileNameText, saveformat);
    const QString outputPath = request.savePath + name;
    // Replacing the output would delete a source before it is read.
    for (const QString &source : request.sources) {
        if (SameFile(source, outputPath)) {
            observer_.Information(QStringLiteral("The output file %1 is one of the files to merge. "
                                                 "Please choose another file name or folder.")
                                      .arg(QDir::toNativeSeparators(outputPath)));
            return;
        }
    }

    // Running and locked before the preview stops: stopping the player may
    // run the event loop, and a second press on Merge must find a run going.
    merging_ = true;
    currentIndex_ = 0;
    observer_.SetControlsEnabled(false);
    observer_.StopPreview();
    observer_.OutputChosen(request.savePath, saveformat);
    mergeFileName_ = name;
    fileW_.SetFormatIndex(-1);

    if (!QDir(request.savePath).exists() && !QDir().mkpath(request.savePath)) {
        Fail(QStringLiteral("Cannot create ") + request.savePath, {}, false);
        return;
    }
    if (QFileInfo::exists(outputPath) && !QFile::remove(outputPath)) {
        Fail(QStringLiteral("Cannot replace %1: the file cannot be deleted").arg(outputPath), {}, false);
        return;
    }

    try {
        ConfigureOutput(fileW_, encoder_, saveformat, settings);
    } catch (const std::exception &e) {
        Fail(QString::fromStdString(e.what()), {}, false);
        return;
    }

    const QString &first = request.sources.first();
    fileR_.OpenFile(first, 0, 1);
    if (fileR_.LastError() != 0) {
        Fail(QStringLiteral("Cannot open %1: %2").arg(first, fileR_.LastErrorText()), {}, false);
        return;
    }
    // One block is a second of audio per channel of the first source, for every source.
    blockSize_ = fileR_.Channels() * fileR_.SampleRate();
    try {
        fileW_.SetInputFormat(fileR_.SampleRate(), fileR_.Channels());
        fileR_.CloseFile();
    } catch (const std::exception &e) {
        Fail(QString::fromStdString(e.what()), {}, false);
        return;
    }

    fileW_.CreateFile(outputPath, 0);
    if (fileW_.LastError() != 0) {
        Fail(QStringLiteral("Cannot create %1: %2").arg(outputPath, fileW_.LastErrorText()), outputPath, true);
        return;
    }

    observer_.SetStatusText(QStringLiteral("Merging ..."));
    samplesDone_ = 0;
    if (MergeSources(request, outputPath) == Outcome::Failed)
        return;

    fileR_.CloseFile();
    try {
        fileW_.CloseFile();
    } catch (const std::exception &e) {
        Fail(QStringLiteral("Cannot write %1: %2").arg(outputPath, QString::fromStdString(e.what())), outputPath, true);
        return;
    }
    observer_.SetGauge(100);

    if (request.tagEnabled) {
        // The sources' loads left the last one's tag in the component: the
        // dialog's values replace it, and no genre of a source slips through.
        info_.setInfoTitle(request.tag.title);
        info_.setInfoArtist(request.tag.artist);
        info_.setInfoAlbum(request.tag.album);
        info_.setInfoYear(request.tag.year);
        info_.setInfoComments(request.tag.comment);
        info_.setInfoGenre(255);
        try {
            info_.SaveTag(outputPath);
        } catch (const std::exception &e) {
            observer_.Error(QString::fromStdString(e.what()));
        }
    }

    if (merging_) {
        observer_.SetStatusText(QStringLiteral("Complete!"));
        observer_.SetRowStatus(currentIndex_, QStringLiteral("100%"));
        observer_.Information(QStringLiteral("Complete merging files!"));
    } else {
        observer_.SetStatusText(QStringLiteral("Cancel"));
        observer_.SetRowStatus(currentIndex_, QStringLiteral("Stop"));
        observer_.Information(QStringLiteral("Cancel merging files!"));
    }

    merging_ = false;
    try {
        observer_.SaveGeneralSettings(mergeFileName_);
    } catch (const std::exception &e) {
        observer_.Error(QString::fromStdString(e.what()));
    }
    observer_.SetControlsEnabled(true);
}

TMergeEngine::Outcome TMergeEngine::MergeSources(const MergeRequest &request, const QString &outputPath)
{
    const int count = int(request.sources.size());
    for (int k = 1; k <= count; ++k) {
        const QString &source = request.sources[k - 1];
        currentIndex_ = k;
        observer_.SetRowStatus(k, QStringLiteral("0%"));

        int64_t length = 0; // sample frames of this source
        try {
            info_.LoadFile(source);
            length = info_.TotalSamples();
        } catch (const std::exception &e) {
            Fail(QStringLiteral("Cannot open %1: %2").arg(source, QString::fromStdString(e.what())), outputPath, true);
            return Outcome::Failed;
        }
        fileR_.OpenFile(source, 0, 1);
        if (fileR_.LastError() != 0) {
            Fail(QStringLiteral("Cannot open %1: %2").arg(source, fileR_.LastErrorText()), outputPath, true);
            return Outcome::Failed;
        }

        int64_t position = 0;
        for (;;) {
            PcmArray block;
            try {
                fileW_.SetInputFormat(fileR_.SampleRate(), fileR_.Channels());
                block = fileR_.ReadArray(blockSize_);
            } catch (const std::exception &e) {
                Fail(QStringLiteral("Cannot read %1: %2").arg(source, QString::fromStdString(e.what())), outputPath,
                     true);
                return Outcome::Failed;
            }
            const int64_t n = int64_t(block.size());
            if (n == 0)
                break;
            try {
                fileW_.WriteArray(block);
            } catch (const std::exception &e) {
                Fail(QStringLiteral("Cannot write %1: %2").arg(outputPath, QString::fromStdString(e.what())),
                     outputPath, true);
                return Outcome::Failed;
            }
            block = PcmArray();

            position += n / std::max(1, fileR_.ElementsPerSample());
            if (position > length)
                position = length;
            if (request.listTotalSamples != 0)
                observer_.SetGauge(int((samplesDone_ + position) * 100 / request.listTotalSamples));
            if (length != 0)
                observer_.SetRowStatus(k, QString::number(position * 100 / length) + QLatin1Char('%'));
            observer_.Breathe();
            if (!merging_)
                return Outcome::Finished;
        }
        samplesDone_ += length;
        observer_.SetRowStatus(k, QStringLiteral("100%"));
        fileR_.CloseFile();
    }
    return Outcome::Finished;
}

void TMergeEngine::CloseQuietly()
{
    CloseBothQuietly(fileR_, fileW_);
}

void TMergeEngine::Fail(const QString &text, const QString &outputPath, bool removeOutput)
{
    CloseQuietly();
    if (removeOutput && !outputPath.isEmpty())
        QFile::remove(outputPath); // an incomplete merge is no output
    if (currentIndex_ > 0)
        observer_.SetRowStatus(currentIndex_, QStringLiteral("Error"));
    observer_.SetStatusText(QStringLiteral("Failed"));
    merging_ = false;
    observer_.Error(text);
    observer_.SetControlsEnabled(true);
}
