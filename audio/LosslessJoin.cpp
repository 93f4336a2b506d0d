#include "audio/LosslessJoin.h"

#include "audio/AudioError.h"
#include "audio/FlacFrameCutter.h"
#include "audio/Mp3FrameCutter.h"
#include "audio/MpegScan.h"
#include "audio/ReadSource.h"

#include <QDir>

#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }

// What must agree between the sources for their frames to share one stream.
struct StreamFacts {
    QString format; // "mp3", "flac" or empty
    int rate = 0;
    int channels = 0;
    int bits = 0;     // FLAC
    QString mode;     // MP3: "Joint Stereo", ...
    QString version;  // MP3: "1.0", ...
};

StreamFacts factsOf(const QString &path)
{
    StreamFacts f;
    f.format = LosslessSaveFormat(path);
    if (f.format == QLatin1String("mp3")) {
        const audio_detail::MpegScan scan = audio_detail::scanMpegFile(path);
        if (!scan.valid || scan.layer != 3) {
            f.format.clear();
            return f;
        }
        f.rate = scan.sampleRate;
        f.channels = scan.channels;
        f.mode = scan.mode;
        f.version = scan.version;
    } else if (f.format == QLatin1String("flac")) {
        try {
            const audio_detail::OpenedContainer src = audio_detail::openSource(path);
            const AVCodecParameters *par = src.stream()->codecpar;
            f.rate = par->sample_rate;
            f.channels = par->ch_layout.nb_channels;
            f.bits = par->bits_per_raw_sample;
        } catch (const AudioError &) {
            f.format.clear();
        }
    }
    return f;
}

QString formatName(const QString &format) { return format.toUpper(); }

} // namespace

QString LosslessJoinRefusal(const QStringList &sources, const QString &format)
{
    if (format != QLatin1String("mp3") && format != QLatin1String("flac"))
        return QStringLiteral("Only MP3 and FLAC files can be merged without re-encoding, not into %1.")
            .arg(formatName(format));
    StreamFacts first;
    for (int i = 0; i < sources.size(); ++i) {
        const QString &path = sources[i];
        const StreamFacts f = factsOf(path);
        if (f.format != format)
            return QStringLiteral("%1 is not %2 file, so it cannot be merged into %3 without re-encoding.")
                .arg(nameOf(path), format == QLatin1String("mp3") ? QStringLiteral("an MP3") : QStringLiteral("a FLAC"),
                     formatName(format));
        if (i == 0) {
            first = f;
            continue;
        }
        const QString head = QStringLiteral("%1 cannot be merged without re-encoding: ").arg(nameOf(path));
        const QString firstName = nameOf(sources.first());
        if (f.rate != first.rate)
            return head + QStringLiteral("its sample rate is %1 Hz, %2 has %3 Hz.").arg(f.rate).arg(firstName).arg(first.rate);
        if (f.version != first.version)
            return head + QStringLiteral("it is MPEG %1 audio, %2 is MPEG %3.").arg(f.version, firstName, first.version);
        if (f.channels != first.channels || f.mode != first.mode) {
            const QString mine = f.mode.isEmpty() ? QStringLiteral("%1 channels").arg(f.channels) : f.mode;
            const QString theirs = first.mode.isEmpty() ? QStringLiteral("%1 channels").arg(first.channels) : first.mode;
            return head + QStringLiteral("it is %1, %2 is %3.").arg(mine, firstName, theirs);
        }
        if (f.bits != first.bits)
            return head + QStringLiteral("its samples have %1 bits, %2 has %3.").arg(f.bits).arg(firstName).arg(first.bits);
    }
    return {};
}

LosslessJoinResult JoinLossless(const QStringList &sources, const QString &format, const QString &path,
                                const LosslessCutter::Progress &progress)
{
    if (sources.isEmpty())
        throw AudioError(QStringLiteral("Cannot write %1: there is nothing to merge").arg(nameOf(path)));
    if (const QString refusal = LosslessJoinRefusal(sources, format); !refusal.isEmpty())
        throw AudioError(refusal);
    // The walks take the first half of the progress, the writing the second.
    const int64_t count = sources.size();
    int64_t index = 0;
    const auto walkProgress = [&](int64_t done, int64_t total) {
        return !progress || progress(index * 1000 + done * 1000 / std::max<int64_t>(total, 1), count * 2000);
    };
    const auto writeProgress = [&](int64_t done, int64_t total) {
        return !progress || progress(count * 1000 + done * count * 1000 / std::max<int64_t>(total, 1), count * 2000);
    };
    LosslessJoinResult result;
    if (format == QLatin1String("flac")) {
        std::vector<std::unique_ptr<FlacFrameCutter>> cutters;
        std::vector<const FlacFrameCutter *> list;
        for (const QString &source : sources) {
            cutters.push_back(std::make_unique<FlacFrameCutter>(source, walkProgress));
            list.push_back(cutters.back().get());
            result.starts.push_back(result.length);
            result.length += cutters.back()->length();
            ++index;
        }
        result.sampleRate = cutters.front()->sampleRate();
        FlacFrameCutter::join(path, list, writeProgress);
        result.shifts.assign(result.starts.size(), 0);
        return result;
    }
    std::vector<std::unique_ptr<Mp3FrameCutter>> cutters;
    std::vector<const Mp3FrameCutter *> list;
    for (const QString &source : sources) {
        cutters.push_back(std::make_unique<Mp3FrameCutter>(source, walkProgress));
        list.push_back(cutters.back().get());
        ++index;
    }
    return Mp3FrameCutter::join(path, list, writeProgress);
}
