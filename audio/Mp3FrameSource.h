#pragma once
// The walked frames of an MP3 file, as the cutter and the join copy them.
// Internal to audio/.
#include "audio/MappedSource.h"
#include "audio/Mp3FrameCutter.h"
#include "audio/MpegScan.h"
#include "audio/Mp3InfoTag.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <vector>

namespace audio_detail {

namespace mp3 {
// A Layer III decoder's output lags its input by 528 + 1 samples; the
// delay and padding fields of a LAME tag are counted without that lag.
constexpr int64_t kDecoderLag = 529;
constexpr int64_t kMaxField = 4095; // the tag's delay and padding are 12 bits each
// Bytes after the side information: "Xing"/"Info", flags, frames, bytes,
// 100-entry seek table, quality (120), then the LAME extension (36).
constexpr int kXingBytes = 120;
constexpr int kLameBytes = audio_detail::kLameExtensionBytes;

} // namespace mp3

struct Mp3Frame {
    int64_t offset = 0;    // in the file
    int32_t length = 0;    // bytes, header included
    int32_t mainOffset = 0; // main data starts here within the frame (after header, CRC, side info)
    int32_t mainDataBegin = 0; // bytes of earlier frames' main data this frame starts in
    int32_t bitrateIndex = 0;
    int32_t mainSize() const { return length - mainOffset; }
};

// A header like `tmpl` (version, rate, mode, flags) with another bit-rate
// index, no CRC, no padding and no stereo mode extension: the frames we write
// ourselves carry no coded audio.
void writeMp3Header(uchar *dst, const uchar *tmpl, int bitrateIndex);

// The LAME tag's music CRC (CRC-16, reflected polynomial 0xA001), continued from `crc`.
uint16_t mp3MusicCrc(uint16_t crc, const uchar *p, int64_t n);

} // namespace audio_detail

struct Mp3FrameCutter::Impl : audio_detail::MappedSource {

    audio_detail::MpegFrameHeader first;
    std::vector<audio_detail::Mp3Frame> frames; // the audio frames, an info frame excluded
    int spf = 0;
    int64_t skip = 0;   // decoded samples dropped in front of the whole file
    int64_t length = 0; // samples the whole file decodes to

    // The source's own LAME extension, kept for the encoder's description.
    bool lameExtension = false;
    std::array<uchar, audio_detail::mp3::kLameBytes> sourceLame{};
    uint32_t quality = 0;

    void walk(const Progress &progress);
    QByteArray leadFrame(bool carrier, int64_t a) const;
    // The last `need` bytes of main data before frame `a` (its bit
    // reservoir), written to end at dstEnd.
    void reservoir(int64_t a, int64_t need, uchar *dstEnd) const;
    // Bytes of main data before frame `a` that it and the frames after it read.
    int64_t reservoirNeed(int64_t a) const;
    QByteArray infoFrame(int64_t partFrames, int64_t audioBytes, bool constantBitrate, int bitrateIndex,
                         int64_t delay, int64_t padding, uint16_t musicCrc,
                         const std::vector<int64_t> &frameOffsets) const;
};
