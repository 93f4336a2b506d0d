#include "audio/Mp4Encoder.h"

#include "audio/AudioError.h"
#include "audio/EncodeChain.h"

#include <QFile>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace audio_detail {

namespace {

// ALAC carries up to eight channels; AAC here is for music and speech in one or two.
constexpr int kMaxAacChannels = 2;
constexpr int kMaxAlacChannels = 8;

bool isAac(const Mp4Settings &s) { return s.codec == Mp4Settings::Codec::Aac; }

QString settingsText(const Mp4Settings &s)
{
    const QString layout = s.channels == 1 ? QStringLiteral("mono")
                           : s.channels == 2 ? QStringLiteral("stereo")
                                             : QStringLiteral("%1 channels").arg(s.channels);
    return isAac(s) ? QStringLiteral("AAC at %1 kbps, %2 Hz, %3").arg(s.bitrate).arg(s.sampleRate).arg(layout)
                    : QStringLiteral("ALAC %1-bit, %2 Hz, %3").arg(s.bitsPerSample).arg(s.sampleRate).arg(layout);
}

const AVCodec *findCodec(const Mp4Settings &s)
{
    // FFmpeg's native AAC encoder by name: a build with libfdk-aac may list that first.
    return isAac(s) ? avcodec_find_encoder_by_name("aac") : avcodec_find_encoder(AV_CODEC_ID_ALAC);
}

// A codec context opened for the settings, or the reason it cannot be.
CodecContextPtr openCodec(const Mp4Settings &s, bool globalHeader, QString &why)
{
    if (s.channels < 1 || s.channels > (isAac(s) ? kMaxAacChannels : kMaxAlacChannels)) {
        why = QStringLiteral("%1 does not take %2 channels").arg(isAac(s) ? "AAC" : "ALAC").arg(s.channels);
        return {};
    }
    if (isAac(s) && (s.bitrate < 32 || s.bitrate > 320)) {
        why = QStringLiteral("the AAC bit rate must be 32 to 320 kbps, not %1").arg(s.bitrate);
        return {};
    }
    if (!isAac(s) && s.bitsPerSample != 16 && s.bitsPerSample != 24) {
        why = QStringLiteral("ALAC stores 16 or 24 bits per sample, not %1").arg(s.bitsPerSample);
        return {};
    }
    const AVCodec *codec = findCodec(s);
    if (!codec) {
        why = QStringLiteral("this FFmpeg has no %1 encoder").arg(isAac(s) ? "AAC" : "ALAC");
        return {};
    }
    CodecContextPtr c(avcodec_alloc_context3(codec));
    if (!c) {
        why = QStringLiteral("out of memory");
        return {};
    }
    c->sample_rate = s.sampleRate;
    c->time_base = AVRational{1, std::max(1, s.sampleRate)};
    av_channel_layout_default(&c->ch_layout, s.channels);
    if (isAac(s)) {
        c->sample_fmt = AV_SAMPLE_FMT_FLTP;
        c->bit_rate = int64_t(s.bitrate) * 1000;
    } else {
        c->sample_fmt = s.bitsPerSample == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
        c->bits_per_raw_sample = s.bitsPerSample;
    }
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (s.sampleRate <= 0) {
        why = QStringLiteral("%1 Hz is no sample rate").arg(s.sampleRate);
        return {};
    }
    if (const AVCodec *co = codec; co->supported_samplerates) {
        bool listed = false;
        for (const int *r = co->supported_samplerates; *r; ++r)
            listed = listed || *r == s.sampleRate;
        if (!listed) {
            why = QStringLiteral("AAC does not take %1 Hz").arg(s.sampleRate);
            return {};
        }
    }
    if (const int r = avcodec_open2(c.get(), codec, nullptr); r < 0) {
        why = ffErrorText(r);
        return {};
    }
    return c;
}

} // namespace

struct Mp4Encoder::State : EncodeChain {
    std::vector<std::vector<uint8_t>> planes; // reused deinterleave buffers
    int64_t coded = 0;   // frames the packets hold, priming and padding included
    int priming = 0;     // frames of encoder delay in front of the audio
};

void Mp4Encoder::check(const Mp4Settings &settings)
{
    QString why;
    if (!openCodec(settings, true, why))
        throw AudioError(QStringLiteral("%1 refused: %2").arg(settingsText(settings), why));
}

