#pragma once
// Internal to the audio components, as FfmpegUtil.h is.
#include "audio/FfmpegUtil.h"

#include <functional>

namespace audio_detail {

// An FFmpeg encoder writing through a muxer, fed from an audio fifo in frames
// of the codec's size, only the last one short. The owner sets the pieces up
// and opens the file; every call returns 0 or a negative FFmpeg error code,
// which the owner turns into its own words.
struct EncodeChain {
    CodecContextPtr codec;
    OutputFormatPtr muxer;
    AVStream *stream = nullptr;
    AudioFifoPtr fifo;
    FramePtr frame;
    PacketPtr packet;
    int64_t pts = 0; // frames sent to the encoder
    // Sees each packet before it is written, in the codec's time base.
    std::function<void(const AVPacket &)> onPacket;

    // Queues n planar frames in the fifo's sample format, and encodes every
    // whole frame queued.
    int write(void *const *planes, int n);
    // Encodes what is queued, ends the stream, writes the trailer and closes the file.
    int finish();

private:
    int encodeQueued(bool final);
    int send(int frames); // 0 frames: the end of the stream
    int receive();
};

} // namespace audio_detail
