// Joining MP3 files by copying their frames. The sources' frames keep their
// own time grid: frame k of a source always decodes to the samples it was
// encoded from. So where two files meet, the next file's grid falls where it
// falls, generally not where the last sample of the file before ends. A few
// frames at each join (the bridge) are encoded anew from both files' decoded
// audio, stretched or squeezed by the less than half a frame the grids
// disagree, so that no sample is lost or added and the copied frames around
// it decode as in their own files.
#include "audio/Mp3FrameCutter.h"
#include "audio/Mp3FrameSource.h"

#include "audio/AudioError.h"
#include "audio/Decoder.h"

#include <QDir>
#include <QSaveFile>

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

using namespace audio_detail;
using namespace audio_detail::mp3;

namespace {

QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }

// At most this share of a bridge is stretch: 2 % is about a third of a semitone.
constexpr double kMaxStretch = 0.02;
constexpr int64_t kMinBridgeFrames = 3;

// Decoded samples [from, to) of a file, zeros outside it.
std::vector<float> decodedRange(const QString &path, int64_t from, int64_t to, int channels)
{
    std::vector<float> out(size_t(std::max<int64_t>(0, to - from) * channels), 0.0f);
    Decoder dec(path);
    const int64_t lo = std::max<int64_t>(0, from), hi = std::min(to, dec.length());
    if (hi <= lo)
        return out;
    dec.seek(lo);
    int64_t at = lo;
    while (at < hi) {
        const PcmArray pcm = dec.read(hi - at);
        if (pcm.empty())
            break;
        const int64_t n = int64_t(pcm.size()) / channels;
        std::copy(pcm.begin(), pcm.end(), out.begin() + (at - from) * channels);
        at += n;
    }
    return out;
}

// Samples `in` (interleaved) read at `count` evenly spaced points from 0 to
// `span` (exclusive), linearly interpolated; in holds at least span + 1 frames.
std::vector<float> stretched(const std::vector<float> &in, double span, int64_t count, int channels)
{
    std::vector<float> out(size_t(count * channels));
    const int64_t frames = int64_t(in.size()) / channels;
    for (int64_t j = 0; j < count; ++j) {
        const double pos = double(j) * span / double(count);
        const int64_t i = std::min<int64_t>(int64_t(pos), frames - 1);
        const int64_t i1 = std::min(i + 1, frames - 1);
        const float t = float(pos - double(i));
        for (int c = 0; c < channels; ++c)
            out[size_t(j * channels + c)] = in[size_t(i * channels + c)] * (1 - t) + in[size_t(i1 * channels + c)] * t;
    }
    return out;
}

// Bytes of main data a frame's granules use, from the part2_3_length fields of its side information.
int usedMainBytes(const uchar *frame, const MpegFrameHeader &h)
{
    const uchar *side = frame + 4 + (h.crc ? 2 : 0);
    int bit = 0;
    const auto read = [&](int n) {
        int v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = v << 1 | ((side[bit >> 3] >> (7 - (bit & 7))) & 1);
        return v;
    };
    const int ch = h.channels();
    const int granules = h.mpeg1() ? 2 : 1;
    bit = h.mpeg1() ? 9 + (ch == 1 ? 5 : 3) + 4 * ch : 8 + (ch == 1 ? 1 : 2);
    int64_t bits = 0;
    for (int g = 0; g < granules; ++g)
        for (int c = 0; c < ch; ++c) {
            bits += read(12);
            bit += h.mpeg1() ? 47 : 51; // the rest of the granule's fields
        }
    return int((bits + 7) / 8);
}

struct LameDeleter {
    void operator()(lame_global_flags *g) const { lame_close(g); }
};

