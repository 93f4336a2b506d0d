#pragma once
// The decoder's state, shared by the files that do its work: Decoder.cpp
// (the parts in turn, FFmpeg's demuxer, seeking), DecoderMpegFeed.cpp (MPEG
// audio fed by our own frame walk) and DecoderTimeline.cpp (where decoded
// frames land in the output, and what was lost). It holds FFmpeg types:
// only those files include it.
#include "audio/Decoder.h"
#include "audio/FfmpegUtil.h"
#include "audio/ReadSource.h"
#include "audio/SampleConversion.h"

#include <QFile>

#include <memory>
#include <utility>
#include <vector>

namespace audio_detail {

struct Decoder::Impl {
    // A stretch that could not be decoded, in output frames.
    using Loss = ReadLoss;

    QString path;
    int threads = 1; // the codec's decoding threads
    SourceFacts facts;
    std::vector<int64_t> partStart; // output position where each part begins
    size_t part = 0;
    OpenedContainer src; // the current part, unless our own MPEG walk feeds it
    QFile mpegFile;
    const uchar *mpegData = nullptr;
    std::unique_ptr<MpegFrameWalker> walker;
    CodecContextPtr codec;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    bool floatPcm = false; // float PCM: damaged bytes show as absurd values

    // Conversion for frames whose rate, channels or sample format differ from
    // the output's (the output keeps the stream's first format throughout).
    SwrConversion swr;

    // Converted frames not yet handed out: pending[head..] starts at position pos.
    std::vector<float> pending;
    size_t head = 0;
    int64_t pos = 0;

    int64_t nextPos = 0;      // position of the next converted frame (when placed)
    bool placed = true;       // false after a container seek until a timestamp arrives
    bool fromStart = true;    // decoding started at the beginning of the part
    int64_t placedAt = 0;     // where the first frame after a container seek landed
    int64_t dropBefore = 0;   // frames before this position are dropped
    int64_t origin = AV_NOPTS_VALUE; // timestamp (output frames) of position 0
    bool demuxEnd = false;
    bool partDone = false;
    bool finished = false;
    bool formatFixed = false; // the output format follows the first decoded frame

    // Damage: silence owed where audio was lost and its length is known (put
    // in before the next decoded frame, so later audio keeps its time; the
    // frames decoded meanwhile wait in `held` with their input rate), and
    // what was rejected since the last decoded frame.
    int64_t owedSilence = 0;
    std::vector<std::pair<FramePtr, int>> held;
    // Per part: a gap was left partly unfilled, so positions after it no
    // longer follow the container's timestamps or frame indexes.
    std::vector<char> timelineCut;
    int badPackets = 0;
    int64_t rejectedFrames = 0;
    int64_t rejectedAt = -1;
    int64_t lastReadError = -1;
    int receiveErrors = 0; // in a row, without a packet in between
    size_t partLosses = 0; // losses when the current part began
    std::vector<Loss> losses;

    int rate() const { return facts.sampleRate; }
    int ch() const { return facts.channels; }
    int64_t pendingFrames() const { return int64_t(pending.size() - head) / ch(); }
    size_t partCount() const { return facts.parts.empty() ? 1 : facts.parts.size(); }
    const SourceFacts &pf() const { return facts.parts.empty() ? facts : facts.parts[part]; }
    int64_t &partLength(size_t i) { return facts.parts.empty() ? facts.length : facts.parts[i].length; }
    int64_t partEnd() const { return partStart[part] + pf().length; }

    QString damageText() const { return ReadLossText(losses, rate()); }

    // The parts in turn, FFmpeg's demuxer feeding the codec, seeking (Decoder.cpp).
    size_t partAt(int64_t target) const;
    void openCodecFor(const AVCodec *dec, const AVCodecParameters *par);
    void openCodec();
    void resetOutput(int64_t target);
    void openPart(size_t i, OpenedContainer opened = {});
    void restartPart(int64_t target);
    void endPart();
    bool readErrorPassable();
    void stepFfmpeg();
    void decodeStep();
    void seekInPart(int64_t target);
    void compact();
    void skipPending(int64_t frames);

    // MPEG audio fed frame by frame from our own walk, which knows where
    // frames were lost and seeks by frame index (DecoderMpegFeed.cpp).
    void openMpeg(const MpegPart &p);
    void stepMpeg();
    void seekMpeg(int64_t target);

    // Decoded frames placed at their output positions, silence owed for what
    // was lost, and the losses reported (DecoderTimeline.cpp).
    void addLoss(int64_t at, int64_t frames, bool estimate, int64_t leftOut = 0);
    void reportRejected();
    void rejected(int64_t frames);
    float *appendSpace(int64_t frames);
    void place(size_t before);
    int64_t owe(int64_t frames);
    void payOwedSilence();
    void drainSwr();
    void convertWithSwr(const AVFrame *f, int inRate);
    void silenceFloatGarbage(size_t before);
    void consume(const AVFrame *f);
    void output(const AVFrame *f, int inRate);
};

} // namespace audio_detail
