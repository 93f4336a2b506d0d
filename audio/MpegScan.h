#pragma once
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace audio_detail {

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

// One of the streams a file can hold end to end (`cat a.mp3 b.mp3`, as download
// and recording tools write them): each has its own info frame, encoder delay
// and padding, and decodes as it would from a file of its own.
struct MpegPart {
    int64_t begin = 0;      // its first frame (the info frame, if any)
    int64_t audioBegin = 0; // its first audio frame
    int64_t end = 0;        // past its last byte
    MpegFrameHeader stream; // the first audio frame's header
    int64_t frames = 0;     // audio frames; a lost stretch of a constant bit rate counts its frames
    int64_t bytes = 0;      // bytes of those frames that are there
    int64_t taggedFrames = 0; // the info tag's count (0: none)
    int64_t taggedBytes = 0;
    bool vbr = false;       // a Xing or VBRI tag, or frames of differing bit rates
    bool gapless = false;   // encoder delay and padding are recorded (LAME/Lavc info tag)
    int encoderDelay = 0;   // samples, from the info tag
    int encoderPadding = 0;
    bool trusted = false;   // the frame walk agrees with the info tag's frame count
    // A damaged stretch replaced frames (counted in `frames`), rather than being
    // bytes inserted between them: the tag's count says which.
    bool lostReplacedFrames = true;

    // Decoded frames the decoder drops in front (the encoder delay and the
    // decoder's own 529 of layer III).
    int64_t frontSkip() const { return gapless ? int64_t(encoderDelay) + 529 : 0; }
    // Frames of this part as FFmpeg decodes it from a file of its own.
    int64_t decodedLength() const
    {
        const int64_t all = frames * stream.samplesPerFrame;
        if (!gapless)
            return all;
        // The padding is trimmed only where the tag's count is the truth; a tag
        // the walk contradicts (a truncated file, more frames than it says)
        // still tells the delay.
        int64_t endAt = all;
        if (trusted)
            endAt = std::min(all, taggedFrames * stream.samplesPerFrame - std::max(0, encoderPadding - 529));
        return std::max<int64_t>(0, endAt - frontSkip());
    }
};

// Facts about an MPEG audio (layer 1-3) file found by walking its frame headers,
// without decoding. Lengths are in sample frames as FFmpeg decodes the file;
// the format fields describe its first stream.
struct MpegScan {
    bool valid = false;
    QString version;       // "1.0", "2.0" or "2.5"
    int layer = 0;         // 1..3
    int sampleRate = 0;    // Hz
    int channels = 0;
    QString mode;          // "Stereo", "Joint Stereo", "Dual Channel", "Mono"
    int samplesPerFrame = 0;
    int64_t audioFrames = 0; // MPEG frames holding audio (Xing/Info/VBRI frames excluded), every part
    int64_t taggedFrames = 0; // the count the first info tag records (0: none)
    int64_t audioBytes = 0;
    int bitrateKbps = 0;   // the header's rate for CBR, the average for VBR
    bool vbr = false;
    bool gapless = false;  // the first part records encoder delay and padding
    int encoderDelay = 0;  // samples, from the first info tag
    int encoderPadding = 0;
    std::vector<MpegPart> parts; // in file order; one for a file of one stream

    // Frames the decoder yields from every part, at the first part's rate.
    int64_t decodedLength() const
    {
        int64_t total = 0;
        for (const MpegPart &p : parts) {
            const int64_t n = p.decodedLength();
            total += p.stream.sampleRate == sampleRate || p.stream.sampleRate <= 0
                         ? n
                         : int64_t((double(n) * sampleRate) / p.stream.sampleRate + 0.5);
        }
        return total;
    }
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

// Walks the audio frames of one part in order, resynchronising after damage.
// A stretch that is not audio comes out as one Lost step; with a constant bit
// rate its frame count is known and counts in frameIndex().
class MpegFrameWalker {
public:
    struct Step {
        enum Kind { Frame, Lost, End };
        Kind kind = End;
        int64_t offset = 0; // Frame: its first byte; Lost: the first byte that was not audio
        int64_t bytes = 0;  // of the frame, or of the stretch
        int64_t frames = 0; // Lost: audio frames the stretch held (an estimate unless exact)
        bool exact = false; // Lost: the bit rate is constant, so frames is the count (and counts in frameIndex)
    };

    // Frames of the stream `stream` starts, in data[begin, end). With
    // stopAtNextStream the walk ends where another file joined to this one
    // begins (an info frame, a tag, frames of another format); otherwise those
    // are passed over. With countLost false, a lost stretch holds no frames
    // (its bytes were inserted between frames).
    MpegFrameWalker(const unsigned char *data, int64_t begin, int64_t end, const MpegFrameHeader &stream, bool stopAtNextStream,
                    bool countLost = true);

    Step next();
    // Audio frames before the next step (exactly lost ones included).
    int64_t frameIndex() const { return state_.frame; }
    // Where the walk ended: the next stream's first byte, or the end.
    int64_t stoppedAt() const { return stoppedAt_; }
    bool constantBitrate() const { return state_.constant; }
    int64_t bytes() const { return state_.bytes; }
    int64_t lostFrames() const { return state_.lost; } // counted in frameIndex()
    // Moves to a frame at or before `frame` (the walk goes ahead to find it
    // when needed) and returns its index.
    int64_t seekFrame(int64_t frame);

private:
    struct State {
        int64_t pos = 0;
        int64_t frame = 0;
        int64_t bytes = 0;
        int64_t lost = 0;
        int bitrateIndex = 0;
        bool constant = true;
    };
    const unsigned char *data_;
    int64_t end_;
    MpegFrameHeader stream_;
    bool stopAtNextStream_;
    bool countLost_;
    State state_;
    int64_t stoppedAt_ = -1;
    std::vector<State> index_; // a state every kIndexStep frames, for seeking
};

} // namespace audio_detail
