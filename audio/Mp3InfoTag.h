#pragma once
// The info frame that opens an MP3 stream written by LAME or FFmpeg (or a
// VBRI frame): read alike by the scan that measures a file and by the cutter
// that copies its frames, so both plan in FFmpeg's terms.
#include "audio/MpegScan.h"

#include <cstdint>

namespace audio_detail {

// The encoder's extension after the Xing part: 9 bytes of version, ...,
// delay and padding at bytes 21-23, ..., the music and tag CRCs at 32-35.
constexpr int kLameExtensionBytes = 36;

struct Mp3InfoTag {
    // "Xing"/"Info" after the side information, or "VBRI" at byte 36: the
    // frame carries the tag instead of audio. FFmpeg decodes no audio of it,
    // even where it records no counts.
    bool present = false;
    bool xing = false;   // "Xing" or VBRI: written for variable bit rates
    int64_t frames = -1; // -1: not recorded
    int64_t bytes = -1;  // the stream's bytes, this frame included; -1: not recorded
    uint32_t quality = 0;
    // A LAME, Lavc or Lavf extension: FFmpeg trusts its delay and padding
    // from these writers only. The delay counts with or without a frame
    // count; the padding only where there is one.
    bool encoderFields = false;
    int delay = 0;   // samples, without the decoder's own 529
    int padding = 0;
    int64_t extension = -1; // offset of the whole extension, when the frame holds all of it
};

// The info tag of the layer III frame at data[pos], whose bytes end at
// frameEnd; `present` false when it is an audio frame.
Mp3InfoTag readMp3InfoTag(const unsigned char *data, int64_t pos, int64_t frameEnd, const MpegFrameHeader &h);

} // namespace audio_detail
