#include "audio/Decoder.h"
#include "audio/AudioError.h"
#include "audio/FfmpegUtil.h"
#include "audio/ReadSource.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace audio_detail {
namespace {

// One frame's samples to interleaved float, full scale +-1.0: (x - offset) * scale.
template <typename T>
void convertSamples(const AVFrame *f, int channels, float *out, float scale, float offset)
{
    const int n = f->nb_samples;
    const bool planar = av_sample_fmt_is_planar(AVSampleFormat(f->format));
    if (!planar) {
        const T *in = reinterpret_cast<const T *>(f->extended_data[0]);
        const int64_t total = int64_t(n) * channels;
        for (int64_t i = 0; i < total; ++i)
            out[i] = (float(in[i]) - offset) * scale;
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const T *in = reinterpret_cast<const T *>(f->extended_data[c]);
        float *o = out + c;
        for (int i = 0; i < n; ++i, o += channels)
            *o = (float(in[i]) - offset) * scale;
    }
}

// Converts without swresample when only the sample format differs. Returns
// false for a format this path does not handle.
bool convertFast(const AVFrame *f, int channels, float *out)
{
    switch (AVSampleFormat(f->format)) {
    case AV_SAMPLE_FMT_FLT:
        std::memcpy(out, f->extended_data[0], size_t(f->nb_samples) * channels * sizeof(float));
        return true;
    case AV_SAMPLE_FMT_FLTP:
        if (channels == 2) {
            const float *l = reinterpret_cast<const float *>(f->extended_data[0]);
            const float *r = reinterpret_cast<const float *>(f->extended_data[1]);
            for (int i = 0; i < f->nb_samples; ++i) {
                out[2 * i] = l[i];
                out[2 * i + 1] = r[i];
            }
            return true;
        }
        convertSamples<float>(f, channels, out, 1.0f, 0.0f);
        return true;
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        convertSamples<int16_t>(f, channels, out, 1.0f / 32768.0f, 0.0f);
        return true;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        convertSamples<int32_t>(f, channels, out, 1.0f / 2147483648.0f, 0.0f);
        return true;
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
        convertSamples<uint8_t>(f, channels, out, 1.0f / 128.0f, 128.0f);
        return true;
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
        convertSamples<double>(f, channels, out, 1.0f, 0.0f);
        return true;
    default:
        return false;
    }
}

// After this many packets in a row that the decoder refuses, the rest of the
// file is taken as unreadable (the data read so far is kept).
constexpr int kMaxBadPackets = 256;

} // namespace

