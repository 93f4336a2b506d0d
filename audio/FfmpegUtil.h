#pragma once
// Owning handles for FFmpeg objects and the one place that turns FFmpeg error
// codes into words. Internal to the audio components: no component header may
// include this (their users never see FFmpeg types).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <QString>
#include <memory>

namespace audio_detail {

// What a custom AVIOContext reads from (its opaque). The context, its buffer
// and this object go with the format context that reads through them.
struct CustomInput {
    virtual ~CustomInput() = default;
};
void freeCustomInput(AVIOContext *pb);

struct InputFormatDeleter {
    void operator()(AVFormatContext *c) const
    {
        AVIOContext *custom = c && (c->flags & AVFMT_FLAG_CUSTOM_IO) ? c->pb : nullptr;
        avformat_close_input(&c);
        freeCustomInput(custom);
    }
};
// An output context: closes its AVIOContext (if the muxer opened one) and frees it.
struct OutputFormatDeleter {
    void operator()(AVFormatContext *c) const
    {
        if (!c)
            return;
        if (c->oformat && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct SwrDeleter {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo *f) const
    {
        if (f)
            av_audio_fifo_free(f);
    }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// FFmpeg's own words for `code` ("Permission denied", "Invalid data found
// when processing input"): what a user is shown after the file's name, so
// never the name of the function that returned it.
QString ffErrorText(int code);

// Before swr_init: mono to stereo copies the channel to both sides, stereo to
// mono averages them. swresample's default (-3 dB per side up, +3 dB sum down)
// changes loudness and can clip a stereo-to-mono sum. Other counts keep the
// default matrix. Returns 0 or an FFmpeg error code.
int setUnityRemix(SwrContext *swr, int inChannels, int outChannels);

} // namespace audio_detail
