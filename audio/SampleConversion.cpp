#include "audio/SampleConversion.h"
#include "audio/AudioError.h"
#include "audio/ReadSource.h"

#include <algorithm>
#include <cmath>
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

// Float samples beyond this (36 dB over full scale), infinite or NaN, are not
// audio but damaged bytes of a float PCM file.
constexpr float kFloatGarbage = 64.0f;

} // namespace

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

bool findFloatGarbage(const float *samples, size_t n, size_t channels, size_t &from, size_t &to)
{
    size_t first = n, last = 0;
    for (size_t i = 0; i < n; ++i) {
        const float x = samples[i];
        if (!(std::fabs(x) <= kFloatGarbage)) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first == n)
        return false;
    from = first / channels * channels;
    to = (last / channels + 1) * channels;
    return true;
}

void SwrConversion::drain(int outChannels, std::vector<float> &out, const Placed &placed)
{
    if (!swr_)
        return;
    for (;;) {
        const int cap = std::max(swr_get_out_samples(swr_.get(), 0), 0) + 64;
        const size_t before = out.size();
        out.resize(before + size_t(cap) * outChannels);
        uint8_t *dst = reinterpret_cast<uint8_t *>(out.data() + before);
        const int got = swr_convert(swr_.get(), &dst, cap, nullptr, 0);
        out.resize(before + size_t(std::max(got, 0)) * outChannels);
        if (got <= 0)
            break;
        placed(before);
    }
    reset();
}

void SwrConversion::reset()
{
    swr_.reset();
    av_channel_layout_uninit(&layout_);
    format_ = -1;
}

void SwrConversion::convert(const AVFrame *f, int inRate, int outRate, int outChannels, std::vector<float> &out,
                            const Placed &placed, const QString &path)
{
    if (!swr_ || format_ != f->format || rate_ != inRate || av_channel_layout_compare(&layout_, &f->ch_layout) != 0) {
        drain(outChannels, out, placed);
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, outChannels);
        SwrContext *s = nullptr;
        int rc = swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_FLT, outRate, const_cast<AVChannelLayout *>(&f->ch_layout),
                                     AVSampleFormat(f->format), inRate, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        swr_.reset(s);
        if (rc >= 0)
            rc = setUnityRemix(s, f->ch_layout.nb_channels, outChannels);
        if (rc >= 0)
            rc = swr_init(s);
        if (rc < 0)
            throw AudioError(QStringLiteral("Cannot convert the audio of %1: %2").arg(displayName(path), ffErrorText(rc)));
        format_ = f->format;
        rate_ = inRate;
        av_channel_layout_uninit(&layout_);
        av_channel_layout_copy(&layout_, &f->ch_layout);
    }
    const int cap = swr_get_out_samples(swr_.get(), f->nb_samples) + 64;
    const size_t before = out.size();
    out.resize(before + size_t(cap) * outChannels);
    uint8_t *dst = reinterpret_cast<uint8_t *>(out.data() + before);
    const int got = swr_convert(swr_.get(), &dst, cap, const_cast<const uint8_t **>(f->extended_data), f->nb_samples);
    if (got < 0)
        throw AudioError(QStringLiteral("Cannot convert the audio of %1: %2").arg(displayName(path), ffErrorText(got)));
    out.resize(before + size_t(got) * outChannels);
    placed(before);
}

} // namespace audio_detail
