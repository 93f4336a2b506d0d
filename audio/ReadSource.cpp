#include "audio/ReadSource.h"
#include "audio/AudioError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <taglib/mpcfile.h>
#include <taglib/mpcproperties.h>

extern "C" {
#include <libavutil/avutil.h>
}

namespace audio_detail {
namespace {

QString channelText(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 channels").arg(channels);
}

QString rateText(int rate) { return QStringLiteral("%1 Hz").arg(rate); }

QString kbpsText(int64_t bitsPerSecond)
{
    return bitsPerSecond > 0 ? QStringLiteral("%1 kbps, ").arg((bitsPerSecond + 500) / 1000) : QString();
}

int64_t averageBitrate(const OpenedSource &src, int64_t frames, int rate)
{
    const AVCodecParameters *par = src.stream()->codecpar;
    if (par->bit_rate > 0)
        return par->bit_rate;
    if (frames > 0 && rate > 0) {
        const int64_t bytes = avio_size(src.format->pb);
        if (bytes > 0)
            return int64_t(double(bytes) * 8 * rate / double(frames));
    }
    return src.format->bit_rate;
}

int64_t framesFromStream(const AVStream *st, int rate)
{
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        return av_rescale_q(st->duration, st->time_base, AVRational{1, rate});
    return -1;
}

int64_t framesFromContainer(const AVFormatContext *fmt, int rate)
{
    if (fmt->duration > 0 && fmt->duration != AV_NOPTS_VALUE)
        return av_rescale(fmt->duration, rate, AV_TIME_BASE);
    return 0;
}

// Offset of the first byte of a RIFF WAVE file's "data" chunk, or -1.
int64_t riffDataOffset(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !(head.startsWith("RIFF") || head.startsWith("RF64")) || head.mid(8, 4) != "WAVE")
        return -1;
    int64_t pos = 12;
    // Chunks before the audio are few and small; give up after a handful.
    for (int i = 0; i < 64 && file.seek(pos); ++i) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return -1;
        if (chunk.startsWith("data"))
            return pos + 8;
        const auto *b = reinterpret_cast<const uchar *>(chunk.constData());
        const int64_t size = int64_t(b[4]) | int64_t(b[5]) << 8 | int64_t(b[6]) << 16 | int64_t(b[7]) << 24;
        pos += 8 + size + (size & 1);
    }
    return -1;
}

} // namespace

QString displayName(const QString &path) { return QDir::toNativeSeparators(path); }

