#include "audio/WavEncoder.h"

#include "audio/AudioError.h"

#include <QFile>
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

SF_INFO infoFor(const WavSettings &s)
{
    SF_INFO info{};
    info.samplerate = s.sampleRate;
    info.channels = s.channels;
    info.format = SF_FORMAT_WAV | subtype(s.bitsPerSample);
    return info;
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

WavEncoder::WavEncoder(const QString &path, const WavSettings &settings) : settings_(settings), path_(path)
{
    check(settings_);
    SF_INFO info = infoFor(settings_);
    file_ = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file_)
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, QString::fromLocal8Bit(sf_strerror(nullptr))));
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
    if (frames > 0 && sf_writef_float(file_, pcm, frames) != frames)
        fail("sf_writef_float");
}

void WavEncoder::finish()
{
    // sf_close writes the header sizes (and the last ADPCM block).
    const int r = sf_close(file_);
    file_ = nullptr;
    if (r != 0)
        throw AudioError(QStringLiteral("Cannot write \"%1\": sf_close: %2").arg(path_, QString::fromLocal8Bit(sf_error_number(r))));
    finished_ = true;
}

void WavEncoder::fail(const char *function)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2: %3")
                         .arg(path_, QString::fromLatin1(function), QString::fromLocal8Bit(sf_strerror(file_))));
}

} // namespace audio_detail
