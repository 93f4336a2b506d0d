#include "audio/FlacFrameCodec.h"

#include "audio/AudioError.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace audio_detail {
namespace {

struct DecoderDeleter {
    void operator()(FLAC__StreamDecoder *d) const { FLAC__stream_decoder_delete(d); }
};
struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder *e) const { FLAC__stream_encoder_delete(e); }
};

struct Feed {
    QByteArray head; // "fLaC" and a STREAMINFO that is the last block
    const uint8_t *frames = nullptr;
    int64_t bytes = 0;
    int64_t at = 0; // over head, then frames
    const std::function<bool(const int32_t *, int)> *onBlock = nullptr;
    std::vector<int32_t> interleaved;
    QString error;
};

FLAC__StreamDecoderReadStatus readFeed(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes, void *data)
{
    Feed &f = *static_cast<Feed *>(data);
    size_t n = 0;
    while (n < *bytes) {
        if (f.at < f.head.size()) {
            const size_t k = std::min<size_t>(*bytes - n, size_t(f.head.size() - f.at));
            std::memcpy(buffer + n, f.head.constData() + f.at, k);
            n += k;
            f.at += int64_t(k);
            continue;
        }
        const int64_t pos = f.at - f.head.size();
        const size_t k = std::min<size_t>(*bytes - n, size_t(f.bytes - pos));
        if (k == 0)
            break;
        std::memcpy(buffer + n, f.frames + pos, k);
        n += k;
        f.at += int64_t(k);
    }
    *bytes = n;
    return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus writeBlock(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                          const FLAC__int32 *const buffer[], void *data)
{
    Feed &f = *static_cast<Feed *>(data);
    const int n = int(frame->header.blocksize), ch = int(frame->header.channels);
    f.interleaved.resize(size_t(n) * size_t(ch));
    int32_t *o = f.interleaved.data();
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < ch; ++c)
            *o++ = buffer[c][i];
    return (*f.onBlock)(f.interleaved.data(), n) ? FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE
                                                 : FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
}

void decodeError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus status, void *data)
{
    Feed &f = *static_cast<Feed *>(data);
    if (f.error.isEmpty())
        f.error = QStringLiteral("a frame does not decode (%1)").arg(FLAC__StreamDecoderErrorStatusString[status]);
}

FLAC__StreamEncoderWriteStatus collect(const FLAC__StreamEncoder *, const FLAC__byte buffer[], size_t bytes,
                                       uint32_t samples, uint32_t, void *data)
{
    // Metadata comes with no samples: only the frames are wanted, each in one call.
    if (samples > 0)
        static_cast<std::vector<QByteArray> *>(data)->emplace_back(reinterpret_cast<const char *>(buffer),
                                                                   qsizetype(bytes));
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

} // namespace

void decodeFlacFrames(const uint8_t *streamInfo, const uint8_t *frames, int64_t bytes,
                      const std::function<bool(const int32_t *, int)> &onBlock)
{
    const std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> d(FLAC__stream_decoder_new());
    if (!d)
        throw AudioError(QStringLiteral("out of memory"));
    Feed f;
    f.head = QByteArray("fLaC\x80\x00\x00\x22", 8) + QByteArray(reinterpret_cast<const char *>(streamInfo), 34);
    f.frames = frames;
    f.bytes = bytes;
    f.onBlock = &onBlock;
    if (FLAC__stream_decoder_init_stream(d.get(), readFeed, nullptr, nullptr, nullptr, nullptr, writeBlock, nullptr,
                                         decodeError, &f)
        != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        throw AudioError(QStringLiteral("the FLAC decoder cannot start"));
    const bool ok = FLAC__stream_decoder_process_until_end_of_stream(d.get());
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(d.get());
    if (state == FLAC__STREAM_DECODER_ABORTED)
        return; // onBlock said stop
    if (!f.error.isEmpty())
        throw AudioError(f.error);
    if (!ok)
        throw AudioError(QStringLiteral("the FLAC decoder stopped (%1)").arg(FLAC__StreamDecoderStateString[state]));
}

std::vector<QByteArray> encodeFlacFrames(const int32_t *interleaved, int64_t count, int sampleRate, int channels, int bitsPerSample,
                            int maxBlock)
{
    std::vector<QByteArray> out;
    if (count <= 0)
        return out;
    const int64_t frames = (count + maxBlock - 1) / maxBlock;
    const int block = int(std::max<int64_t>(16, (count + frames - 1) / frames));
    const std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> e(FLAC__stream_encoder_new());
    if (!e)
        throw AudioError(QStringLiteral("out of memory"));
    FLAC__stream_encoder_set_channels(e.get(), unsigned(channels));
    FLAC__stream_encoder_set_bits_per_sample(e.get(), unsigned(bitsPerSample));
    FLAC__stream_encoder_set_sample_rate(e.get(), unsigned(sampleRate));
    FLAC__stream_encoder_set_compression_level(e.get(), 5);
    FLAC__stream_encoder_set_streamable_subset(e.get(), block <= 4608 && bitsPerSample <= 24);
    FLAC__stream_encoder_set_blocksize(e.get(), unsigned(block));
    if (FLAC__stream_encoder_init_stream(e.get(), collect, nullptr, nullptr, nullptr, &out)
        != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw AudioError(QStringLiteral("the FLAC encoder refused %1 Hz, %2 channels, %3 bits")
                             .arg(sampleRate).arg(channels).arg(bitsPerSample));
    const bool ok = FLAC__stream_encoder_process_interleaved(e.get(), interleaved, unsigned(count))
                    && FLAC__stream_encoder_finish(e.get());
    if (!ok)
        throw AudioError(QStringLiteral("the FLAC encoder stopped (%1)")
                             .arg(FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(e.get())]));
    return out;
}

} // namespace audio_detail