OpenedSource openSource(const QString &path)
{
    const QString name = displayName(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw AudioError(QStringLiteral("Cannot open %1: the file does not exist").arg(name));
    if (info.isDir())
        throw AudioError(QStringLiteral("Cannot open %1: it is a folder, not an audio file").arg(name));
    if (info.size() == 0)
        throw AudioError(QStringLiteral("Cannot open %1: the file is empty").arg(name));

    OpenedSource src;
    AVFormatContext *raw = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int rc = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot open %1 as audio: %2").arg(name, ffErrorText("avformat_open_input", rc)));
    src.format.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot read the format of %1: %2").arg(name, ffErrorText("avformat_find_stream_info", rc)));
    rc = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (rc < 0)
        throw AudioError(QStringLiteral("%1 holds no audio stream").arg(name));
    src.streamIndex = rc;
    const AVCodecParameters *par = src.stream()->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        throw AudioError(QStringLiteral("Cannot read %1: the audio stream has no valid sample rate or channel count").arg(name));
    return src;
}

SourceFacts describeSource(const QString &path, const OpenedSource &src)
{
    SourceFacts f;
    const AVStream *st = src.stream();
    const AVCodecParameters *par = st->codecpar;
    f.sampleRate = par->sample_rate;
    f.channels = par->ch_layout.nb_channels;
    const QString tail = rateText(f.sampleRate);
    const QString chans = channelText(f.channels);

    switch (par->codec_id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3: {
        f.mpeg = scanMpegFile(path);
        f.seek = SeekMethod::Timestamps;
        if (f.mpeg.valid) {
            // The first frame decides the output format, even if FFmpeg's stream
            // parameters describe a later part of a joined file.
            f.sampleRate = f.mpeg.sampleRate;
            f.channels = f.mpeg.channels;
            f.length = f.mpeg.decodedLength();
            f.exactLength = f.mpeg.gapless;
            // The bit reservoir reaches back up to 511 bytes: 2 frames at
            // 128 kbps, 10 at 32 kbps; 16 covers every rate.
            f.seekPreroll = 16 * int64_t(f.mpeg.samplesPerFrame);
            f.formatText = QStringLiteral("MPEG %1 layer-%2: %3, %4 kbps%5, %6")
                               .arg(f.mpeg.version)
                               .arg(f.mpeg.layer)
                               .arg(rateText(f.mpeg.sampleRate))
                               .arg(f.mpeg.bitrateKbps)
                               .arg(f.mpeg.vbr ? QStringLiteral(" VBR") : QString())
                               .arg(f.mpeg.mode);
        } else {
            // Frames inside another container (rare): trust the container.
            f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
            f.seekPreroll = 16 * 1152;
            const int layer = par->codec_id == AV_CODEC_ID_MP1 ? 1 : par->codec_id == AV_CODEC_ID_MP2 ? 2 : 3;
            f.formatText = QStringLiteral("MPEG layer-%1: %2, %3%4").arg(layer).arg(tail, kbpsText(par->bit_rate), chans);
        }
        break;
    }
    case AV_CODEC_ID_VORBIS:
        // The last granule position is the exact length (seekable input).
        f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
        f.exactLength = f.length > 0;
        f.seek = SeekMethod::Timestamps;
        f.seekPreroll = f.sampleRate / 4;
        f.formatText = QStringLiteral("Ogg Vorbis: %1, %2%3").arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMALOSSLESS:
    case AV_CODEC_ID_WMAVOICE: {
        // ASF records the duration in milliseconds only: an estimate, corrected
        // when the decoder reaches the end. Timestamps are up to 39 samples off.
        f.length = framesFromContainer(src.format.get(), f.sampleRate);
        const int64_t fromStream = framesFromStream(st, f.sampleRate);
        if (f.length <= 0 && fromStream > 0)
            f.length = fromStream;
        if (par->codec_id == AV_CODEC_ID_WMAV1 || par->codec_id == AV_CODEC_ID_WMAV2) {
            // Every decoded frame is frame_len samples (wma.c's choice by rate and
            // version), so a millisecond timestamp rounds to the exact frame start.
            const bool v1 = par->codec_id == AV_CODEC_ID_WMAV1;
            const int bits = f.sampleRate <= 16000 ? 9 : (f.sampleRate <= 22050 || (f.sampleRate <= 32000 && v1)) ? 10 : f.sampleRate <= 48000 ? 11 : 12;
            f.timestampGrid = int64_t(1) << bits;
            // The ASF duration covers the encoder's first frame, which the decoder
            // drops along with its own; the output is a whole number of frames.
            // Seen exact for FFmpeg-written files at 16-48 kHz; still only an
            // estimate, so the output is never cut to it.
            if (f.length > f.timestampGrid)
                f.length = (f.length - f.timestampGrid + f.timestampGrid / 2) / f.timestampGrid * f.timestampGrid;
            f.seek = SeekMethod::Timestamps;
            f.seekPreroll = 8 * f.timestampGrid;
        }
        const char *kind = par->codec_id == AV_CODEC_ID_WMAV1   ? "WMA v1"
                           : par->codec_id == AV_CODEC_ID_WMAV2 ? "WMA v2"
                           : par->codec_id == AV_CODEC_ID_WMAPRO ? "WMA Pro"
                           : par->codec_id == AV_CODEC_ID_WMALOSSLESS ? "WMA Lossless"
                                                                      : "WMA Voice";
        f.formatText = QStringLiteral("%1: %2, %3%4").arg(QLatin1String(kind), tail, kbpsText(par->bit_rate), chans);
        break;
    }
    case AV_CODEC_ID_MUSEPACK7:
    case AV_CODEC_ID_MUSEPACK8: {
        int version = par->codec_id == AV_CODEC_ID_MUSEPACK8 ? 8 : 7;
        int64_t frames = -1;
        {
            const QByteArray encoded = QFile::encodeName(path);
            TagLib::MPC::File file(encoded.constData(), true, TagLib::AudioProperties::Accurate);
            if (file.isValid() && file.audioProperties()) {
                frames = file.audioProperties()->sampleFrames();
                version = file.audioProperties()->mpcVersion();
            }
        }
        if (par->codec_id == AV_CODEC_ID_MUSEPACK8 && frames > 0) {
            // FFmpeg does not trim SV8: 481 frames of decoder delay in front and
            // the rest of the last block after the end.
            f.length = frames;
            f.exactLength = true;
            f.frontSkip = 481;
        } else {
            f.length = frames > 0 ? frames : std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
        }
        // One timestamp tick is a whole packet and did not match the audio after a seek.
        f.seek = SeekMethod::Restart;
        f.formatText = QStringLiteral("Musepack SV%1: %2, %3%4")
                           .arg(version)
                           .arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    }
    default: {
        const AVCodecDescriptor *desc = avcodec_descriptor_get(par->codec_id);
        const bool pcm = desc && (desc->props & AV_CODEC_PROP_LOSSLESS) && QByteArray(desc->name).startsWith("pcm_");
        f.length = framesFromStream(st, f.sampleRate);
        if (f.length < 0)
            f.length = framesFromContainer(src.format.get(), f.sampleRate);
        if (pcm) {
            // Every PCM frame sits at a known byte offset: length and seeking are exact.
            f.exactLength = true;
            f.seek = SeekMethod::Timestamps;
            // A cut-off file still claims the full length in its header.
            const int64_t dataStart = riffDataOffset(path);
            const int64_t fileSize = QFileInfo(path).size();
            if (dataStart > 0 && par->block_align > 0 && fileSize >= dataStart)
                f.length = std::min(f.length < 0 ? INT64_MAX : f.length, (fileSize - dataStart) / par->block_align);
            const bool isFloat = par->codec_id == AV_CODEC_ID_PCM_F32LE || par->codec_id == AV_CODEC_ID_PCM_F64LE ||
                                 par->codec_id == AV_CODEC_ID_PCM_F32BE || par->codec_id == AV_CODEC_ID_PCM_F64BE;
            const int bits = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
            f.formatText = QStringLiteral("PCM %1 bit%2: %3, %4").arg(bits).arg(isFloat ? QStringLiteral(" float") : QString(), tail, chans);
        } else {
            const QString codec = desc ? QString::fromUtf8(desc->long_name ? desc->long_name : desc->name) : QStringLiteral("Audio");
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(codec, tail, kbpsText(par->bit_rate), chans);
        }
        break;
    }
    }
    return f;
}

} // namespace audio_detail
