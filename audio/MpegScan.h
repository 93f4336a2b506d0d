#pragma once
#include <QString>
#include <algorithm>
#include <cstdint>

namespace audio_detail {

// Facts about an MPEG audio (layer 1-3) file found by walking its frame headers,
// without decoding. Lengths are in sample frames as FFmpeg decodes the file.
struct MpegScan {
    bool valid = false;
    QString version;       // "1.0", "2.0" or "2.5"
    int layer = 0;         // 1..3
    int sampleRate = 0;    // Hz
    int channels = 0;
    QString mode;          // "Stereo", "Joint Stereo", "Dual Channel", "Mono"
    int samplesPerFrame = 0;
    int64_t audioFrames = 0; // MPEG frames holding audio (an Xing/Info/VBRI frame excluded)
    int64_t taggedFrames = 0; // the count the info tag records (0: none)
    int64_t audioBytes = 0;
    int bitrateKbps = 0;   // the header's rate for CBR, the average for VBR
    bool vbr = false;
    bool gapless = false;  // encoder delay and padding are recorded (LAME/Lavc info tag)
    int encoderDelay = 0;  // samples, from the info tag
    int encoderPadding = 0;

    // Frames the decoder yields: with an info tag FFmpeg removes delay and
    // padding; without one every MPEG frame decodes to samplesPerFrame.
    int64_t decodedLength() const
    {
        // FFmpeg trims the padding by the tag's count, so a truncated file loses
        // only its delay.
        const int64_t all = audioFrames * samplesPerFrame;
        if (!gapless)
            return all;
        return std::max<int64_t>(0, std::min(all, taggedFrames * samplesPerFrame - encoderPadding) - encoderDelay);
    }
};

// Reads the file at `path`. Returns valid == false when it holds no MPEG audio
// stream (two consecutive consistent frames). Never throws.
MpegScan scanMpegFile(const QString &path);

} // namespace audio_detail
