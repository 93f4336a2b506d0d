#include "audio/WavEncoder.h"

#include "audio/AudioError.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <sndfile.h>

namespace audio_detail {

namespace {

int subtype(int bits)
{
    switch (bits) {
    case 4: return SF_FORMAT_IMA_ADPCM;
    case 8: return SF_FORMAT_PCM_U8;
    case 16: return SF_FORMAT_PCM_16;
    case 24: return SF_FORMAT_PCM_24;
    case 32: return SF_FORMAT_PCM_32;
    default: return 0;
    }
}

SF_INFO infoFor(const WavSettings &s, bool rf64 = false)
{
    SF_INFO info{};
    info.samplerate = s.sampleRate;
    info.channels = s.channels;
    info.format = (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | subtype(s.bitsPerSample);
    return info;
}

// RIFF and its data chunk count their bytes in 32 bits.
constexpr int64_t kRiffMaxBytes = 0xFFFFFFFFll;
// A plain WAV is chosen only when the expected file stays this far below the
// limit: room for chunks written after the audio (a tag with pictures) and
// for a source length that was a little short.
constexpr int64_t kRiffHeadroom = 64ll << 20;
// Generous for every header libsndfile writes for plain WAV (fmt, fact).
constexpr int64_t kHeaderBytes = 1024;

// libsndfile's failure in words: for a refused open or write the system's
// own reason (errno, taken right after the call), which libsndfile would
// wrap as "System error : ..."; else libsndfile's words.
QString reasonText(int err, int code)
{
    if (code == SF_ERR_SYSTEM && err != 0)
        return qt_error_string(err);
    return QString::fromLocal8Bit(sf_error_number(code));
}

int64_t audioBytes(const WavSettings &s, int64_t frames)
{
    // IMA ADPCM: 4 bits a sample plus a 4-byte header per channel and block;
    // at its smallest block (256 bytes, 505 samples) that is under 0.51 bytes.
    if (s.bitsPerSample == 4)
        return (frames * s.channels * 51 + 99) / 100;
    return frames * s.channels * (s.bitsPerSample / 8);
}

} // namespace

void WavEncoder::check(const WavSettings &s)
{
    if (s.sampleRate <= 0)
        throw AudioError(QStringLiteral("WAV sample rate %1 Hz is not valid").arg(s.sampleRate));
    if (s.channels != 1 && s.channels != 2)
        throw AudioError(QStringLiteral("WAV channel count %1 is not valid (1 or 2)").arg(s.channels));
    // 2, 3 and 5 bits have no WAV encoding that players read back correctly.
    if (subtype(s.bitsPerSample) == 0)
        throw AudioError(QStringLiteral("WAV cannot be written with %1 bits per sample (4, 8, 16, 24 or 32)").arg(s.bitsPerSample));
    SF_INFO info = infoFor(s);
    if (!sf_format_check(&info))
        throw AudioError(QStringLiteral("WAV cannot be written at %1 Hz, %2 channels, %3 bits")
                             .arg(s.sampleRate).arg(s.channels).arg(s.bitsPerSample));
}

int64_t WavEncoder::predictedBytes(const WavSettings &settings, int64_t frames)
{
    return kHeaderBytes + audioBytes(settings, std::max<int64_t>(0, frames));
}

WavEncoder::WavEncoder(const QString &path, const WavSettings &settings, int64_t expectedFrames)
    : settings_(settings), path_(path)
{
    check(settings_);
    // Decided here, before the first byte: the header of a plain WAV has no
    // room to become RF64 later, and a small file stays byte for byte as
    // every other WAV we write.
    rf64_ = expectedFrames > 0 && predictedBytes(settings_, expectedFrames) > kRiffMaxBytes - kRiffHeadroom;
    SF_INFO info = infoFor(settings_, rf64_);
    if (rf64_ && !sf_format_check(&info))
        throw AudioError(QStringLiteral("Cannot create \"%1\": the audio would pass 4 GiB, the most a WAV file holds, "
                                        "and %2-bit WAV cannot be written as RF64; choose 8 bits or more")
                             .arg(path).arg(settings_.bitsPerSample));
    errno = 0;
    file_ = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file_) {
        const int err = errno;
        QFile::remove(path); // a header that did not fit a full disk
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, reasonText(err, sf_error(nullptr))));
    }
    // Clip instead of wrapping around at full scale; with clipping on
    // libsndfile also scales by 2^(bits-1), so 16-bit values survive a round trip.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WavEncoder::~WavEncoder()
{
    if (file_)
        sf_close(file_);
    if (!finished_)
        QFile::remove(path_);
}

void WavEncoder::write(const float *pcm, int64_t frames)
{
    if (frames <= 0)
        return;
    // Past the limit libsndfile would write sizes that wrap around: a file
    // that readers cut short or refuse. Stopping with the reason is better.
    if (!rf64_ && predictedBytes(settings_, framesWritten_ + frames) > kRiffMaxBytes)
        throw AudioError(QStringLiteral("Cannot write \"%1\": the audio passes 4 GiB, the most a plain WAV file "
                                        "holds, and was expected to be shorter when the file was started; choose "
                                        "another format or a shorter output")
                             .arg(path_));
    errno = 0;
    if (sf_writef_float(file_, pcm, frames) != frames)
        fail(errno);
    framesWritten_ += frames;
}

void WavEncoder::finish()
{
    // sf_close writes the header sizes (and the last ADPCM block).
    errno = 0;
    const int r = sf_close(file_);
    const int err = errno;
    file_ = nullptr;
    if (r != 0)
        throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, reasonText(err, r)));
    finished_ = true;
}

void WavEncoder::fail(int err)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, reasonText(err, sf_error(file_))));
}

} // namespace audio_detail