struct Decoder::Impl {
    QString path;
    SourceFacts facts;
    OpenedSource src;
    CodecContextPtr codec;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};

    // Conversion for frames whose rate, channels or sample format differ from
    // the output's (the output keeps the stream's first format throughout).
    SwrPtr swr;
    int swrFormat = -1;
    int swrRate = 0;
    AVChannelLayout swrLayout{};

    // Converted frames not yet handed out: pending[head..] starts at position pos.
    std::vector<float> pending;
    size_t head = 0;
    int64_t pos = 0;

    int64_t nextPos = 0;      // position of the next converted frame (when placed)
    bool placed = true;       // false after a container seek until a timestamp arrives
    bool fromStart = true;    // decoding started at the beginning of the stream
    int64_t placedAt = 0;     // where the first frame after a container seek landed
    int64_t dropBefore = 0;   // frames before this position are dropped
    int64_t origin = AV_NOPTS_VALUE; // timestamp (output frames) of position 0
    bool demuxEnd = false;
    bool finished = false;
    int badPackets = 0;
    bool formatFixed = false; // the output format follows the first decoded frame

    int rate() const { return facts.sampleRate; }
    int ch() const { return facts.channels; }
    int64_t pendingFrames() const { return int64_t(pending.size() - head) / ch(); }

    void openCodec()
    {
        const AVCodecParameters *par = src.stream()->codecpar;
        const AVCodec *dec = avcodec_find_decoder(par->codec_id);
        if (!dec)
            throw AudioError(QStringLiteral("Cannot decode %1: no decoder for %2")
                                 .arg(displayName(path), QString::fromUtf8(avcodec_get_name(par->codec_id))));
        codec.reset(avcodec_alloc_context3(dec));
        if (!codec)
            throw AudioError(QStringLiteral("Cannot decode %1: out of memory").arg(displayName(path)));
        int rc = avcodec_parameters_to_context(codec.get(), par);
        if (rc >= 0) {
            // Needed for the decoder's own trimming of delay and padding.
            codec->pkt_timebase = src.stream()->time_base;
            rc = avcodec_open2(codec.get(), dec, nullptr);
        }
        if (rc < 0)
            throw AudioError(QStringLiteral("Cannot decode %1: %2").arg(displayName(path), ffErrorText("avcodec_open2", rc)));
        // Cover art and other streams are not even demuxed.
        for (unsigned i = 0; i < src.format->nb_streams; ++i)
            if (int(i) != src.streamIndex)
                src.format->streams[i]->discard = AVDISCARD_ALL;
    }

    void resetOutput(int64_t target)
    {
        pending.clear();
        head = 0;
        pos = target;
        dropBefore = target;
        demuxEnd = false;
        finished = false;
        badPackets = 0;
        swr.reset();
        av_channel_layout_uninit(&swrLayout);
        swrFormat = -1;
    }

    // Decoding from the very start, as a fresh open does.
    void restart(int64_t target)
    {
        codec.reset();
        src = openSource(path);
        openCodec();
        resetOutput(target);
        nextPos = -facts.frontSkip;
        placed = true;
        fromStart = true;
    }

    float *appendSpace(int64_t frames)
    {
        const size_t before = pending.size();
        pending.resize(before + size_t(frames) * ch());
        return pending.data() + before;
    }

    // Drops the just appended frames [before..] that lie outside [dropBefore, length).
    void place(size_t before)
    {
        const int64_t got = int64_t(pending.size() - before) / ch();
        const int64_t start = nextPos;
        nextPos += got;
        const int64_t dropN = std::clamp<int64_t>(dropBefore - start, 0, got);
        const int64_t keepEnd = facts.exactLength ? std::clamp<int64_t>(facts.length - start, 0, got) : got;
        if (dropN >= keepEnd) {
            pending.resize(before);
        } else {
            pending.resize(before + size_t(keepEnd) * ch());
            if (dropN > 0)
                pending.erase(pending.begin() + before, pending.begin() + before + size_t(dropN) * ch());
            if (before == head)
                pos = start + dropN;
        }
        if (facts.exactLength && nextPos >= facts.length)
            finished = true;
    }

    void drainSwr()
    {
        if (!swr)
            return;
        for (;;) {
            const int cap = std::max(swr_get_out_samples(swr.get(), 0), 0) + 64;
            const size_t before = pending.size();
            uint8_t *out = reinterpret_cast<uint8_t *>(appendSpace(cap));
            const int got = swr_convert(swr.get(), &out, cap, nullptr, 0);
            pending.resize(before + size_t(std::max(got, 0)) * ch());
            if (got <= 0)
                break;
            place(before);
        }
        swr.reset();
        av_channel_layout_uninit(&swrLayout);
        swrFormat = -1;
    }

    void convertWithSwr(const AVFrame *f, int inRate)
    {
        if (!swr || swrFormat != f->format || swrRate != inRate || av_channel_layout_compare(&swrLayout, &f->ch_layout) != 0) {
            drainSwr();
            AVChannelLayout outLayout;
            av_channel_layout_default(&outLayout, ch());
            SwrContext *s = nullptr;
            int rc = swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_FLT, rate(), const_cast<AVChannelLayout *>(&f->ch_layout), AVSampleFormat(f->format),
                                         inRate, 0, nullptr);
            av_channel_layout_uninit(&outLayout);
            swr.reset(s);
            if (rc >= 0) {
                // Plain up- and downmix (no -3 dB surprise, no clipping of L+R).
                const int inCh = f->ch_layout.nb_channels;
                if (inCh == 1 && ch() == 2) {
                    const double m[] = {1.0, 1.0};
                    swr_set_matrix(s, m, 1);
                } else if (inCh == 2 && ch() == 1) {
                    const double m[] = {0.5, 0.5};
                    swr_set_matrix(s, m, 2);
                }
                rc = swr_init(s);
            }
            if (rc < 0)
                throw AudioError(QStringLiteral("Cannot convert the audio of %1: %2").arg(displayName(path), ffErrorText("swr_init", rc)));
            swrFormat = f->format;
            swrRate = inRate;
            av_channel_layout_uninit(&swrLayout);
            av_channel_layout_copy(&swrLayout, &f->ch_layout);
        }
        const int cap = swr_get_out_samples(swr.get(), f->nb_samples) + 64;
        const size_t before = pending.size();
        uint8_t *out = reinterpret_cast<uint8_t *>(appendSpace(cap));
        const int got = swr_convert(swr.get(), &out, cap, const_cast<const uint8_t **>(f->extended_data), f->nb_samples);
        if (got < 0)
            throw AudioError(QStringLiteral("Cannot convert the audio of %1: %2").arg(displayName(path), ffErrorText("swr_convert", got)));
        pending.resize(before + size_t(got) * ch());
        place(before);
    }

    void consume(const AVFrame *f)
    {
        if (f->nb_samples <= 0)
            return;
        int inRate = f->sample_rate;
        if (!formatFixed) {
            // The first frame can carry the stream's stale parameters (a joined
            // MPEG file whose later part FFmpeg probed); the context is current.
            if (codec->sample_rate > 0)
                inRate = codec->sample_rate;
            facts.sampleRate = inRate;
            facts.channels = f->ch_layout.nb_channels;
            formatFixed = true;
        }
        const int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        const int64_t tsFrames = ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : av_rescale_q(ts, src.stream()->time_base, AVRational{1, rate()});
        if (!placed) {
            if (tsFrames == AV_NOPTS_VALUE || origin == AV_NOPTS_VALUE)
                return; // preroll without a timestamp: before the target anyway
            nextPos = tsFrames - origin;
            if (const int64_t grid = facts.timestampGrid; grid > 0)
                nextPos = (nextPos + (nextPos >= 0 ? grid / 2 : -grid / 2)) / grid * grid;
            placedAt = nextPos;
            placed = true;
        } else if (fromStart && origin == AV_NOPTS_VALUE && tsFrames != AV_NOPTS_VALUE) {
            origin = tsFrames - nextPos;
        }
        if (inRate == rate() && f->ch_layout.nb_channels == ch()) {
            if (swr)
                drainSwr();
            const size_t before = pending.size();
            if (convertFast(f, ch(), appendSpace(f->nb_samples))) {
                place(before);
                return;
            }
            pending.resize(before);
        }
        convertWithSwr(f, inRate);
    }

    void finish()
    {
        drainSwr();
        finished = true;
        // The end is now known for certain: a truncated file is shorter than
        // its header said, an estimated length becomes the true one.
        if (placed && (fromStart || nextPos > 0)) {
            const int64_t end = std::max<int64_t>(nextPos, 0);
            if (!facts.exactLength || end < facts.length)
                facts.length = end;
        }
    }

    // Decodes until at least one more frame is converted or the end is reached.
    void decodeStep()
    {
        const size_t startSize = pending.size();
        while (!finished && pending.size() == startSize) {
            int rc = avcodec_receive_frame(codec.get(), frame.get());
            if (rc == 0) {
                consume(frame.get());
                av_frame_unref(frame.get());
                continue;
            }
            if (rc == AVERROR_EOF) {
                finish();
                break;
            }
            if (rc != AVERROR(EAGAIN)) {
                // A frame the decoder could not rebuild: skip it, as players do.
                if (++badPackets > kMaxBadPackets) {
                    finish();
                    break;
                }
                if (!demuxEnd)
                    continue;
            }
            if (demuxEnd) {
                // The drain was requested and the decoder has nothing more.
                finish();
                break;
            }
            rc = av_read_frame(src.format.get(), packet.get());
            if (rc < 0) {
                // End of file, or damage the demuxer cannot pass: drain what is decoded.
                demuxEnd = true;
                avcodec_send_packet(codec.get(), nullptr);
                continue;
            }
            if (packet->stream_index == src.streamIndex) {
                rc = avcodec_send_packet(codec.get(), packet.get());
                if (rc < 0 && rc != AVERROR(EAGAIN)) {
                    if (++badPackets > kMaxBadPackets) {
                        av_packet_unref(packet.get());
                        finish();
                        break;
                    }
                } else {
                    badPackets = 0;
                }
            }
            av_packet_unref(packet.get());
        }
    }

    void compact()
    {
        if (head == pending.size()) {
            pending.clear();
            head = 0;
        } else if (head > (size_t(1) << 16) && head * 2 > pending.size()) {
            pending.erase(pending.begin(), pending.begin() + head);
            head = 0;
        }
    }

    void skipPending(int64_t frames)
    {
        head += size_t(frames) * ch();
        pos += frames;
        compact();
    }
};

