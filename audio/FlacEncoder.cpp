#include "audio/FlacEncoder.h"

#include "audio/AudioError.h"

#include <QFile>
#include <FLAC/stream_encoder.h>

#include <cmath>

namespace audio_detail {

struct FlacEncoder::Handle {
    FLAC__StreamEncoder *encoder = FLAC__stream_encoder_new();
    ~Handle()
    {
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
    }
};

void FlacEncoder::check(const FlacSettings &s)
{
    if (s.sampleRate < 1 || s.sampleRate > 655350)
        throw AudioError(QStringLiteral("FLAC cannot store a sample rate of %1 Hz").arg(s.sampleRate));
    if (s.channels < 1 || s.channels > 8)
        throw AudioError(QStringLiteral("FLAC cannot store %1 channels (1 to 8)").arg(s.channels));
    if (s.bitsPerSample != 16 && s.bitsPerSample != 24)
        throw AudioError(QStringLiteral("FLAC output is 16 or 24 bit, not %1").arg(s.bitsPerSample));
    if (s.level < 0 || s.level > 8)
        throw AudioError(QStringLiteral("FLAC compression level %1 is not 0 to 8").arg(s.level));
}

FlacEncoder::FlacEncoder(const QString &path, const FlacSettings &settings) : settings_(settings), path_(path)
{
    check(settings);
    encoder_ = std::make_unique<Handle>();
    FLAC__StreamEncoder *e = encoder_->encoder;
    if (!e)
        throw AudioError(QStringLiteral("Cannot create \"%1\": FLAC__stream_encoder_new: out of memory").arg(path));
    FLAC__stream_encoder_set_channels(e, unsigned(settings.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, unsigned(settings.bitsPerSample));
    FLAC__stream_encoder_set_sample_rate(e, unsigned(settings.sampleRate));
    FLAC__stream_encoder_set_compression_level(e, unsigned(settings.level));
    const FLAC__StreamEncoderInitStatus r =
        FLAC__stream_encoder_init_file(e, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (r != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        const QString reason = r == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR
                                   ? QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(e))
                                   : QString::fromLatin1(FLAC__StreamEncoderInitStatusString[r]);
        encoder_.reset();
        QFile::remove(path);
        throw AudioError(QStringLiteral("Cannot create \"%1\": FLAC__stream_encoder_init_file: %2").arg(path, reason));
    }
}

FlacEncoder::~FlacEncoder()
{
    if (!encoder_)
        return;
    if (!finished_)
        FLAC__stream_encoder_finish(encoder_->encoder);
    encoder_.reset();
    if (!finished_)
        QFile::remove(path_);
}

void FlacEncoder::write(const float *pcm, int64_t frames)
{
    // Full scale is 2^(bits-1), as decoders divide: a 16-bit source read as
    // float comes back to the very same integers.
    const double scale = std::ldexp(1.0, settings_.bitsPerSample - 1);
    const double top = scale - 1.0;
    // Adding and taking away 1.5 * 2^52 rounds to the nearest integer (ties to
    // even, as nearbyint does) in plain arithmetic the compiler can vectorise;
    // a libm call per value cost an eighth of the encoding time.
    constexpr double kRoundingBias = 6755399441055744.0;
    const int64_t values = frames * settings_.channels;
    buffer_.resize(size_t(values));
    int32_t *out = buffer_.data();
    for (int64_t i = 0; i < values; ++i) {
        double v = double(pcm[i]) * scale;
        v = v < top ? v : top; // NaN becomes full scale rather than undefined
        v = v > -scale ? v : -scale;
        out[i] = int32_t((v + kRoundingBias) - kRoundingBias);
    }
    if (frames > 0 && !FLAC__stream_encoder_process_interleaved(encoder_->encoder, buffer_.data(), unsigned(frames)))
        fail("FLAC__stream_encoder_process_interleaved");
}

void FlacEncoder::finish()
{
    finished_ = true;
    // Writes the last frame and rewrites STREAMINFO with the sample count and MD5.
    if (!FLAC__stream_encoder_finish(encoder_->encoder)) {
        finished_ = false;
        fail("FLAC__stream_encoder_finish");
    }
}

void FlacEncoder::fail(const char *function)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2: %3")
                         .arg(path_, QString::fromLatin1(function),
                              QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(encoder_->encoder))));
}

} // namespace audio_detail
