#include "merge/MergeEngine.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "config/OutputSetup.h"
#include "merge/BlockPump.h"
#include "merge/LoudnessPass.h"
#include "merge/OutputNames.h"
#include "base/RunReport.h"
#include "merge/RunTexts.h"
#include "merge/CloseQuietly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>

int64_t MergedLength(const QList<SourceLength> &sources, int rate)
{
    int64_t total = 0;
    for (const SourceLength &s : sources) {
        if (s.frames <= 0 || s.sampleRate <= 0 || rate <= 0)
            continue;
        // Floating point: frames x rate can pass 64 bits for a day-long source at a high rate.
        total += int64_t(std::ceil(double(s.frames) * rate / s.sampleRate));
    }
    return total;
}

MergeEngine::MergeEngine(TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder,
                         RunReport &observer)
    : reader_(std::make_unique<TAudioFile2>()), fileR_(*reader_), fileW_(fileW), info_(info), encoder_(encoder),
      observer_(observer)
{
}

MergeEngine::~MergeEngine() = default;

QString MergeEngine::FormatWord(const MergeRequest &request) { return request.formatText.toLower(); }

QString MergeEngine::OutputName(const MergeRequest &request)
{
    return MergeOutputName(request.fileNameText, FormatWord(request));
}

QString MergeEngine::Refusal(const MergeRequest &request)
{
    if (request.sources.isEmpty())
        return QStringLiteral("Please add files first!");
    if (request.fileNameText.isEmpty())
        return QStringLiteral("Please input file name!");
    if (request.savePath.isEmpty())
        return QStringLiteral("Please select save path!");
    const QString outputPath = request.savePath + OutputName(request);
    // Replacing the output would delete a source before it is read.
    for (const QString &source : request.sources) {
        if (SameFile(source, outputPath))
            return QStringLiteral("The output file %1 is one of the files to merge. "
                                  "Please choose another file name or folder.")
                .arg(QDir::toNativeSeparators(outputPath));
    }
    if (request.lossless && request.normaliseLufs != 0)
        return QStringLiteral("Copying the audio without re-encoding cannot change its loudness. "
                              "Please choose either the copy or a loudness to normalise to.");
    return {};
}

MergeResult MergeEngine::Run(const MergeRequest &request, const TProgramSettings &settings)
{
    if (const QString refusal = Refusal(request); !refusal.isEmpty()) {
        observer_.Information(refusal);
        return {};
    }
    const QString name = OutputName(request);
    failed_ = false;
    MergeInto(request, settings, FormatWord(request), name);
    return {name, failed_};
}

