#pragma once
// What a container's own bytes say that FFmpeg's demuxer does not: where PCM
// audio starts, how long a raw ADTS stream or an MP4 track is, where the
// chains of an Ogg file begin. Each reads the file itself and never throws.
#include <QString>
#include <cstdint>
#include <vector>

struct AVFormatContext;

namespace audio_detail {

// Offset of the first audio byte of a RIFF WAVE file's "data" chunk or of an
// AIFF file's "SSND" chunk, or -1.
int64_t pcmDataOffset(const QString &path);

// A raw ADTS stream records no length: the sum of its frames is what decodes.
// Walks the 7-byte frame headers (each frame holds 1024 samples per raw data
// block, at the header's rate); a damaged stretch is passed by finding the
// next header of the same rate. Returns samples at the header's rate, and
// the audio bytes, or 0 when the file is no ADTS stream.
struct AdtsScan {
    int64_t samples = 0;
    int64_t bytes = 0;
    int rate = 0;
};
AdtsScan scanAdts(const QString &path);

// The audio's length as an iTunes-style MP4 records it: "iTunSMPB" holds, in
// hex, the priming, the padding and the frames between them. 0 when absent.
int64_t itunesGaplessFrames(const AVFormatContext *fmt);

// FFmpeg's name of its MP4/QuickTime demuxer.
inline constexpr const char *kMp4Demuxer = "mov,mp4,m4a,3gp,3g2,mj2";

// What an MP4 track's own boxes say of its length. FFmpeg takes the length
// from the edit list, whose duration counts in the movie's clock (ffmpeg's
// muxer uses milliseconds: up to 44 frames off at 44.1 kHz); the sample table
// counts in the track's own samples, and its last entry is cut to the audio.
struct Mp4Length {
    int64_t frames = -1; // at the track's timescale; -1 when the boxes do not say plainly
    int timescale = 0;
    bool edited = false; // an edit list chose where the audio starts
    int descriptions = 0; // sample descriptions: more than one when the stream's format changes
};

Mp4Length mp4TrackLength(const QString &path, int trackId);

// Where the chains of an Ogg file begin: a chain is the logical streams that
// begin together (a stream recorder starts one per song); the file is their
// concatenation. One entry for a file of one chain. Walks the page headers
// only; a chain's first page must pass its checksum.
std::vector<int64_t> oggChainStarts(const QString &path);

} // namespace audio_detail
