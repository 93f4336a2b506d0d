#include "audio/OpusEncoder.h"

#include "audio/AudioError.h"

#include <QFile>
#include <QRandomGenerator>
#include <opus/opusenc.h>

#include <algorithm>
#include <cerrno>

namespace audio_detail {

namespace {

// libopusenc's reason in words. It opens and writes through stdio, so for
// those failures the system's own reason (errno, taken right after the
// call) says more than its "cannot open file".
QString reasonText(int code, int err)
{
    if ((code == OPE_CANNOT_OPEN || code == OPE_WRITE_FAIL || code == OPE_CLOSE_FAIL) && err != 0)
        return qt_error_string(err);
    return QString::fromLatin1(ope_strerror(code));
}

} // namespace

void OpusEncoder::check(const OpusSettings &s)
{
    if (s.channels < 1 || s.channels > 2)
        throw AudioError(QStringLiteral("Opus output is mono or stereo, not %1 channels").arg(s.channels));
    if (s.bitrate < 6 || s.bitrate > 510)
        throw AudioError(QStringLiteral("Opus cannot encode at %1 kbps (6 to 510)").arg(s.bitrate));
    if (s.complexity < 0 || s.complexity > 10)
        throw AudioError(QStringLiteral("Opus complexity %1 is not 0 to 10").arg(s.complexity));
    if (int(s.mode) < 0 || int(s.mode) > 2)
        throw AudioError(QStringLiteral("Opus rate mode %1 is not VBR, constrained VBR or CBR").arg(int(s.mode)));
}

OpusEncoder::OpusEncoder(const QString &path, const OpusSettings &settings) : settings_(settings), path_(path)
{
    check(settings);
    comments_ = ope_comments_create();
    if (!comments_)
        throw AudioError(QStringLiteral("Cannot create \"%1\": out of memory").arg(path));
    int error = OPE_OK;
    errno = 0;
    encoder_ = ope_encoder_create_file(QFile::encodeName(path).constData(), comments_, kSampleRate, settings.channels,
                                       0, &error);
    if (!encoder_) {
        const int err = errno;
        ope_comments_destroy(comments_);
        comments_ = nullptr;
        QFile::remove(path);
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, reasonText(error, err)));
    }
    const bool vbr = settings.mode != OpusRateMode::Cbr;
    // libopusenc draws the stream's serial number from rand(), unseeded: the
    // same numbers in every run, and from worker threads in any order.
    int r = ope_encoder_ctl(encoder_, OPE_SET_SERIALNO(opus_int32(QRandomGenerator::global()->generate() & 0x7fffffff)));
    if (r == OPE_OK)
        r = ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(settings.bitrate * 1000));
    if (r == OPE_OK)
        r = ope_encoder_ctl(encoder_, OPUS_SET_VBR(vbr ? 1 : 0));
    if (r == OPE_OK && vbr)
        r = ope_encoder_ctl(encoder_, OPUS_SET_VBR_CONSTRAINT(settings.mode == OpusRateMode::ConstrainedVbr ? 1 : 0));
    if (r == OPE_OK)
        r = ope_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(settings.complexity));
    if (r != OPE_OK)
        fail(r, 0);
}

OpusEncoder::~OpusEncoder()
{
    if (encoder_)
        ope_encoder_destroy(encoder_);
    if (comments_)
        ope_comments_destroy(comments_);
    if (!finished_)
        QFile::remove(path_);
}

void OpusEncoder::write(const float *pcm, int64_t frames)
{
    // libopusenc takes an int count: feed very long spans in pieces.
    while (frames > 0) {
        const int n = int(std::min<int64_t>(frames, 1 << 20));
        errno = 0;
        const int r = ope_encoder_write_float(encoder_, pcm, n);
        if (r != OPE_OK)
            fail(r, errno);
        pcm += int64_t(n) * settings_.channels;
        frames -= n;
    }
}

void OpusEncoder::finish()
{
    // Encodes what is buffered and writes the last page with the exact end granule.
    errno = 0;
    const int r = ope_encoder_drain(encoder_);
    if (r != OPE_OK)
        fail(r, errno);
    finished_ = true;
}

void OpusEncoder::fail(int code, int err)
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, reasonText(code, err)));
}

} // namespace audio_detail
