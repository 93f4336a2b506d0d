#pragma once
#include <QString>

namespace audio_detail {

struct WmaProfile {
    int version;    // 1: WMA v1 (wmav1), 2: WMA v2 (wmav2)
    int sampleRate; // Hz
    int channels;
    int bitrate;    // kbps
};

// The WMA encoding profiles offered to the user, numbered from 1. Every one is
// a setting the FFmpeg encoder accepts and decodes back. Number 38 is
// "WMA v2, 128 kbps, 44 kHz, stereo", the configuration's default.
int wmaProfileCount();
// Throws AudioError when `number` is outside 1..wmaProfileCount().
const WmaProfile &wmaProfileAt(int number);
// "WMA v2, 128 kbps, 44 kHz, stereo"; empty for a number outside the list.
QString wmaProfileName(int number);

} // namespace audio_detail
