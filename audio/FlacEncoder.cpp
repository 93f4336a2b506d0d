#include "audio/FlacEncoder.h"

#include "audio/AudioError.h"

#include <QFile>
#include <FLAC/stream_encoder.h>
extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>

// Exported by libFLAC (1.2 to 1.5) for the flac tool's --no-md5-sum, but
// declared only in a header of its sources that Debian does not install.
FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder *encoder, FLAC__bool value);
}

#include <cerrno>
#include <cmath>

namespace audio_detail {

struct FlacEncoder::Handle {
    FLAC__StreamEncoder *encoder = FLAC__stream_encoder_new();
    AVMD5 *md5 = av_md5_alloc();
    ~Handle()
    {
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
        av_free(md5);
    }
};

namespace {
// STREAMINFO is the first block, right after "fLaC" and its 4-byte header;
// its MD5 takes its last 16 bytes.
constexpr qint64 kStreamInfoMd5Offset = 4 + 4 + 18;

// Why the encoder stopped, in words. libFLAC writes through stdio, so a
// refused write leaves the system's reason in errno (`err`, taken right
// after the failing call, 0 before it); libFLAC's own state names are
// identifiers, not words for a user.
QString stateText(FLAC__StreamEncoderState state, int err)
{
    if (err != 0)
        return qt_error_string(err);
    switch (state) {
    case FLAC__STREAM_ENCODER_IO_ERROR:
    case FLAC__STREAM_ENCODER_CLIENT_ERROR:
        return QStringLiteral("the data could not be written");
    case FLAC__STREAM_ENCODER_MEMORY_ALLOCATION_ERROR:
        return QStringLiteral("out of memory");
    case FLAC__STREAM_ENCODER_VERIFY_DECODER_ERROR:
    case FLAC__STREAM_ENCODER_VERIFY_MISMATCH_IN_AUDIO_DATA:
        return QStringLiteral("the encoded audio did not decode back to the input");
    default:
        return QStringLiteral("the FLAC encoder stopped (state %1)").arg(int(state));
    }
}
} // namespace

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
    if (!e || !encoder_->md5)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    av_md5_init(encoder_->md5);
    // libFLAC would sum the MD5 on its encoding thread; prepare() does it instead.
    FLAC__stream_encoder_set_do_md5(e, false);
    FLAC__stream_encoder_set_channels(e, unsigned(settings.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, unsigned(settings.bitsPerSample));
    FLAC__stream_encoder_set_sample_rate(e, unsigned(settings.sampleRate));
    FLAC__stream_encoder_set_compression_level(e, unsigned(settings.level));
    errno = 0;
    const FLAC__StreamEncoderInitStatus r =
        FLAC__stream_encoder_init_file(e, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (r != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        const int err = errno;
        // A file that cannot be opened is an encoder error in the I/O state.
        const QString reason = r == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR
                                   ? stateText(FLAC__stream_encoder_get_state(e), err)
                                   : QStringLiteral("the FLAC encoder refused %1 Hz, %2 channels, %3 bits")
                                         .arg(settings.sampleRate).arg(settings.channels).arg(settings.bitsPerSample);
        encoder_.reset();
        QFile::remove(path);
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, reason));
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

void FlacEncoder::toIntegers(const float *pcm, int64_t frames, std::vector<int32_t> &out) const
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
    out.resize(size_t(values));
    int32_t *o = out.data();
    for (int64_t i = 0; i < values; ++i) {
        double v = double(pcm[i]) * scale;
        v = v < top ? v : top; // NaN becomes full scale rather than undefined
        v = v > -scale ? v : -scale;
        o[i] = int32_t((v + kRoundingBias) - kRoundingBias);
    }
}

void FlacEncoder::prepare(const float *pcm, int64_t frames)
{
    if (frames <= 0)
        return;
    std::vector<int32_t> samples;
    {
        const std::lock_guard lock(preparedMutex_);
        if (!spare_.empty()) {
            samples = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    toIntegers(pcm, frames, samples);
    // What FLAC sums: the samples interleaved, each little-endian in whole bytes.
    const size_t width = size_t(settings_.bitsPerSample / 8);
    md5Bytes_.resize(samples.size() * width);
    uint8_t *b = md5Bytes_.data();
    for (const int32_t v : samples) {
        for (size_t k = 0; k < width; ++k)
            *b++ = uint8_t(uint32_t(v) >> (8 * k));
    }
    av_md5_update(encoder_->md5, md5Bytes_.data(), md5Bytes_.size());
    const std::lock_guard lock(preparedMutex_);
    prepared_.push_back(std::move(samples));
}

void FlacEncoder::write(const float *pcm, int64_t frames)
{
    if (frames <= 0)
        return;
    std::vector<int32_t> samples;
    for (int pass = 0; pass < 2 && samples.empty(); ++pass) {
        {
            const std::lock_guard lock(preparedMutex_);
            if (!prepared_.empty()) {
                samples = std::move(prepared_.front());
                prepared_.pop_front();
            }
        }
        if (samples.empty() && pass == 0)
            prepare(pcm, frames); // no pipeline ran it ahead
    }
    if (samples.size() != size_t(frames * settings_.channels))
        throw AudioError(QStringLiteral("Cannot write \"%1\": a block reached the FLAC encoder out of turn").arg(path_));
    errno = 0;
    const bool ok = FLAC__stream_encoder_process_interleaved(encoder_->encoder, samples.data(), unsigned(frames));
    const int err = errno;
    {
        const std::lock_guard lock(preparedMutex_);
        if (spare_.size() < 4)
            spare_.push_back(std::move(samples));
    }
    if (!ok)
        fail(err);
}

void FlacEncoder::storeMd5()
{
    uint8_t digest[16];
    av_md5_final(encoder_->md5, digest);
    QFile file(path_);
    char head[5] = {};
    const bool ok = file.open(QIODevice::ReadWrite) && file.read(head, 5) == 5 && QByteArray(head, 4) == "fLaC"
                    && (head[4] & 0x7f) == 0 && file.seek(kStreamInfoMd5Offset)
                    && file.write(reinterpret_cast<const char *>(digest), 16) == 16 && file.flush();
    if (!ok)
        throw AudioError(QStringLiteral("Cannot write \"%1\": storing the MD5 of the audio: %2")
                             .arg(path_, file.errorString()));
}

void FlacEncoder::finish()
{
    finished_ = true;
    // Writes the last frame and rewrites STREAMINFO with the sample count.
    errno = 0;
    if (!FLAC__stream_encoder_finish(encoder_->encoder)) {
        const int err = errno;
        finished_ = false;
        fail(err);
    }
    try {
        storeMd5();
    } catch (const AudioError &) {
        finished_ = false;
        QFile::remove(path_);
        throw;
    }
}

void FlacEncoder::fail(int err)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, stateText(FLAC__stream_encoder_get_state(encoder_->encoder), err)));
}

} // namespace audio_detail
