#include "audio/ReadSource.h"
#include "audio/AudioError.h"
#include "audio/ContainerProbes.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/mpcfile.h>
#include <taglib/mpcproperties.h>

#include <algorithm>

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

int64_t averageBitrate(const OpenedContainer &src, int64_t frames, int rate)
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

QString bitsText(const AVCodecParameters *par)
{
    const int bits = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
    return bits > 0 ? QStringLiteral("%1 bit, ").arg(bits) : QString();
}

int64_t atRate(int64_t frames, int from, int to)
{
    return from == to || from <= 0 ? frames : int64_t(double(frames) * to / from + 0.5);
}

// A bare MPEG file is decoded from our own frame walk rather than FFmpeg's
// demuxer: only the walk knows where joined files meet (each with its own
// delay and padding) and how much a damaged stretch held.
void feedOwnFrames(SourceFacts &f)
{
    const int out = f.mpeg.sampleRate;
    const auto partFacts = [&](SourceFacts &pf, size_t i) {
        const MpegPart &p = f.mpeg.parts[i];
        const int rate = p.stream.sampleRate;
        pf.mpegPart = int(i);
        pf.length = atRate(p.decodedLength(), rate, out);
        pf.exactLength = true;
        pf.frontSkip = atRate(p.frontSkip(), rate, out);
        // Frame positions hold where no resampling stretches them.
        pf.seek = rate == out ? SeekMethod::Frames : SeekMethod::Restart;
        pf.seekPreroll = atRate(16 * int64_t(p.stream.samplesPerFrame), rate, out);
        pf.byteBegin = p.begin;
        pf.byteEnd = p.end;
    };
    if (f.mpeg.parts.size() == 1) {
        partFacts(f, 0);
        return;
    }
    f.length = 0;
    for (size_t i = 0; i < f.mpeg.parts.size(); ++i) {
        SourceFacts pf;
        pf.sampleRate = f.sampleRate;
        pf.channels = f.channels;
        partFacts(pf, i);
        f.length += pf.length;
        f.parts.push_back(std::move(pf));
    }
    f.exactLength = true;
    f.seek = SeekMethod::Frames;
}

