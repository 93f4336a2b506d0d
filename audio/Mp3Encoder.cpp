#include "audio/Mp3Encoder.h"

#include "audio/AudioError.h"

#include <lame/lame.h>

#include <algorithm>

namespace audio_detail {

namespace {

const char *const kModeNames[] = {"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"};

// LAME's return codes in words.
QString lameErrorText(int code)
{
    const char *words = "unknown error";
    switch (code) {
    case -1: words = "output buffer too small"; break;
    case -2: words = "out of memory"; break;
    case -3: words = "encoder not initialised"; break;
    case -4: words = "psycho-acoustic model failure"; break;
    default: break;
    }
    return QString::fromLatin1(words);
}

// Per call we hand LAME at most this many frames, so the output buffer stays
// bounded whatever block size the caller uses.
constexpr int kChunkFrames = 1 << 16;

Mp3Encoder::LamePtr configure(const Mp3Settings &s)
{
    if (s.sampleRate <= 0)
        throw AudioError(QStringLiteral("MP3 sample rate %1 Hz is not valid").arg(s.sampleRate));
    if (s.mode < 1 || s.mode > 5)
        throw AudioError(QStringLiteral("MP3 channel mode %1 is not valid (1 to 5)").arg(s.mode));
    if (s.bitrate <= 0)
        throw AudioError(QStringLiteral("MP3 bit rate %1 kbps is not valid").arg(s.bitrate));
    if (s.vbr) {
        if (s.vbrQuality < 0 || s.vbrQuality > 9)
            throw AudioError(QStringLiteral("MP3 VBR quality %1 is not valid (0 to 9)").arg(s.vbrQuality));
        if (s.maxBitrate < s.bitrate)
            throw AudioError(QStringLiteral("MP3 maximum bit rate %1 kbps is below the minimum %2 kbps")
                                 .arg(s.maxBitrate).arg(s.bitrate));
    }

    Mp3Encoder::LamePtr g(lame_init());
    if (!g)
        throw AudioError(QStringLiteral("MP3 encoder: out of memory"));
    lame_global_flags *gf = g.get();
    // Input and output rate are equal: left to itself LAME picks a lower
    // output rate for low bit rates.
    lame_set_in_samplerate(gf, s.sampleRate);
    lame_set_out_samplerate(gf, s.sampleRate);
    lame_set_num_channels(gf, s.channels());
    lame_set_write_id3tag_automatic(gf, 0);
    lame_set_bWriteVbrTag(gf, 1);
    switch (s.mode) {
    case 1: lame_set_mode(gf, MONO); break;
    case 2: lame_set_mode(gf, STEREO); break;
    case 3: lame_set_mode(gf, JOINT_STEREO); break;
    case 4:
        lame_set_mode(gf, JOINT_STEREO);
        lame_set_force_ms(gf, 1);
        break;
    default: lame_set_mode(gf, DUAL_CHANNEL); break;
    }
    if (s.vbr) {
        lame_set_VBR(gf, vbr_mtrh);
        lame_set_VBR_q(gf, s.vbrQuality);
        lame_set_VBR_min_bitrate_kbps(gf, s.bitrate);
        lame_set_VBR_max_bitrate_kbps(gf, s.maxBitrate);
    } else {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, s.bitrate);
    }
    const int r = lame_init_params(gf);
    if (r < 0)
        throw AudioError(QStringLiteral("MP3 encoder refused %1 Hz, %2: %3")
                             .arg(s.sampleRate).arg(QString::fromLatin1(kModeNames[s.mode - 1]), lameErrorText(r)));

    // LAME snaps values it cannot encode to the nearest legal ones; we refuse instead.
    if (lame_get_out_samplerate(gf) != s.sampleRate)
        throw AudioError(QStringLiteral("MP3 cannot be encoded at %1 Hz (nearest rate: %2 Hz)")
                             .arg(s.sampleRate).arg(lame_get_out_samplerate(gf)));
    if (s.vbr) {
        if (lame_get_VBR_min_bitrate_kbps(gf) != s.bitrate)
            throw AudioError(QStringLiteral("MP3 minimum bit rate %1 kbps is not possible at %2 Hz (nearest: %3 kbps)")
                                 .arg(s.bitrate).arg(s.sampleRate).arg(lame_get_VBR_min_bitrate_kbps(gf)));
        if (lame_get_VBR_max_bitrate_kbps(gf) != s.maxBitrate)
            throw AudioError(QStringLiteral("MP3 maximum bit rate %1 kbps is not possible at %2 Hz (nearest: %3 kbps)")
                                 .arg(s.maxBitrate).arg(s.sampleRate).arg(lame_get_VBR_max_bitrate_kbps(gf)));
    } else if (lame_get_brate(gf) != s.bitrate) {
        throw AudioError(QStringLiteral("MP3 bit rate %1 kbps is not possible at %2 Hz (nearest: %3 kbps)")
                             .arg(s.bitrate).arg(s.sampleRate).arg(lame_get_brate(gf)));
    }
    return g;
}

} // namespace

void Mp3Encoder::LameDeleter::operator()(lame_global_struct *g) const
{
    if (g)
        lame_close(g);
}

void Mp3Encoder::check(const Mp3Settings &settings)
{
    configure(settings);
}

// The encoder is configured before the file is opened, so refused settings
// never leave a file behind.
Mp3Encoder::Mp3Encoder(const QString &path, const Mp3Settings &settings)
    : settings_(settings), lame_(configure(settings)), file_(path)
{
    mp3_.resize(kChunkFrames * 5 / 4 + 7200);
}

Mp3Encoder::~Mp3Encoder() = default;

void Mp3Encoder::write(const float *pcm, int64_t frames)
{
    const int ch = channels();
    while (frames > 0) {
        const int n = int(std::min<int64_t>(frames, kChunkFrames));
        const int bytes = ch == 1
            ? lame_encode_buffer_ieee_float(lame_.get(), pcm, nullptr, n, mp3_.data(), int(mp3_.size()))
            : lame_encode_buffer_interleaved_ieee_float(lame_.get(), pcm, n, mp3_.data(), int(mp3_.size()));
        if (bytes < 0)
            throw AudioError(QStringLiteral("Cannot encode \"%1\": %2").arg(file_.path(), lameErrorText(bytes)));
        file_.append(mp3_.data(), bytes);
        pcm += int64_t(n) * ch;
        frames -= n;
    }
}

void Mp3Encoder::finish()
{
    const int bytes = lame_encode_flush(lame_.get(), mp3_.data(), int(mp3_.size()));
    if (bytes < 0)
        throw AudioError(QStringLiteral("Cannot encode \"%1\": %2").arg(file_.path(), lameErrorText(bytes)));
    file_.append(mp3_.data(), bytes);

    // The LAME/Info frame (exact length, delay, padding) goes over the
    // placeholder frame LAME emitted first. LAME leaves it out when it does
    // not fit one frame (low bit rates); the file is still valid then.
    unsigned char tag[2880];
    const size_t tagBytes = lame_get_lametag_frame(lame_.get(), tag, sizeof tag);
    if (tagBytes > 0 && tagBytes <= sizeof tag)
        file_.overwrite(0, tag, int64_t(tagBytes));
    file_.commit();
}

} // namespace audio_detail