// Encodes `pcm` and returns LAME's frames, each a byte array; `delay` gets the encoder's delay.
std::vector<QByteArray> encodeFrames(const std::vector<float> &pcm, const MpegFrameHeader &h, int kbps, int &delay)
{
    std::unique_ptr<lame_global_flags, LameDeleter> g(lame_init());
    if (!g)
        throw AudioError(QStringLiteral("the MP3 encoder could not be started"));
    const int ch = h.channels();
    lame_set_in_samplerate(g.get(), h.sampleRate);
    lame_set_out_samplerate(g.get(), h.sampleRate);
    lame_set_num_channels(g.get(), ch);
    lame_set_mode(g.get(), MPEG_mode(h.modeBits));
    lame_set_VBR(g.get(), vbr_off);
    lame_set_brate(g.get(), kbps);
    lame_set_quality(g.get(), 2);
    lame_set_bWriteVbrTag(g.get(), 0);
    lame_set_write_id3tag_automatic(g.get(), 0);
    // Every bridge frame holds its own main data: frames can then be dropped
    // in front of it, and the frame after it can be given the bytes it reaches back for.
    lame_set_disable_reservoir(g.get(), 1);
    if (lame_init_params(g.get()) < 0)
        throw AudioError(QStringLiteral("the MP3 encoder refused %1 Hz at %2 kbps").arg(h.sampleRate).arg(kbps));
    delay = lame_get_encoder_delay(g.get());
    const int64_t frames = int64_t(pcm.size()) / ch;
    std::vector<unsigned char> bytes(size_t(frames * 5 / 4 + 7200) + 16384);
    int n = ch == 2 ? lame_encode_buffer_interleaved_ieee_float(g.get(), pcm.data(), int(frames), bytes.data(), int(bytes.size()))
                    : lame_encode_buffer_ieee_float(g.get(), pcm.data(), nullptr, int(frames), bytes.data(), int(bytes.size()));
    if (n < 0)
        throw AudioError(QStringLiteral("the MP3 encoder failed (%1)").arg(n));
    const int m = lame_encode_flush(g.get(), bytes.data() + n, int(bytes.size()) - n);
    if (m < 0)
        throw AudioError(QStringLiteral("the MP3 encoder failed (%1)").arg(m));
    n += m;
    std::vector<QByteArray> out;
    for (int pos = 0; pos + 4 <= n;) {
        MpegFrameHeader f;
        if (!parseMpegHeader(bytes.data() + pos, f) || pos + f.length > n)
            throw AudioError(QStringLiteral("the MP3 encoder wrote a frame that cannot be read back"));
        out.emplace_back(reinterpret_cast<const char *>(bytes.data() + pos), f.length);
        pos += f.length;
    }
    return out;
}

// A piece of the output: frames [from, to) of a source, or frames of our own.
struct Piece {
    const Mp3FrameCutter::Impl *src = nullptr;
    int64_t from = 0, to = 0;
    std::vector<QByteArray> own;
};

} // namespace

// Grows the last bridge frame so that its main data ends with the reservoir
// bytes the copied frame `b` of `next` and those after it reach back for;
// false when no frame of this rate is large enough for both.
static bool carryReservoir(QByteArray &frame, const Mp3FrameCutter::Impl &next, int64_t b)
{
    const int64_t need = next.reservoirNeed(b);
    if (need <= 0)
        return true;
    MpegFrameHeader h;
    const uchar *old = reinterpret_cast<const uchar *>(frame.constData());
    parseMpegHeader(old, h);
    const int mainOffset = 4 + (h.crc ? 2 : 0) + h.sideInfoSize();
    const int used = usedMainBytes(old, h);
    int index = h.bitrateIndex;
    while (index < 15 && mpegFrameLength(h, index, 0) - mainOffset - used < need)
        ++index;
    if (index == 15)
        return false;
    QByteArray grown(mpegFrameLength(h, index, 0), '\0');
    uchar *p = reinterpret_cast<uchar *>(grown.data());
    std::memcpy(p, old, size_t(mainOffset + used));
    p[2] = uchar(index << 4 | (old[2] & 0x0D)); // the mode extension stays: the frame's audio is coded with it
    next.reservoir(b, need, p + grown.size());
    frame = grown;
    return true;
}

