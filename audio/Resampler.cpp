#include "audio/Resampler.h"

#include "audio/AudioError.h"
#include "audio/FfmpegUtil.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <climits>

namespace audio_detail {

namespace {
// swr_convert counts in int; larger blocks go through in pieces.
constexpr int64_t kMaxChunkFrames = 1 << 20;
} // namespace

Resampler::Resampler(int outRate, int outChannels) : outRate_(outRate), outChannels_(outChannels) {}
Resampler::~Resampler() = default;

void Resampler::reconfigure(int inRate, int inChannels)
{
    inRate_ = inRate;
    inChannels_ = inChannels;
    swr_.reset();
    if (inRate == outRate_ && inChannels == outChannels_)
        return;

    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, inChannels);
    av_channel_layout_default(&outLayout, outChannels_);
    SwrContext *raw = nullptr;
    int r = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, outRate_, &inLayout, AV_SAMPLE_FMT_FLT, inRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    swr_.reset(raw);
    if (r < 0)
        throw AudioError(QStringLiteral("Cannot convert %1 Hz, %2 channels to %3 Hz, %4 channels: %5")
                             .arg(inRate).arg(inChannels).arg(outRate_).arg(outChannels_).arg(ffErrorText(r)));
    r = setUnityRemix(raw, inChannels, outChannels_);
    if (r >= 0)
        r = swr_init(raw);
    if (r < 0) {
        swr_.reset();
        throw AudioError(QStringLiteral("Cannot convert %1 Hz, %2 channels to %3 Hz, %4 channels: %5")
                             .arg(inRate).arg(inChannels).arg(outRate_).arg(outChannels_).arg(ffErrorText(r)));
    }
}

void Resampler::drainInto(int64_t room)
{
    if (!swr_)
        return;
    for (;;) {
        if (room < 1024)
            room = 4096;
        if (int64_t(out_.size()) < (outFrames_ + room) * outChannels_)
            out_.resize(size_t((outFrames_ + room) * outChannels_));
        auto *dst = reinterpret_cast<uint8_t *>(out_.data() + outFrames_ * outChannels_);
        const int got = swr_convert(swr_.get(), &dst, int(room), nullptr, 0);
        if (got < 0)
            throw AudioError(ffErrorText(got));
        if (got == 0)
            break;
        outFrames_ += got;
    }
}

Resampler::Span Resampler::convert(const float *pcm, int64_t frames, int inRate, int inChannels)
{
    outFrames_ = 0;
    if (inRate != inRate_ || inChannels != inChannels_) {
        // The old context's buffered tail belongs before the new audio.
        if (swr_)
            drainInto(swr_get_out_samples(swr_.get(), 0) + 16);
        reconfigure(inRate, inChannels);
    }
    if (!swr_) {
        if (outFrames_ == 0)
            return {pcm, frames};
        out_.resize(size_t((outFrames_ + frames) * outChannels_));
        std::copy(pcm, pcm + frames * inChannels, out_.begin() + outFrames_ * outChannels_);
        return {out_.data(), outFrames_ + frames};
    }
    while (frames > 0) {
        const int n = int(std::min(frames, kMaxChunkFrames));
        const int room = swr_get_out_samples(swr_.get(), n);
        if (int64_t(out_.size()) < (outFrames_ + room) * outChannels_)
            out_.resize(size_t((outFrames_ + room) * outChannels_));
        auto *dst = reinterpret_cast<uint8_t *>(out_.data() + outFrames_ * outChannels_);
        const auto *src = reinterpret_cast<const uint8_t *>(pcm);
        const int got = swr_convert(swr_.get(), &dst, room, &src, n);
        if (got < 0)
            throw AudioError(ffErrorText(got));
        outFrames_ += got;
        pcm += int64_t(n) * inChannels;
        frames -= n;
    }
    return {out_.data(), outFrames_};
}

Resampler::Span Resampler::flush()
{
    outFrames_ = 0;
    if (swr_)
        drainInto(swr_get_out_samples(swr_.get(), 0) + 16);
    return {out_.data(), outFrames_};
}

int64_t Resampler::pendingFrames() const
{
    return swr_ ? std::max<int64_t>(0, swr_get_delay(swr_.get(), outRate_)) : 0;
}

} // namespace audio_detail
