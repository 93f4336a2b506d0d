#include "split/SplitEngine.h"

#include "audio/AudioError.h"
#include "audio/LosslessCutter.h"

#include <algorithm>
#include <memory>

// The split that copies the source's packets (MP3 or FLAC frames ...)
// instead of re-encoding them.

SplitOutcome SplitEngine::RunLossless(SplitMode mode)
{
    // A source whose codec cannot be copied is told the MP3 way, as it always was.
    QString wanted = LosslessSaveFormat(sourcePath_);
    if (wanted.isEmpty())
        wanted = QStringLiteral("mp3");
    if (settings_.saveformat.toLower() != wanted)
        return Fail("Copying the audio without re-encoding needs " + wanted.toUpper() + " as the save format; "
                    + sourcePath_ + " was not split.");
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
    std::unique_ptr<LosslessCutter> cutter;
    try {
        cutter = OpenLosslessCutter(sourcePath_, [&](int64_t done, int64_t total) {
            return breathe(int(double(done) * kWalkPercent / double(std::max<int64_t>(total, 1))));
        });
    } catch (const AudioError &e) {
        return Fail(e.text());
    } catch (const LosslessCutter::Cancelled &) {
        // Nothing written yet; reported below like a stop between parts.
    }
    // Without tags a part carries none of the source's either.
    if (cutter)
        cutter->setCarriesSourceTags(run_.CopyTag);
    if (cutter && cutter->length() != totalSamples)
        return Fail(QStringLiteral("%1 cannot be cut without re-encoding: its frames decode to %2 samples, "
                                   "but its header says %3")
                        .arg(sourcePath_).arg(cutter->length()).arg(totalSamples));

    // Every part is checked before the first file is written.
    // A codec that cannot drop samples in front exactly moves a split point
    // back to where it can begin a part, for both parts beside it, so that
    // the parts still join without overlap or gap.
    const auto pointAt = [&](int64_t at) {
        at = std::min(at, totalSamples);
        return at < totalSamples ? std::clamp<int64_t>(cutter->partStart(at), 0, at) : at;
    };
    const auto range = [&](int32_t k) {
        const int64_t start = k == 1 ? 0 : pointAt(PartEnd(k - 1, totalSamples));
        return std::pair(start, std::clamp(pointAt(PartEnd(k, totalSamples)), start, totalSamples));
    };
    for (int32_t k = 1; cutter && k <= plan_.PartCount; ++k) {
        const auto [start, end] = range(k);
        const QString shorter = PartSaved(mode, k) ? cutter->tooShort(start, end) : QString();
        if (!shorter.isEmpty())
            return Fail(QStringLiteral("Part %1 of %2 is shorter than %3, so it cannot be copied "
                                       "exactly. Move its split point, or split with re-encoding.")
                            .arg(k).arg(sourcePath_, shorter));
    }

    for (; cutter && run_.Running && run_.CurrentPart <= plan_.PartCount; ++run_.CurrentPart) {
        const int32_t k = run_.CurrentPart;
        // Plain variables, not a structured binding: lambdas below capture them.
        const std::pair<int64_t, int64_t> span = range(k);
        const int64_t start = span.first, end = span.second;
        run_.CurrentPartFileName = PartFileName(mode, k);
        if (PartSaved(mode, k)) {
            const QString path = settings_.savepath + run_.CurrentPartFileName;
            QByteArray tag;
            if (run_.CopyTag) {
                TagPart(k, ++partsNumbered_);
                try {
                    if (cutter->takesRenderedTag())
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
                return Fail("Unable to write to " + path + "\n" + e.text());
            } catch (const LosslessCutter::Cancelled &) {
                break; // the unfinished part was never put in place
            }
            // Cutters that carry the source's own metadata get the part's tag
            // written into the finished file, as a re-encoded part does.
            if (run_.CopyTag && !cutter->takesRenderedTag()) {
                try {
                    AudioInformation.SaveTag(path);
                } catch (const AudioError &) {
                    // A part without its tag is still a good part; the audio is kept.
                }
            }
        }
        run_.SamplesRead = end;
        if (!breathe(percentAt(end)))
            break;
    }
    run_.CurrentPart = std::clamp(run_.CurrentPart, 1, std::max(plan_.PartCount, 1));
    return EndRun(QString());
}
