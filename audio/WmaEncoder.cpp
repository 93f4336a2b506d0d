#include "audio/WmaEncoder.h"

#include "audio/AudioError.h"
#include "audio/EncodeChain.h"

#include <QFile>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <vector>

namespace audio_detail {

struct WmaEncoder::State : EncodeChain {
    std::vector<float> planes[2]; // reused deinterleave buffers
};

namespace {

QString profileText(const WmaProfile &p)
{
    return QStringLiteral("WMA v%1 at %2 kbps, %3 Hz, %4")
        .arg(p.version).arg(p.bitrate).arg(p.sampleRate).arg(p.channels == 1 ? "mono" : "stereo");
}

} // namespace

// The encoder is opened before the file, so a refused profile leaves no file.
WmaEncoder::WmaEncoder(const QString &path, const WmaProfile &profile)
    : profile_(profile), path_(path), s_(std::make_unique<State>())
{
    State &s = *s_;
    const AVCodec *codec = avcodec_find_encoder(profile.version == 1 ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2);
    if (!codec)
        throw AudioError(QStringLiteral("Cannot create \"%1\": this FFmpeg has no WMA encoder").arg(path));
    s.codec.reset(avcodec_alloc_context3(codec));
    s.frame.reset(av_frame_alloc());
    s.packet.reset(av_packet_alloc());
    if (!s.codec || !s.frame || !s.packet)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    AVCodecContext *c = s.codec.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = profile.sampleRate;
    av_channel_layout_default(&c->ch_layout, profile.channels);
    c->bit_rate = int64_t(profile.bitrate) * 1000;
    c->time_base = AVRational{1, profile.sampleRate};

    AVFormatContext *oc = nullptr;
    int r = avformat_alloc_output_context2(&oc, nullptr, "asf", nullptr);
    s.muxer.reset(oc);
    if (r < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((r = avcodec_open2(c, codec, nullptr)) < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2 refused: %3").arg(path, profileText(profile), ffErrorText(r)));

    s.stream = avformat_new_stream(oc, nullptr);
    if (!s.stream)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    s.stream->time_base = c->time_base;
    // After avcodec_open2: the parameters carry the encoder's extradata.
    if ((r = avcodec_parameters_from_context(s.stream->codecpar, c)) < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));

    s.fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, profile.channels, c->frame_size * 4));
    if (!s.fifo)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));

    // "file:" keeps a name like "a:b.wma" from being taken for a protocol.
    if ((r = avio_open(&oc->pb, (QByteArrayLiteral("file:") + path.toUtf8()).constData(), AVIO_FLAG_WRITE)) < 0)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, ffErrorText(r)));
    try {
        if ((r = avformat_write_header(oc, nullptr)) < 0)
            fail(ffErrorText(r));
        // The decoder drops twice the frame length at the start, the encoder delays
        // by one: a frame of silence in front makes the round trip start on time.
        const std::vector<float> silence(size_t(c->frame_size), 0.0f);
        void *planes[2] = {const_cast<float *>(silence.data()), const_cast<float *>(silence.data())};
        if (av_audio_fifo_write(s.fifo.get(), planes, c->frame_size) < c->frame_size)
            fail(QStringLiteral("out of memory"));
    } catch (...) {
        s_.reset();
        QFile::remove(path);
        throw;
    }
}

WmaEncoder::~WmaEncoder()
{
    if (!finished_) {
        s_.reset(); // closes the file first
        QFile::remove(path_);
    }
}

void WmaEncoder::write(const float *pcm, int64_t frames)
{
    State &s = *s_;
    const int ch = profile_.channels;
    const int64_t chunk = 1 << 16;
    while (frames > 0) {
        const int n = int(std::min(frames, chunk));
        void *planes[2] = {};
        for (int c = 0; c < ch; ++c) {
            std::vector<float> &plane = s.planes[c];
            if (plane.size() < size_t(n))
                plane.resize(size_t(n));
            const float *src = pcm + c;
            for (int i = 0; i < n; ++i)
                plane[size_t(i)] = src[int64_t(i) * ch];
            planes[c] = plane.data();
        }
        check(s.write(planes, n));
        pcm += int64_t(n) * ch;
        frames -= n;
    }
}

void WmaEncoder::finish()
{
    check(s_->finish());
    finished_ = true;
}

void WmaEncoder::check(int code)
{
    if (code == AVERROR(EINVAL))
        fail(tooLowText());
    if (code < 0)
        fail(ffErrorText(code));
}

// The encoder's one run-time refusal: a frame of this signal does not fit the
// bit rate ("requested bitrate too low" in FFmpeg's log).
QString WmaEncoder::tooLowText() const
{
    return QStringLiteral("the bit rate of %1 is too low for this audio; choose a profile with a higher bit rate")
        .arg(profileText(profile_));
}

void WmaEncoder::fail(const QString &reason)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, reason));
}

} // namespace audio_detail
