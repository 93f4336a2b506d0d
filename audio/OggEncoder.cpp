#include "audio/OggEncoder.h"

#include "audio/AudioError.h"

#include <QRandomGenerator>
#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace audio_detail {

namespace {

// libvorbis return codes in words.
QString vorbisErrorText(int code)
{
    const char *words = "unknown error";
    switch (code) {
    case OV_EIMPL: words = "no encoding mode fits these settings"; break;
    case OV_EINVAL: words = "invalid setting"; break;
    case OV_EFAULT: words = "internal fault"; break;
    default: break;
    }
    return QString::fromLatin1(words);
}

// Bit rates in kbps to libvorbisenc's bits/s, 0 meaning unset (-1).
long bps(int kbps) { return kbps > 0 ? long(kbps) * 1000 : -1; }

bool vbrRange(const OggSettings &s) { return s.minBitrate > 0 && s.maxBitrate > 0; }

// Sets up `vi` for `s`; returns 0 or a libvorbis error code.
int setUp(vorbis_info *vi, const OggSettings &s)
{
    if (s.quality >= 0) {
        int r = vorbis_encode_setup_vbr(vi, s.channels, s.sampleRate, float(s.quality) / 1000.0f);
        if (r == 0)
            r = vorbis_encode_setup_init(vi);
        return r;
    }
    int r = vorbis_encode_setup_managed(vi, s.channels, s.sampleRate, bps(s.maxBitrate), bps(s.bitrate), bps(s.minBitrate));
    // Nominal rate alone: average bit rate without hard limits, as other
    // encoders do for a plain "bit rate".
    if (r == 0 && s.minBitrate <= 0 && s.maxBitrate <= 0)
        r = vorbis_encode_ctl(vi, OV_ECTL_RATEMANAGE2_SET, nullptr);
    if (r == 0)
        r = vorbis_encode_setup_init(vi);
    return r;
}

QString describe(const OggSettings &s)
{
    QString what = s.quality >= 0 ? QStringLiteral("quality %1").arg(s.quality)
                                  : QStringLiteral("%1 kbps").arg(s.bitrate);
    if (s.quality < 0 && vbrRange(s))
        what += QStringLiteral(" (%1 to %2 kbps)").arg(s.minBitrate).arg(s.maxBitrate);
    return QStringLiteral("%1 at %2 Hz, %3").arg(what).arg(s.sampleRate).arg(s.channels == 1 ? "mono" : "stereo");
}

// Vorbis wants this many frames per analysis call at most; larger blocks only
// cost memory.
constexpr int kChunkFrames = 8192;

} // namespace

struct OggEncoder::State {
    vorbis_info vi{};
    vorbis_comment vc{};
    vorbis_dsp_state vd{};
    vorbis_block vb{};
    ogg_stream_state os{};
    int64_t packets = 0;     // audio packets so far
    int64_t pageGranule = 0; // granule position that closed the last page
    bool infoInit = false, commentInit = false, dspInit = false, blockInit = false, streamInit = false;

    ~State()
    {
        if (streamInit)
            ogg_stream_clear(&os);
        if (blockInit)
            vorbis_block_clear(&vb);
        if (dspInit)
            vorbis_dsp_clear(&vd);
        if (commentInit)
            vorbis_comment_clear(&vc);
        if (infoInit)
            vorbis_info_clear(&vi);
    }
};

