#include "audio/DecoderImpl.h"
#include "audio/AudioError.h"

#include <algorithm>
#include <cstring>

namespace audio_detail {

void Decoder::Impl::openMpeg(const MpegPart &p)
{
    if (!mpegData) {
        mpegFile.setFileName(path);
        if (mpegFile.open(QIODevice::ReadOnly))
            mpegData = mpegFile.map(0, mpegFile.size());
        if (!mpegData)
            throw AudioError(QStringLiteral("Cannot read %1: %2").arg(displayName(path), mpegFile.errorString()));
    }
    walker = std::make_unique<MpegFrameWalker>(mpegData, p.audioBegin, p.end, p.stream, false, p.lostReplacedFrames);
    const AVCodecID id = p.stream.layer == 1 ? AV_CODEC_ID_MP1 : p.stream.layer == 2 ? AV_CODEC_ID_MP2 : AV_CODEC_ID_MP3;
    openCodecFor(avcodec_find_decoder(id), nullptr);
    floatPcm = false;
}

// One frame of our own MPEG walk into the decoder.
void Decoder::Impl::stepMpeg()
{
    const MpegFrameWalker::Step step = walker->next();
    const MpegPart &mp = facts.mpeg.parts[size_t(pf().mpegPart)];
    const int spf = mp.stream.samplesPerFrame;
    const auto out = [&](int64_t frames) {
        return mp.stream.sampleRate == rate() ? frames : int64_t(double(frames) * rate() / mp.stream.sampleRate + 0.5);
    };
    if (step.kind == MpegFrameWalker::Step::End) {
        partDone = true;
        return;
    }
    if (step.kind == MpegFrameWalker::Step::Lost) {
        if (!mp.lostReplacedFrames)
            return; // bytes put between frames: no audio is missing
        // The frames after it cannot draw on the lost ones' bit reservoir.
        avcodec_flush_buffers(codec.get());
        const int64_t at = nextPos + owedSilence;
        addLoss(at, out(step.frames * spf), !step.exact, step.exact ? owe(out(step.frames * spf)) : 0);
        return;
    }
    int rc = av_new_packet(packet.get(), int(step.bytes));
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot decode %1: out of memory").arg(displayName(path)));
    std::memcpy(packet->data, mpegData + step.offset, size_t(step.bytes));
    rc = avcodec_send_packet(codec.get(), packet.get());
    av_packet_unref(packet.get());
    int64_t got = 0;
    while (rc >= 0 && avcodec_receive_frame(codec.get(), frame.get()) == 0) {
        got += frame->nb_samples;
        consume(frame.get());
        av_frame_unref(frame.get());
    }
    if (got == 0) {
        // Every frame holds the same number of samples: keep the time.
        ++badPackets;
        const int64_t at = nextPos + owedSilence;
        addLoss(at, out(spf), false, owe(out(spf)));
    } else {
        badPackets = 0;
    }
}

void Decoder::Impl::seekMpeg(int64_t target)
{
    const SourceFacts &p = pf();
    const MpegPart &mp = facts.mpeg.parts[size_t(p.mpegPart)];
    const int64_t spf = mp.stream.samplesPerFrame;
    const int64_t local = target - partStart[part] + p.frontSkip;
    const int64_t at = walker->seekFrame(std::max<int64_t>(0, local / spf - p.seekPreroll / spf));
    avcodec_flush_buffers(codec.get());
    resetOutput(target);
    nextPos = partStart[part] - p.frontSkip + at * spf;
    placed = true;
    fromStart = at == 0;
}

} // namespace audio_detail
