#include "audio/EncodeChain.h"

#include <algorithm>

namespace audio_detail {

int EncodeChain::write(void *const *planes, int n)
{
    if (av_audio_fifo_write(fifo.get(), const_cast<void **>(planes), n) < n)
        return AVERROR(ENOMEM);
    return encodeQueued(false);
}

int EncodeChain::finish()
{
    int r;
    if ((r = encodeQueued(true)) < 0 || (r = send(0)) < 0 || (r = av_write_trailer(muxer.get())) < 0)
        return r;
    AVIOContext *&pb = muxer->pb;
    avio_flush(pb);
    if (pb->error < 0)
        return pb->error;
    return avio_closep(&pb);
}

int EncodeChain::encodeQueued(bool final)
{
    // A frame size of 0 (ALAC takes any) still goes in whole blocks.
    const int frameSize = codec->frame_size > 0 ? codec->frame_size : 4096;
    int r = 0;
    while (r >= 0 && (av_audio_fifo_size(fifo.get()) >= frameSize || (final && av_audio_fifo_size(fifo.get()) > 0)))
        r = send(std::min(frameSize, av_audio_fifo_size(fifo.get())));
    return r;
}

int EncodeChain::send(int frames)
{
    int r;
    if (frames == 0) {
        r = avcodec_send_frame(codec.get(), nullptr);
    } else {
        AVFrame *f = frame.get();
        av_frame_unref(f);
        f->nb_samples = frames;
        f->format = codec->sample_fmt;
        f->sample_rate = codec->sample_rate;
        if ((r = av_channel_layout_copy(&f->ch_layout, &codec->ch_layout)) < 0 || (r = av_frame_get_buffer(f, 0)) < 0)
            return r;
        if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void **>(f->data), frames) < frames)
            return AVERROR_BUG;
        f->pts = pts;
        pts += frames;
        r = avcodec_send_frame(codec.get(), f);
    }
    return r < 0 ? r : receive();
}

int EncodeChain::receive()
{
    for (;;) {
        int r = avcodec_receive_packet(codec.get(), packet.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return 0;
        if (r < 0)
            return r;
        if (onPacket)
            onPacket(*packet);
        packet->stream_index = stream->index;
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        if ((r = av_interleaved_write_frame(muxer.get(), packet.get())) < 0)
            return r;
    }
}

} // namespace audio_detail
