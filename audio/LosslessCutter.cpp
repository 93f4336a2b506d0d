#include "audio/LosslessCutter.h"

#include "audio/AudioError.h"
#include "audio/FlacFrameCutter.h"
#include "audio/ContainerProbes.h"
#include "audio/Mp3FrameCutter.h"
#include "audio/Mp4AacCutter.h"
#include "audio/OggPacketCutter.h"
#include "audio/ReadSource.h"

#include <QDir>

extern "C" {
#include <libavformat/avformat.h>
}

QString LosslessSaveFormat(const QString &path)
{
    try {
        const audio_detail::OpenedContainer src = audio_detail::openSource(path);
        const AVCodecID codec = src.stream()->codecpar->codec_id;
        switch (codec) {
        case AV_CODEC_ID_MP3:
            return QStringLiteral("mp3");
        case AV_CODEC_ID_FLAC: // native FLAC only: FLAC in Ogg or Matroska has other framing
            return qstrcmp(src.format->iformat->name, "flac") == 0 ? QStringLiteral("flac") : QString();
        case AV_CODEC_ID_OPUS: // Ogg only: the cutter rewrites Ogg pages
            return qstrcmp(src.format->iformat->name, "ogg") == 0 ? QStringLiteral("opus") : QString();
        case AV_CODEC_ID_AAC: // in MP4 only: the cutter writes an MP4 with an edit list
            return qstrcmp(src.format->iformat->name, audio_detail::kMp4Demuxer) == 0
                           && src.stream()->codecpar->profile == FF_PROFILE_AAC_LOW
                       ? QStringLiteral("m4a")
                       : QString();
        case AV_CODEC_ID_VORBIS:
            return qstrcmp(src.format->iformat->name, "ogg") == 0 ? QStringLiteral("ogg") : QString();
        default:
            return {};
        }
    } catch (const AudioError &) {
        return {};
    }
}

std::unique_ptr<LosslessCutter> OpenLosslessCutter(const QString &path, const LosslessCutter::Progress &progress)
{
    const QString format = LosslessSaveFormat(path);
    if (format == QLatin1String("mp3"))
        return std::make_unique<Mp3FrameCutter>(path, progress);
    if (format == QLatin1String("flac"))
        return std::make_unique<FlacFrameCutter>(path, progress);
    if (format == QLatin1String("opus") || format == QLatin1String("ogg"))
        return std::make_unique<OggPacketCutter>(path, progress);
    if (format == QLatin1String("m4a"))
        return std::make_unique<Mp4AacCutter>(path, progress);
    throw AudioError(QStringLiteral("%1 cannot be cut without re-encoding: its audio cannot be copied")
                         .arg(QDir::toNativeSeparators(path)));
}