void OggEncoder::check(const OggSettings &s)
{
    if (s.sampleRate <= 0)
        throw AudioError(QStringLiteral("Ogg Vorbis sample rate %1 Hz is not valid").arg(s.sampleRate));
    if (s.channels != 1 && s.channels != 2)
        throw AudioError(QStringLiteral("Ogg Vorbis channel count %1 is not valid (1 or 2)").arg(s.channels));
    if (s.quality != -1 && (s.quality < 0 || s.quality > 1000))
        throw AudioError(QStringLiteral("Ogg Vorbis quality %1 is not valid (100 to 1000, or -1 for bit rates)").arg(s.quality));
    if (s.quality < 0) {
        if (s.bitrate <= 0)
            throw AudioError(QStringLiteral("Ogg Vorbis bit rate %1 kbps is not valid").arg(s.bitrate));
        if (s.minBitrate < 0 || s.maxBitrate < 0)
            throw AudioError(QStringLiteral("Ogg Vorbis bit rates %1 to %2 kbps are not valid").arg(s.minBitrate).arg(s.maxBitrate));
        if (vbrRange(s) && !(s.minBitrate <= s.bitrate && s.bitrate <= s.maxBitrate))
            throw AudioError(QStringLiteral("Ogg Vorbis bit rate %1 kbps is not between the minimum %2 and the maximum %3 kbps")
                                 .arg(s.bitrate).arg(s.minBitrate).arg(s.maxBitrate));
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    const int r = setUp(&vi, s);
    vorbis_info_clear(&vi);
    if (r != 0)
        throw AudioError(QStringLiteral("Ogg Vorbis cannot encode %1: %2").arg(describe(s), vorbisErrorText(r)));
}

bool OggEncoder::usable(const OggSettings &settings)
{
    OggSettings s = settings;
    s.quality = -1;
    try {
        check(s);
        return true;
    } catch (const AudioError &) {
        return false;
    }
}

// Everything that can refuse the settings runs before the file is opened.
OggEncoder::OggEncoder(const QString &path, const OggSettings &settings)
    : settings_((check(settings), settings)), s_(std::make_unique<State>()), file_(path)
{
    State &s = *s_;
    vorbis_info_init(&s.vi);
    s.infoInit = true;
    if (const int r = setUp(&s.vi, settings_))
        throw AudioError(QStringLiteral("Cannot create \"%1\": Ogg Vorbis cannot encode %2: %3")
                             .arg(file_.path(), describe(settings_), vorbisErrorText(r)));
    vorbis_comment_init(&s.vc);
    s.commentInit = true;
    if (const int r = vorbis_analysis_init(&s.vd, &s.vi))
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(file_.path(), vorbisErrorText(r)));
    s.dspInit = true;
    vorbis_block_init(&s.vd, &s.vb);
    s.blockInit = true;
    ogg_stream_init(&s.os, int(QRandomGenerator::global()->generate() & 0x7fffffff));
    s.streamInit = true;

    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&s.vd, &s.vc, &header, &comment, &code);
    ogg_stream_packetin(&s.os, &header);
    ogg_stream_packetin(&s.os, &comment);
    ogg_stream_packetin(&s.os, &code);
    // Audio must start on a page of its own.
    writePages(true);
}

OggEncoder::~OggEncoder() = default;

void OggEncoder::write(const float *pcm, int64_t frames)
{
    const int ch = settings_.channels;
    while (frames > 0) {
        const int n = int(std::min<int64_t>(frames, kChunkFrames));
        float **buffer = vorbis_analysis_buffer(&s_->vd, n);
        for (int c = 0; c < ch; ++c) {
            float *dst = buffer[c];
            const float *src = pcm + c;
            for (int i = 0; i < n; ++i)
                dst[i] = src[i * ch];
        }
        vorbis_analysis_wrote(&s_->vd, n);
        drain();
        pcm += int64_t(n) * ch;
        frames -= n;
    }
}

void OggEncoder::finish()
{
    vorbis_analysis_wrote(&s_->vd, 0);
    drain();
    writePages(true);
    file_.commit();
}

void OggEncoder::drain()
{
    State &s = *s_;
    while (vorbis_analysis_blockout(&s.vd, &s.vb) == 1) {
        vorbis_analysis(&s.vb, nullptr);
        vorbis_bitrate_addblock(&s.vb);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&s.vd, &packet) == 1) {
            ogg_stream_packetin(&s.os, &packet);
            // Decoders find the encoder delay from the first audio page only
            // when that page does not also end the stream: close it after two
            // packets. Later pages span at most a second, for seeking.
            ++s.packets;
            if (s.packets == 2 || packet.granulepos - s.pageGranule >= settings_.sampleRate) {
                writePages(true);
                s.pageGranule = packet.granulepos;
            } else {
                writePages(false);
            }
        }
    }
}

void OggEncoder::writePages(bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(&s_->os, &page) : ogg_stream_pageout(&s_->os, &page)) {
        file_.append(page.header, page.header_len);
        file_.append(page.body, page.body_len);
    }
}

} // namespace audio_detail