LosslessJoinResult Mp3FrameCutter::join(const QString &path, const std::vector<const Mp3FrameCutter *> &sources,
                                        const Progress &progress)
{
    if (sources.empty())
        throw AudioError(QStringLiteral("Cannot write %1: there is nothing to join").arg(nameOf(path)));
    const Impl &s0 = *sources.front()->d;
    const int64_t spf = s0.spf;
    const int channels = s0.first.channels();
    LosslessJoinResult result;
    result.sampleRate = s0.first.sampleRate;
    for (const Mp3FrameCutter *s : sources) {
        const Impl &d = *s->d;
        if (d.first.sampleRate != s0.first.sampleRate || d.first.versionIndex != s0.first.versionIndex
            || d.first.modeBits != s0.first.modeBits)
            d.refuse(QStringLiteral("its sample rate or channel mode differs from %1's").arg(nameOf(s0.path)));
        result.starts.push_back(result.length);
        result.length += d.length;
    }
    const int64_t total = result.length;
    // Frames after a bridge whose decode still hears it: the decoder's
    // overlap and filterbank state need a granule pair to settle.
    const int64_t settle = s0.first.mpeg1() ? 1 : 2;

    std::vector<Piece> pieces;
    int64_t W = 0; // audio frames of the output so far
    int64_t D = 0; // the output's encoder delay
    if (s0.skip < kDecoderLag) {
        // No delay recorded: a silent frame in front gives the decoder's lag
        // something to drop.
        pieces.push_back({nullptr, 0, 0, {s0.leadFrame(false, 0)}});
        W = 1;
        D = s0.skip + spf - kDecoderLag;
    } else {
        D = s0.skip - kDecoderLag;
    }
    int64_t b = 0; // the current source's first frame to copy
    for (size_t i = 0; i < sources.size(); ++i) {
        const Impl &A = *sources[i]->d;
        const bool last = i + 1 == sources.size();
        const int64_t C = result.starts[i];
        // How far the source's own grid lies from where its samples belong.
        const int64_t shiftA = (W - b) * spf - D - kDecoderLag - C + A.skip;
        result.shifts.push_back(shiftA);
        const int64_t endFrame = (A.length + A.skip) / spf - 1;
        if (last && shiftA == 0) {
            pieces.push_back({&A, b, int64_t(A.frames.size()), {}});
            W += int64_t(A.frames.size()) - b;
            break;
        }
        // A bridge after A: to the next source, or, after the last, to the end.
        int64_t eA = endFrame;
        if (last)
            eA -= int64_t(std::ceil(std::abs(double(shiftA)) / (kMaxStretch * double(spf))));
        if (eA <= b + settle)
            A.refuse(QStringLiteral("it is too short to be joined without re-encoding"));
        pieces.push_back({&A, b, eA, {}});
        W += eA - b;
        const int64_t x0 = W * spf - D - kDecoderLag; // the output sample the bridge begins at
        const int64_t a0 = eA * spf - A.skip;          // and A's sample there
        int64_t nb = 0, bB = 0, span = 0, shiftB = 0;
        const Impl *B = last ? nullptr : sources[i + 1]->d.get();
        if (B) {
            bB = B->skip / spf + 2;
            const int64_t base = (W - bB) * spf - D - kDecoderLag - (C + A.length) + B->skip;
            // B's grid within a frame of where B's samples belong, and as near
            // as that allows to A's, so that the bridge stretches little.
            nb = int64_t(std::floor(double(spf / 2 - base) / double(spf)));
            for (const int64_t alt : {nb - 1, nb + 1}) {
                const int64_t s = base + alt * spf;
                if (std::abs(s) < spf && std::abs(shiftA - s) < std::abs(shiftA - (base + nb * spf)))
                    nb = alt;
            }
            shiftB = base + nb * spf;
            const int64_t stretch = std::abs(shiftA - shiftB);
            const int64_t want = std::max<int64_t>(kMinBridgeFrames,
                                                   int64_t(std::ceil(double(stretch) / (kMaxStretch * double(spf)))));
            if (nb < want) {
                bB += want - nb;
                nb = want;
            }
            if (bB + settle >= int64_t(B->frames.size()) - 2)
                B->refuse(QStringLiteral("it is too short to be joined without re-encoding"));
            span = nb * spf;
        } else {
            span = total - x0;
            nb = (span + spf - 1) / spf;
        }
        // The audio the bridge stands for: A's end, then B's start, at their
        // own rate; `content` of it fill `span` output samples.
        const int64_t content = (A.length - a0) + (B ? bB * spf - B->skip : 0);
        int kbps = 0;
        {
            MpegFrameHeader h;
            parseMpegHeader(A.data + A.frames[size_t(eA - 1)].offset, h);
            kbps = std::max(h.bitrateKbps, s0.first.mpeg1() ? 128 : 64);
        }
        // LAME's delay decides how much audio goes in front so that its frame J0 starts at x0.
        int lameDelay = 576;
        const int64_t J0 = (lameDelay + kDecoderLag + spf - 1) / spf + 1;
        const int64_t pre = J0 * spf - lameDelay - kDecoderLag;
        const int64_t post = 3 * spf;
        std::vector<float> before = decodedRange(A.path, a0 - pre, a0, channels);
        std::vector<float> body = decodedRange(A.path, a0, A.length, channels);
        if (B) {
            const std::vector<float> head = decodedRange(B->path, 0, bB * spf - B->skip + post + 1, channels);
            body.insert(body.end(), head.begin(), head.end());
        }
        body.resize(size_t((content + 1) * channels), 0.0f); // the sample after, for the interpolation
        std::vector<float> feed = before;
        const std::vector<float> mid = stretched(body, double(content), std::min(span, nb * spf), channels);
        feed.insert(feed.end(), mid.begin(), mid.end());
        feed.resize(size_t((pre + nb * spf) * channels), 0.0f);
        if (B) {
            const std::vector<float> tail = decodedRange(B->path, bB * spf - B->skip, bB * spf - B->skip + post, channels);
            feed.insert(feed.end(), tail.begin(), tail.end());
        } else {
            feed.resize(feed.size() + size_t(post * channels), 0.0f);
        }
        // The last bridge frame carries the next frames' reservoir besides its
        // own audio: where a frame of the highest rate cannot hold both, the
        // bridge is encoded again at a lower rate.
        std::vector<QByteArray> bridge;
        for (;;) {
            std::vector<QByteArray> frames;
            try {
                frames = encodeFrames(feed, A.first, kbps, lameDelay);
            } catch (const AudioError &e) {
                A.refuse(QStringLiteral("the join after it: %1").arg(e.text()));
            }
            if (lameDelay != 576 || int64_t(frames.size()) < J0 + nb)
                A.refuse(QStringLiteral("the join after it could not be encoded"));
            bridge.assign(frames.begin() + J0, frames.begin() + J0 + nb);
            if (!B || carryReservoir(bridge.back(), *B, bB))
                break;
            if (kbps <= (s0.first.mpeg1() ? 64 : 32))
                B->refuse(QStringLiteral("its bit reservoir is larger than a frame can carry"));
            kbps = kbps * 3 / 4;
        }
        pieces.push_back({nullptr, 0, 0, bridge});
        W += nb;
        result.bridges.push_back({x0, B ? std::min(total, x0 + span + settle * spf) : total});
        b = bB;
    }

    const int64_t padding = W * spf - D - total;
    if (D < 0 || D > kMaxField || padding < 0 || padding > kMaxField)
        s0.refuse(QStringLiteral("the join's encoder delay or padding does not fit its info frame"));

    // The frames' offsets for the info frame's seek table, and its music CRC.
    std::vector<int64_t> offsets;
    int64_t bytes = 0;
    uint16_t musicCrc = 0;
    bool constant = true;
    const int firstIndex = s0.frames.front().bitrateIndex;
    for (const Piece &p : pieces) {
        if (p.src) {
            for (int64_t k = p.from; k < p.to; ++k) {
                offsets.push_back(bytes + p.src->frames[size_t(k)].offset - p.src->frames[size_t(p.from)].offset);
                constant = constant && p.src->frames[size_t(k)].bitrateIndex == firstIndex;
            }
            const int64_t n = p.to > p.from ? p.src->frames[size_t(p.to - 1)].offset + p.src->frames[size_t(p.to - 1)].length
                                                  - p.src->frames[size_t(p.from)].offset
                                            : 0;
            if (n > 0)
                musicCrc = mp3MusicCrc(musicCrc, p.src->data + p.src->frames[size_t(p.from)].offset, n);
            bytes += n;
        } else {
            for (const QByteArray &f : p.own) {
                offsets.push_back(bytes);
                constant = constant && (uchar(f[2]) >> 4) == firstIndex;
                musicCrc = mp3MusicCrc(musicCrc, reinterpret_cast<const uchar *>(f.constData()), f.size());
                bytes += f.size();
            }
        }
    }
    const QByteArray info = s0.infoFrame(W, bytes, constant, firstIndex, D, padding, musicCrc, offsets);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(nameOf(path), out.errorString()));
    const auto put = [&](const char *p, int64_t n) {
        if (n > 0 && out.write(p, n) != n)
            throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
    };
    put(info.constData(), info.size());
    int64_t written = 0;
    for (const Piece &p : pieces) {
        if (!p.src) {
            for (const QByteArray &f : p.own)
                put(f.constData(), f.size());
            continue;
        }
        if (p.to <= p.from)
            continue;
        const int64_t from = p.src->frames[size_t(p.from)].offset;
        const int64_t to = p.src->frames[size_t(p.to - 1)].offset + p.src->frames[size_t(p.to - 1)].length;
        for (int64_t at = from; at < to; at += kProgressBytes) {
            const int64_t n = std::min(kProgressBytes, to - at);
            put(reinterpret_cast<const char *>(p.src->data + at), n);
            written += n;
            if (progress && !progress(written, bytes))
                throw Cancelled{};
        }
        p.src->release(from, to);
    }
    if (!out.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
    return result;
}