Decoder::Decoder(const QString &path)
    : d(std::make_unique<Impl>())
{
    if (!d->packet || !d->frame)
        throw AudioError(QStringLiteral("Cannot open %1: out of memory").arg(displayName(path)));
    d->path = path;
    d->src = openSource(path);
    d->facts = describeSource(path, d->src);
    d->openCodec();
    d->resetOutput(0);
    d->nextPos = -d->facts.frontSkip;
    // Decode the first frame now: a file that holds no decodable audio fails
    // here, where the caller expects failures, rather than on the first read.
    while (!d->finished && d->pendingFrames() == 0)
        d->decodeStep();
    if (d->pendingFrames() == 0 && d->badPackets > 0)
        throw AudioError(QStringLiteral("Cannot decode %1: the audio data is damaged or not what the file claims").arg(displayName(path)));
}

Decoder::~Decoder() = default;

int Decoder::sampleRate() const { return d->rate(); }
int Decoder::channels() const { return d->ch(); }
int64_t Decoder::length() const { return d->facts.length; }

PcmArray Decoder::read(int64_t frames)
{
    if (frames <= 0)
        return {};
    while (!d->finished && d->pendingFrames() < frames)
        d->decodeStep();
    const int64_t take = std::min(frames, d->pendingFrames());
    if (take <= 0)
        return {};
    const auto first = d->pending.begin() + d->head;
    PcmArray out(first, first + take * d->ch());
    d->skipPending(take);
    return out;
}