// The encoder is opened before the file, so refused settings leave no file.
Mp4Encoder::Mp4Encoder(const QString &path, const Mp4Settings &settings)
    : settings_(settings), path_(path), s_(std::make_unique<State>())
{
    State &s = *s_;
    AVFormatContext *oc = nullptr;
    int r = avformat_alloc_output_context2(&oc, nullptr, "ipod", nullptr);
    s.muxer.reset(oc);
    if (r < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));
    QString why;
    s.codec = openCodec(settings, oc->oformat->flags & AVFMT_GLOBALHEADER, why);
    if (!s.codec)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2 refused: %3").arg(path, settingsText(settings), why));
    AVCodecContext *c = s.codec.get();
    s.priming = std::max(0, c->initial_padding);
    s.frame.reset(av_frame_alloc());
    s.packet.reset(av_packet_alloc());
    s.stream = avformat_new_stream(oc, nullptr);
    if (!s.frame || !s.packet || !s.stream)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    s.stream->time_base = c->time_base;
    if ((r = avcodec_parameters_from_context(s.stream->codecpar, c)) < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));
    // A frame size of 0 (ALAC takes any) still needs whole blocks for the fifo.
    const int frameSize = c->frame_size > 0 ? c->frame_size : 4096;
    s.fifo.reset(av_audio_fifo_alloc(c->sample_fmt, settings.channels, frameSize * 4));
    if (!s.fifo)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    s.planes.resize(size_t(settings.channels));
    // An AAC packet always decodes to a whole frame; its duration is what is kept of it.
    s.onPacket = [&s, aac = isAac(settings)](const AVPacket &p) {
        s.coded += s.codec->frame_size > 0 && aac ? s.codec->frame_size : p.duration;
    };

    if ((r = avio_open(&oc->pb, (QByteArrayLiteral("file:") + path.toUtf8()).constData(), AVIO_FLAG_WRITE)) < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));
    try {
        // The movie's time scale in samples: the edit list then ends on the
        // last input sample rather than on the next millisecond, and chapter
        // starts keep their exact frame.
        AVDictionary *options = nullptr;
        av_dict_set_int(&options, "movie_timescale", settings.sampleRate, 0);
        r = avformat_write_header(oc, &options);
        av_dict_free(&options);
        if (r < 0)
            fail(ffErrorText(r));
    } catch (...) {
        s_.reset();
        QFile::remove(path);
        throw;
    }
}

Mp4Encoder::~Mp4Encoder()
{
    if (!finished_) {
        s_.reset(); // closes the file first
        QFile::remove(path_);
    }
}

void Mp4Encoder::write(const float *pcm, int64_t frames)
{
    State &s = *s_;
    const int ch = settings_.channels;
    const AVSampleFormat fmt = s.codec->sample_fmt;
    const int width = av_get_bytes_per_sample(fmt);
    // Full scale is 2^(bits-1), as decoders divide: a 16-bit source read as
    // float comes back to the very same integers.
    const double scale = std::ldexp(1.0, settings_.bitsPerSample - 1);
    const int shift = fmt == AV_SAMPLE_FMT_S32P ? 32 - settings_.bitsPerSample : 0;
    const int64_t chunk = 1 << 15;
    while (frames > 0) {
        const int n = int(std::min(frames, chunk));
        std::vector<void *> planes(static_cast<size_t>(ch));
        for (int k = 0; k < ch; ++k) {
            std::vector<uint8_t> &plane = s.planes[size_t(k)];
            plane.resize(size_t(n) * size_t(width));
            const float *src = pcm + k;
            if (fmt == AV_SAMPLE_FMT_FLTP) {
                float *out = reinterpret_cast<float *>(plane.data());
                for (int i = 0; i < n; ++i)
                    out[i] = src[int64_t(i) * ch];
            } else {
                for (int i = 0; i < n; ++i) {
                    double v = double(src[int64_t(i) * ch]) * scale;
                    v = v < scale - 1.0 ? v : scale - 1.0; // NaN becomes full scale
                    v = v > -scale ? v : -scale;
                    const int32_t value = int32_t(std::nearbyint(v));
                    if (fmt == AV_SAMPLE_FMT_S16P)
                        reinterpret_cast<int16_t *>(plane.data())[i] = int16_t(value);
                    else // 24 bits in the top of 32, as FFmpeg's S32 holds them
                        reinterpret_cast<int32_t *>(plane.data())[i] = int32_t(uint32_t(value) << shift);
                }
            }
            planes[size_t(k)] = plane.data();
        }
        if (const int r = s.write(planes.data(), n); r < 0)
            fail(ffErrorText(r));
        pcm += int64_t(n) * ch;
        frames -= n;
    }
}

void Mp4Encoder::finish()
{
    if (const int r = s_->finish(); r < 0)
        fail(ffErrorText(r));
    if (isAac(settings_))
        writeGaplessComment();
    finished_ = true;
}

// iTunes' own form of the gapless facts: priming, end padding and the length
// of the audio, in hexadecimal, among reserved zero fields.
void Mp4Encoder::writeGaplessComment()
{
    const State &s = *s_;
    const int64_t padding = std::max<int64_t>(0, s.coded - s.priming - s.pts);
    char text[160];
    std::snprintf(text, sizeof text,
                  " 00000000 %08X %08X %016llX 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000",
                  unsigned(s.priming), unsigned(padding), static_cast<unsigned long long>(s.pts));
    const QByteArray encoded = QFile::encodeName(path_);
    TagLib::MP4::File file(encoded.constData(), false);
    if (!file.isValid() || file.readOnly())
        fail(QStringLiteral("the finished file could not be opened to note its gapless length"));
    file.tag()->setItem("----:com.apple.iTunes:iTunSMPB", TagLib::MP4::Item(TagLib::StringList(TagLib::String(text))));
    if (!file.save())
        fail(QStringLiteral("the gapless length could not be noted in the finished file"));
}

void Mp4Encoder::fail(const QString &reason)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, reason));
}

} // namespace audio_detail
