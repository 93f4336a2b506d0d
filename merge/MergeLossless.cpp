// The merge that copies the sources' audio instead of encoding it again.
#include "merge/MergeEngine.h"

#include "audio/AudioError.h"
#include "audio/LosslessJoin.h"
#include "audio/TAudioInformation2.h"
#include "base/RunReport.h"

#include <QFileInfo>

void MergeEngine::MergeLossless(const MergeRequest &request, const QString &saveformat)
{
    // Refused before anything is written, naming the file that does not fit.
    if (const QString refusal = LosslessJoinRefusal(request.sources, saveformat); !refusal.isEmpty()) {
        Fail(refusal);
        return;
    }
    observer_.Status(QStringLiteral("Merging ..."));
    observer_.Progress(0);
    currentIndex_ = 1;
    const int count = int(request.sources.size());
    int lastPercent = -1;
    // The join reads every source first (half the work), then writes;
    // the run hears Cancel between its steps of about a megabyte.
    const auto progress = [&](int64_t done, int64_t total) {
        const int percent = int(done * 100 / std::max<int64_t>(total, 1));
        if (percent != lastPercent) {
            lastPercent = percent;
            observer_.Progress(percent);
            const int row = std::clamp(int(int64_t(percent) * count / 50) + 1, 1, count);
            if (percent < 50 && row != currentIndex_) {
                observer_.RowStatus(currentIndex_, QStringLiteral("100%"));
                currentIndex_ = row;
            }
        }
        observer_.Breathe();
        return merging_;
    };
    LosslessJoinResult joined;
    try {
        // Written beside the output and renamed over it when whole: a stop or a
        // failure leaves the output as it was, and no partial file.
        joined = JoinLossless(request.sources, saveformat, outputPath_, progress);
    } catch (const LosslessCutter::Cancelled &) {
        observer_.Status(QStringLiteral("Cancel"));
        observer_.RowStatus(currentIndex_, QStringLiteral("Stop"));
        observer_.Information(QStringLiteral("Cancel merging files!"));
        merging_ = false;
        observer_.Ended();
        return;
    } catch (const AudioError &e) {
        Fail(e.text());
        return;
    }
    for (int k = 1; k <= count; ++k)
        observer_.RowStatus(k, QStringLiteral("100%"));
    currentIndex_ = count;
    observer_.Progress(100);

    WriteMergeTag(request, outputPath_);
    if (request.chapterMarks) {
        // Each source begins at its exact sample: nothing was resampled or padded.
        for (int k = 1; k <= count; ++k) {
            QString title = request.chapterTitles.value(k - 1).trimmed();
            if (title.isEmpty()) {
                try {
                    info_.LoadFile(request.sources[k - 1]);
                    title = info_.infoTitle().trimmed();
                } catch (const std::exception &) {
                }
            }
            if (title.isEmpty())
                title = QFileInfo(request.sources[k - 1]).completeBaseName();
            chapters_.push_back(ChapterMark{joined.starts[size_t(k - 1)], joined.sampleRate, title});
        }
        outputEnd_ = joined.length;
        WriteChapterMarks(outputPath_);
    }
    observer_.Status(QStringLiteral("Complete!"));
    observer_.Information(QStringLiteral("Complete merging files!"));
    merging_ = false;
    observer_.Ended();
}