void MergeEngine::MergeInto(const MergeRequest &request, const TProgramSettings &settings, const QString &saveformat,
                             const QString &name)
{
    const QString outputPath = request.savePath + name;
    // Running and locked before the preview stops: stopping the player may
    // run the event loop, and a second press on Merge must find a run going.
    merging_ = true;
    currentIndex_ = 0;
    observer_.Began();
    outputPath_ = outputPath;
    workPath_.clear();
    warnings_.clear();
    chapters_.clear();
    gains_.clear();
    outputEnd_ = 0;
    fileW_.SetFormatIndex(-1);

    if (!MakeFolder(request.savePath)) {
        Fail(QStringLiteral("Cannot create ") + request.savePath);
        return;
    }
    // Found now rather than after the whole merge: a file cannot replace a folder.
    if (QFileInfo(outputPath).isDir()) {
        Fail(QStringLiteral("Cannot replace %1: it is a folder").arg(outputPath));
        return;
    }

    if (request.lossless) {
        MergeLossless(request, saveformat);
        return;
    }

    try {
        // The merge takes the Ogg settings by a rule of its own (BitRatesOnly):
        // no quality mode, no check of the rates before they are set.
        if (const std::optional<OutputFormat> format = output_format::FromWord(saveformat))
            ConfigureOutput(fileW_, encoder_, *format, settings, OggSettingsRule::BitRatesOnly);
    } catch (const std::exception &e) {
        Fail(QString::fromStdString(e.what()));
        return;
    }

    const QString &first = request.sources.first();
    fileR_.OpenFile(first, 0, 1);
    if (fileR_.LastError() != 0) {
        Fail(FailureText(QStringLiteral("Cannot open"), first, fileR_.LastErrorText()));
        return;
    }
    // One block is a second of audio per channel of the first source, for every source.
    blockSize_ = fileR_.Channels() * fileR_.SampleRate();
    try {
        const int firstRate = fileR_.SampleRate();
        // "Same as source" settings follow the first source; the others are
        // converted to it.
        if (const std::optional<OutputFormat> format = output_format::FromWord(saveformat))
            ConfigureOutput(fileW_, encoder_, *format, settings,
                            {firstRate, fileR_.Channels(), 0, fileR_.BitsPerSample()}, OggSettingsRule::BitRatesOnly);
        fileW_.SetInputFormat(firstRate, fileR_.Channels());
        fileR_.CloseFile();
        // A WAV past 4 GiB must be RF64 from its first byte.
        fileW_.SetExpectedLength(ExpectedLength(request.sources, firstRate), firstRate);
    } catch (const std::exception &e) {
        Fail(QString::fromStdString(e.what()));
        return;
    }

    if (request.normaliseLufs != 0 && !MeasureLoudness(request))
        return;

    // The merge is written beside the output and replaces it only when the
    // run has ended, so a merge that fails leaves the old file as it was. The
    // work file keeps the output's extension: the writer and the tag writer
    // pick the format by it. Its name is reserved, then freed for the writer,
    // which creates the file with the permissions a new output gets.
    {
        const QFileInfo output(outputPath);
        QTemporaryFile reserve(output.dir().filePath(
            QStringLiteral(".%1.merge-XXXXXX.%2").arg(output.completeBaseName(), output.suffix())));
        reserve.setAutoRemove(false);
        if (!reserve.open()) {
            Fail(QStringLiteral("Cannot create %1: %2").arg(outputPath, reserve.errorString()));
            return;
        }
        workPath_ = reserve.fileName();
        reserve.close();
        QFile::remove(workPath_);
    }
    fileW_.CreateFile(workPath_, 0);
    if (fileW_.LastError() != 0) {
        Fail(FailureText(QStringLiteral("Cannot create"), outputPath, AsOutput(fileW_.LastErrorText())));
        return;
    }

    observer_.Status(QStringLiteral("Merging ..."));
    observer_.Progress(0); // nothing of the run before shows
    samplesDone_ = 0;
    if (MergeSources(request) == Outcome::Failed)
        return;

    fileR_.CloseFile();
    // With the resampler's tail: the output's last frame.
    outputEnd_ = fileW_.OutputPosition();
    try {
        fileW_.CloseFile();
    } catch (const std::exception &e) {
        Fail(FailureText(QStringLiteral("Cannot write"), outputPath, AsOutput(QString::fromStdString(e.what()))));
        return;
    }
    // A completed merge replaces the old output in one rename. A stopped one
    // is only part of what was asked for and never replaces a file: it is
    // kept under the conversion's free name beside it ("New_mix.mp3").
    const QString written = merging_ ? outputPath : WrittenPath(outputPath);
    if (written == outputPath) {
        std::error_code renameError;
        std::filesystem::rename(std::filesystem::path(QFile::encodeName(workPath_).toStdString()),
                                std::filesystem::path(QFile::encodeName(outputPath).toStdString()), renameError);
        if (renameError) {
            Fail(QStringLiteral("Cannot replace %1: %2")
                     .arg(outputPath, QString::fromLocal8Bit(renameError.message().c_str())));
            return;
        }
    } else {
        QFile work(workPath_);
        if (!work.rename(written)) { // refuses a name taken meanwhile
            Fail(QStringLiteral("Cannot save the stopped merge as %1: %2").arg(written, work.errorString()));
            return;
        }
    }
    workPath_.clear();
    observer_.Progress(100);

    WriteMergeTag(request, written);

    if (request.chapterMarks)
        WriteChapterMarks(written);

    if (merging_) {
        observer_.Status(QStringLiteral("Complete!"));
        observer_.RowStatus(currentIndex_, QStringLiteral("100%"));
        observer_.Information(WithWarnings(QStringLiteral("Complete merging files!"), warnings_));
    } else {
        observer_.Status(QStringLiteral("Cancel"));
        observer_.RowStatus(currentIndex_, QStringLiteral("Stop"));
        QString text = QStringLiteral("Cancel merging files!");
        if (written != outputPath)
            text += QStringLiteral("\nThe merge so far was saved as %1; %2 was left as it was.")
                        .arg(QDir::toNativeSeparators(written), QDir::toNativeSeparators(outputPath));
        observer_.Information(WithWarnings(text, warnings_));
    }

    merging_ = false;
    observer_.Ended();
}

MergeEngine::Outcome MergeEngine::MergeSources(const MergeRequest &request)
{
    const int count = int(request.sources.size());
    for (int k = 1; k <= count; ++k) {
        const QString &source = request.sources[k - 1];
        currentIndex_ = k;
        const OpenedSource opened = OpenSource(info_, fileR_, k, source, observer_);
        if (!opened.opened) {
            Fail(opened.failure);
            return Outcome::Failed;
        }
        if (request.chapterMarks)
            MarkChapter(request, k);

        const PumpPass pass{.source = source,
                            .row = k,
                            .blockSize = blockSize_,
                            .length = opened.length,
                            .listDone = samplesDone_,
                            .listTotal = request.listTotalSamples,
                            .gain = gains_.empty() ? 1.0f : gains_[size_t(k - 1)]};
        const PumpResult pumped = PumpBlocks(fileR_, fileW_, observer_, pass, merging_);
        switch (pumped.end) {
        case PumpResult::ReadFailed:
            Fail(FailureText(QStringLiteral("Cannot read"), source, pumped.reason));
            return Outcome::Failed;
        case PumpResult::WriteFailed:
            Fail(FailureText(QStringLiteral("Cannot write"), outputPath_, AsOutput(pumped.reason)));
            return Outcome::Failed;
        case PumpResult::Stopped:
            NoteDamage(pumped.damage); // of what was read before the stop
            return Outcome::Finished;
        case PumpResult::Drained:
            break;
        }
        samplesDone_ += opened.length;
        observer_.RowStatus(k, QStringLiteral("100%"));
        NoteDamage(pumped.damage);
        fileR_.CloseFile();
    }
    return Outcome::Finished;
}