int64_t Decoder::seek(int64_t frame)
{
    Impl &s = *d;
    const int64_t target = std::clamp<int64_t>(frame, 0, std::max<int64_t>(s.facts.length, 0));
    if (target >= s.pos && target - s.pos <= s.pendingFrames()) {
        s.skipPending(target - s.pos);
        return target;
    }
    // A short way forward is cheapest by decoding through it.
    const bool forward = target > s.pos && s.placed;
    const bool near = forward && target - s.pos < std::max<int64_t>(s.rate(), 2 * s.facts.seekPreroll);
    if (forward && (near || s.facts.seek == SeekMethod::Restart)) {
        s.pending.clear();
        s.head = 0;
        s.pos = target;
        s.dropBefore = target;
        return target;
    }
    const int64_t from = target - s.facts.seekPreroll;
    if (s.facts.seek == SeekMethod::Restart || s.origin == AV_NOPTS_VALUE || from <= 0) {
        s.restart(target);
        return target;
    }
    const AVStream *st = s.src.stream();
    const int64_t ts = av_rescale_q_rnd(from + s.origin, AVRational{1, s.rate()}, st->time_base,
                                        AVRounding(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
    if (av_seek_frame(s.src.format.get(), s.src.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        s.restart(target);
        return target;
    }
    avcodec_flush_buffers(s.codec.get());
    s.resetOutput(target);
    s.placed = false;
    s.fromStart = false;
    while (!s.finished && !s.placed)
        s.decodeStep();
    // The container landed after the target (or nowhere): do it the sure way.
    if (!s.placed || s.placedAt > target)
        s.restart(target);
    return target;
}

QString Decoder::damage() const { return {}; }

} // namespace audio_detail