SourceFacts describeOne(const QString &path, const OpenedContainer &src)
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
        // Layer II's decode after a seek differed in the last bit (seen); layer III's did not.
        f.seekReproducesReading = par->codec_id == AV_CODEC_ID_MP3;
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
            if (qstrcmp(src.format->iformat->name, "mp3") == 0)
                feedOwnFrames(f);
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
    case AV_CODEC_ID_OPUS: {
        // The last granule counts the pre-skip too, which the decoder drops
        // (as it trims the last packet to the granule): the audio is the
        // granule less the pre-skip.
        const int64_t granule = framesFromStream(st, f.sampleRate);
        const bool ogg = qstrcmp(src.format->iformat->name, "ogg") == 0;
        if (ogg && granule > 0) {
            f.length = std::max<int64_t>(granule - par->initial_padding, 0);
            f.exactLength = true;
            f.seek = SeekMethod::Timestamps;
        } else {
            f.length = granule > 0 ? granule : framesFromContainer(src.format.get(), f.sampleRate);
        }
        // The decoder's state (band energies predicted from frame to frame)
        // converges slowly after a jump: after the usual 80 ms samples still
        // differed by 2e-4 from a reading through, after a second by nothing.
        f.seekPreroll = f.sampleRate;
        f.formatText = QStringLiteral("Opus: %1, %2%3").arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    }
    case AV_CODEC_ID_AAC: {
        const char *container = src.format->iformat->name;
        const QLatin1String kind(par->profile == FF_PROFILE_AAC_HE ? "HE-AAC" : par->profile == FF_PROFILE_AAC_HE_V2 ? "HE-AAC v2" : "AAC");
        if (qstrcmp(container, "aac") == 0) {
            const AdtsScan scan = scanAdts(path);
            if (scan.samples > 0) {
                // Spectral band replication doubles the rate the header names.
                f.length = atRate(scan.samples, scan.rate, f.sampleRate);
                f.exactLength = true;
            } else {
                f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
            }
            f.seek = SeekMethod::Timestamps;
            const int64_t bits = scan.samples > 0 ? int64_t(double(scan.bytes) * 8 * scan.rate / double(scan.samples)) : par->bit_rate;
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(kind, tail, kbpsText(bits), chans);
        } else {
            // MP4: FFmpeg's decoder drops the priming the edit list skips
            // but leaves the padding of the last frame in; the sample table
            // less the priming is the audio, and the output is cut there. An
            // iTunes file may tell it only in its iTunSMPB comment (without
            // an edit list the table counts the priming and padding too).
            const bool mp4 = qstrcmp(container, kMp4Demuxer) == 0;
            const Mp4Length boxes = mp4 ? mp4TrackLength(path, st->id) : Mp4Length{};
            if (boxes.frames > 0) {
                f.length = atRate(boxes.frames, boxes.timescale, f.sampleRate);
                if (!boxes.edited && boxes.timescale == f.sampleRate)
                    if (const int64_t itunes = itunesGaplessFrames(src.format.get()); itunes > 0)
                        f.length = std::min(f.length, itunes);
                f.exactLength = true;
            } else {
                f.length = framesFromStream(st, f.sampleRate);
                if (f.length <= 0)
                    f.length = framesFromContainer(src.format.get(), f.sampleRate);
            }
            f.seek = mp4 ? SeekMethod::Timestamps : SeekMethod::Restart;
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(kind, tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        }
        // After a jump the first frame lacks its overlap; spectral band
        // replication has a longer memory. Bands the encoder coded as noise
        // are drawn afresh after a jump: they differ from a reading through,
        // though not in how they sound.
        f.seekPreroll = 8192;
        f.seekReproducesReading = false;
        break;
    }
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_WAVPACK:
    case AV_CODEC_ID_APE: {
        // Lossless: the header records the exact length, every frame decodes
        // on its own and carries its first sample's position.
        f.length = framesFromStream(st, f.sampleRate);
        if (qstrcmp(src.format->iformat->name, kMp4Demuxer) == 0)
            if (const Mp4Length boxes = mp4TrackLength(path, st->id); boxes.frames > 0)
                f.length = atRate(boxes.frames, boxes.timescale, f.sampleRate);
        f.exactLength = f.length > 0;
        if (f.length <= 0)
            f.length = framesFromContainer(src.format.get(), f.sampleRate);
        f.seek = SeekMethod::Timestamps;
        const char *kind = par->codec_id == AV_CODEC_ID_FLAC   ? "FLAC"
                           : par->codec_id == AV_CODEC_ID_ALAC ? "ALAC"
                           : par->codec_id == AV_CODEC_ID_WAVPACK ? "WavPack"
                                                                  : "Monkey's Audio";
        f.formatText = QStringLiteral("%1: %2, %3%4").arg(QLatin1String(kind), tail, bitsText(par), chans);
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
            const int64_t dataStart = pcmDataOffset(path);
            const int64_t fileSize = QFileInfo(path).size();
            if (dataStart > 0 && par->block_align > 0 && fileSize >= dataStart)
                f.length = std::min(f.length < 0 ? INT64_MAX : f.length, (fileSize - dataStart) / par->block_align);
            const bool isFloat = par->codec_id == AV_CODEC_ID_PCM_F32LE || par->codec_id == AV_CODEC_ID_PCM_F64LE ||
                                 par->codec_id == AV_CODEC_ID_PCM_F32BE || par->codec_id == AV_CODEC_ID_PCM_F64BE;
            const int bits = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
            if (qstrcmp(src.format->iformat->name, "aiff") == 0)
                f.formatText = QStringLiteral("AIFF: %1, %2 bit%3, %4").arg(tail).arg(bits).arg(isFloat ? QStringLiteral(" float") : QString(), chans);
            else
                f.formatText = QStringLiteral("PCM %1 bit%2: %3, %4").arg(bits).arg(isFloat ? QStringLiteral(" float") : QString(), tail, chans);
        } else {
            const QString codec = desc ? QString::fromUtf8(desc->long_name ? desc->long_name : desc->name) : QStringLiteral("Audio");
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(codec, tail, kbpsText(par->bit_rate), chans);
            f.seekReproducesReading = false; // nothing known of its decoder
        }
        break;
    }
    }
    return f;
}

} // namespace

SourceFacts describeSource(const QString &path, const OpenedContainer &src)
{
    SourceFacts f = describeOne(path, src);
    if (qstrcmp(src.format->iformat->name, "ogg") != 0)
        return f;
    // Chained Ogg: FFmpeg reads on through the chains, but its timestamps
    // restart in each and its length is the last one's. Each chain is read as
    // the file of its own it was.
    const std::vector<int64_t> starts = oggChainStarts(path);
    if (starts.size() < 2)
        return f;
    const int64_t fileSize = QFileInfo(path).size();
    std::vector<SourceFacts> parts;
    for (size_t i = 0; i < starts.size(); ++i) {
        const int64_t end = i + 1 < starts.size() ? starts[i + 1] : fileSize;
        SourceFacts pf;
        try {
            pf = describeOne(path, openSource(path, starts[i], end));
        } catch (const AudioError &) {
            pf.unreadable = true;
        }
        pf.byteBegin = starts[i];
        pf.byteEnd = end;
        parts.push_back(std::move(pf));
    }
    const auto first = std::find_if(parts.begin(), parts.end(), [](const SourceFacts &p) { return !p.unreadable; });
    if (first == parts.end())
        return f;
    SourceFacts whole = *first;
    whole.byteBegin = 0;
    whole.byteEnd = -1;
    whole.length = 0;
    for (SourceFacts &p : parts) {
        if (p.unreadable)
            continue;
        // A chain of another rate is resampled to the first one's.
        p.length = atRate(p.length, p.sampleRate, whole.sampleRate);
        p.frontSkip = atRate(p.frontSkip, p.sampleRate, whole.sampleRate);
        if (p.sampleRate != whole.sampleRate)
            p.seek = SeekMethod::Restart;
        whole.length += p.length;
        whole.exactLength = whole.exactLength && p.exactLength;
    }
    whole.parts = std::move(parts);
    return whole;
}

} // namespace audio_detail