bool MergeEngine::MeasureLoudness(const MergeRequest &request)
{
    std::vector<int64_t> lengths;
    for (const QString &source : request.sources) {
        int64_t frames = 0;
        try {
            info_.LoadFile(source);
            frames = info_.TotalSamples();
        } catch (const std::exception &) {
            // Its reader tells what is wrong with it.
        }
        lengths.push_back(frames);
    }
    const LoudnessPassResult pass =
        MeasureSources(fileR_, observer_, request.sources, lengths, request.normaliseLufs, merging_);
    if (pass.end == LoudnessPassResult::Failed) {
        Fail(pass.failure);
        return false;
    }
    if (pass.end == LoudnessPassResult::Stopped) {
        // Nothing was written yet: the stop leaves no file at all.
        CloseQuietly();
        observer_.Status(QStringLiteral("Cancel"));
        observer_.Information(QStringLiteral("Cancel merging files!"));
        observer_.Ended();
        return false;
    }
    for (const SourceGain &g : pass.gains)
        gains_.push_back(g.Factor());
    warnings_ << pass.Notes(request.sources, request.normaliseLufs);
    return true;
}

void MergeEngine::MarkChapter(const MergeRequest &request, int k)
{
    // The source was just loaded into the information component: its tag is at hand.
    QString title = request.chapterTitles.value(k - 1).trimmed();
    if (title.isEmpty())
        title = info_.infoTitle().trimmed();
    if (title.isEmpty())
        title = QFileInfo(request.sources[k - 1]).completeBaseName();
    chapters_.push_back(ChapterMark{fileW_.OutputPosition(), fileW_.OutputSampleRate(), title});
}

void MergeEngine::WriteChapterMarks(const QString &path)
{
    if (!FormatCarriesChapters(path))
        return; // WAV and WMA hold none
    // A source that gave no audio (or a stop right at its start) is no chapter.
    ChapterList marks;
    for (const ChapterMark &mark : chapters_) {
        if (mark.startFrame >= outputEnd_)
            break;
        if (!marks.empty() && marks.back().startFrame == mark.startFrame)
            marks.pop_back();
        marks.push_back(mark);
    }
    if (marks.empty())
        return;
    try {
        WriteChapters(path, marks, outputEnd_);
    } catch (const std::exception &e) {
        observer_.Error(QString::fromStdString(e.what()));
    }
}

void MergeEngine::CloseQuietly()
{
    CloseBothQuietly(fileR_, fileW_);
}

int64_t MergeEngine::ExpectedLength(const QStringList &sources, int firstRate)
{
    QList<SourceLength> lengths;
    for (const QString &source : sources) {
        try {
            info_.LoadFile(source);
            lengths << SourceLength{info_.TotalSamples(), info_.SampleRate()};
        } catch (const std::exception &) {
            // It ends the run when its turn comes; it adds nothing meanwhile.
        }
    }
    return MergedLength(lengths, firstRate);
}

QString MergeEngine::AsOutput(const QString &text) const
{
    if (workPath_.isEmpty())
        return text;
    QString named = text;
    named.replace(QDir::toNativeSeparators(workPath_), QDir::toNativeSeparators(outputPath_));
    named.replace(workPath_, outputPath_);
    return named;
}

void MergeEngine::NoteDamage(const QString &line)
{
    if (!line.isEmpty())
        warnings_ << line;
}

void MergeEngine::WriteMergeTag(const MergeRequest &request, const QString &path)
{
    if (!request.tagEnabled)
        return;
    // The sources' loads left the last one's tag in the component: the
    // dialog's values replace it, and no genre of a source slips through.
    // The merged file carries the tag typed for it, nothing of the last source read.
    info_.ClearTag();
    info_.setInfoTitle(request.tag.title);
    info_.setInfoArtist(request.tag.artist);
    info_.setInfoAlbum(request.tag.album);
    info_.setInfoYear(request.tag.year);
    info_.setInfoComments(request.tag.comment);
    info_.setInfoGenre(255);
    try {
        info_.SaveTag(path);
    } catch (const std::exception &e) {
        observer_.Error(QString::fromStdString(e.what()));
    }
}

void MergeEngine::Fail(const QString &text)
{
    CloseQuietly();
    if (!workPath_.isEmpty()) {
        QFile::remove(workPath_); // an incomplete merge is no output
        workPath_.clear();
    }
    if (currentIndex_ > 0)
        observer_.RowStatus(currentIndex_, QStringLiteral("Error"));
    observer_.Status(QStringLiteral("Failed"));
    merging_ = false;
    failed_ = true;
    observer_.Error(text);
    observer_.Ended();
}
