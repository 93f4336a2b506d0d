#pragma once
#include "audio/FfmpegUtil.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace audio_detail {

// Converts interleaved float from whatever the caller sends to one fixed
// output rate and channel count. The input format may change between calls;
// the old conversion is then flushed first, so no sample is lost or repeated
// at the change. With equal formats the input passes through untouched.
//
// Remixing: mono to stereo copies the channel to both sides, stereo to mono
// averages them (both unity gain, never above full scale); other counts use
// swresample's default matrix.
class Resampler {
public:
    struct Span {
        const float *data = nullptr;
        int64_t frames = 0;
    };

    Resampler(int outRate, int outChannels);
    ~Resampler();
    Resampler(const Resampler &) = delete;
    Resampler &operator=(const Resampler &) = delete;

    // `frames` frames of `inChannels` floats each at `inRate`. The result is
    // valid until the next call.
    Span convert(const float *pcm, int64_t frames, int inRate, int inChannels);
    // Whatever the conversion still holds; call at the end.
    Span flush();
    // Input taken but not yet given out, in frames at the output rate.
    int64_t pendingFrames() const;

private:
    void reconfigure(int inRate, int inChannels);
    void drainInto(int64_t room); // appends the flushed tail to out_

    int outRate_, outChannels_;
    int inRate_ = 0, inChannels_ = 0;
    SwrPtr swr_; // null when passing through
    std::vector<float> out_;                      // reused output buffer
    int64_t outFrames_ = 0;
};

} // namespace audio_detail
