#pragma once
#include "audio/TAudioFile2.h"

#include <QString>
#include <cmath>
#include <cstdint>

namespace writetest {

// A sine of `hz` at amplitude `amp`, starting at time `startFrame / rate`,
// the same value on every channel.
inline PcmArray Sine(int rate, int channels, int64_t frames, double hz = 440.0, double amp = 0.5, int64_t startFrame = 0)
{
    PcmArray pcm(size_t(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const float v = float(amp * std::sin(2.0 * M_PI * hz * double(i + startFrame) / rate));
        for (int c = 0; c < channels; ++c)
            pcm[size_t(i * channels + c)] = v;
    }
    return pcm;
}

// Writes `pcm` the way the engines do: SetInputFormat before every block of
// `blockFrames`, then CloseFile. Returns false when CreateFile failed.
inline bool WriteAll(TAudioFile2 &file, const QString &path, const PcmArray &pcm, int rate, int channels,
                     int64_t blockFrames = 44100)
{
    file.SetInputFormat(rate, channels);
    file.CreateFile(path, 0);
    if (file.LastError() != 0)
        return false;
    const int64_t total = int64_t(pcm.size()) / channels;
    for (int64_t at = 0; at < total; at += blockFrames) {
        const int64_t n = std::min(blockFrames, total - at);
        file.SetInputFormat(rate, channels);
        file.WriteArray(PcmArray(pcm.begin() + at * channels, pcm.begin() + (at + n) * channels));
    }
    file.CloseFile();
    return true;
}

} // namespace writetest
