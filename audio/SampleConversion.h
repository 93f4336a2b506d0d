#pragma once
// Decoded frames into the reader's output: interleaved float, full scale
// +-1.0, at one rate and channel count.
#include "audio/FfmpegUtil.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <vector>

namespace audio_detail {

// Converts without swresample when only the sample format differs. Returns
// false for a format this path does not handle.
bool convertFast(const AVFrame *f, int channels, float *out);

// Where, in `n` interleaved samples, float PCM holds values that are not
// audio but damaged bytes (beyond 36 dB over full scale, infinite or NaN):
// [from, to) in samples, whole frames of `channels`. False when none.
bool findFloatGarbage(const float *samples, size_t n, size_t channels, size_t &from, size_t &to);

// Frames whose rate, channels or sample format differ from the output's,
// through swresample. One conversion serves as long as the input keeps its
// format; a change drains it first. Converted frames are appended to `out`
// and each appended stretch handed to `placed` with the size `out` had
// before it.
class SwrConversion {
public:
    using Placed = std::function<void(size_t before)>;

    bool active() const { return bool(swr_); }
    // `path` is the source's, for the error thrown on failure.
    void convert(const AVFrame *f, int inRate, int outRate, int outChannels, std::vector<float> &out, const Placed &placed,
                 const QString &path);
    // Hands out what the conversion still holds and ends it.
    void drain(int outChannels, std::vector<float> &out, const Placed &placed);
    // Ends the conversion, dropping what it holds.
    void reset();

private:
    SwrPtr swr_;
    int format_ = -1;
    int rate_ = 0;
    AVChannelLayout layout_{};
};

} // namespace audio_detail
