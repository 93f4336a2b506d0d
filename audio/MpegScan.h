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

// One MPEG audio frame header, as its four bytes say.
struct MpegFrameHeader {
    int versionIndex = 0; // 0: 2.5, 2: 2.0, 3: 1.0 (the header's two bits)
    int layer = 0;        // 1..3
    int bitrateIndex = 0; // 1..14 (0, free format, is not accepted)
    int bitrateKbps = 0;
    int sampleRateIndex = 0;
    int sampleRate = 0;
    int padding = 0;
    int modeBits = 0;     // 3: mono
    bool crc = false;     // a 16-bit CRC follows the header
    int length = 0;       // bytes, header included
    int samplesPerFrame = 0;

    bool mpeg1() const { return versionIndex == 3; }
    int channels() const { return modeBits == 3 ? 1 : 2; }
    // Bytes of Layer III side information after the header (and its CRC).
    int sideInfoSize() const { return mpeg1() ? (channels() == 1 ? 17 : 32) : (channels() == 1 ? 9 : 17); }
};

// False when p does not start a frame header (free format and reserved values included).
bool parseMpegHeader(const unsigned char *p, MpegFrameHeader &h);
// Frame length in bytes for a header's version, layer and rate with another bit-rate index.
int mpegFrameLength(const MpegFrameHeader &h, int bitrateIndex, int padding);
// Size of an ID3v2 tag at p (0 when there is none).
int64_t id3v2TagSize(const unsigned char *p, int64_t avail);
// End of the audio data: before a trailing ID3v1 and APE tag.
int64_t mpegDataEnd(const unsigned char *data, int64_t size, int64_t start);

// Reads the file at `path`. Returns valid == false when it holds no MPEG audio
// stream (two consecutive consistent frames). Never throws.
MpegScan scanMpegFile(const QString &path);

} // namespace audio_detail
