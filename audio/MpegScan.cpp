#include "audio/MpegScan.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace audio_detail {
namespace {

constexpr int kBitrates[2][3][15] = {
    // MPEG 1: layer 1, 2, 3
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    // MPEG 2 and 2.5
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr int kRates[3] = {44100, 48000, 32000};

uint32_t be32(const uchar *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

} // namespace

// Free-format streams (bit rate index 0) are not recognised: FFmpeg's own
// support for them is partial and they practically do not occur.
bool parseMpegHeader(const uchar *p, MpegFrameHeader &h)
{
    const uint32_t v = be32(p);
    if ((v & 0xFFE00000u) != 0xFFE00000u)
        return false;
    h.versionIndex = int(v >> 19 & 3);
    const int layerBits = int(v >> 17 & 3);
    const int brIndex = int(v >> 12 & 15);
    const int srIndex = int(v >> 10 & 3);
    if (h.versionIndex == 1 || layerBits == 0 || brIndex == 0 || brIndex == 15 || srIndex == 3)
        return false;
    h.layer = 4 - layerBits;
    h.crc = !(v >> 16 & 1);
    h.padding = int(v >> 9 & 1);
    h.modeBits = int(v >> 6 & 3);
    h.bitrateIndex = brIndex;
    h.sampleRateIndex = srIndex;
    const bool mpeg1 = h.versionIndex == 3;
    h.bitrateKbps = kBitrates[mpeg1 ? 0 : 1][h.layer - 1][brIndex];
    h.sampleRate = kRates[srIndex] >> (mpeg1 ? 0 : h.versionIndex == 2 ? 1 : 2);
    h.samplesPerFrame = h.layer == 1 ? 384 : (h.layer == 3 && !mpeg1) ? 576 : 1152;
    h.length = mpegFrameLength(h, brIndex, h.padding);
    return h.length > 4;
}

int mpegFrameLength(const MpegFrameHeader &h, int bitrateIndex, int padding)
{
    const bool mpeg1 = h.versionIndex == 3;
    const int kbps = kBitrates[mpeg1 ? 0 : 1][h.layer - 1][bitrateIndex];
    if (h.layer == 1)
        return (12 * kbps * 1000 / h.sampleRate + padding) * 4;
    const int factor = (h.layer == 3 && !mpeg1) ? 72 : 144;
    return factor * kbps * 1000 / h.sampleRate + padding;
}

int64_t id3v2TagSize(const uchar *p, int64_t avail)
{
    if (avail < 10 || std::memcmp(p, "ID3", 3) != 0)
        return 0;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80)
        return 0;
    const int64_t size = (int64_t(p[6]) << 21) | (int64_t(p[7]) << 14) | (int64_t(p[8]) << 7) | p[9];
    return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

int64_t mpegDataEnd(const uchar *data, int64_t size, int64_t start)
{
    int64_t end = size;
    if (end >= 128 && std::memcmp(data + end - 128, "TAG", 3) == 0)
        end -= 128;
    if (end >= 32 && std::memcmp(data + end - 32, "APETAGEX", 8) == 0) {
        const uchar *f = data + end - 32;
        const int64_t tagSize = f[12] | f[13] << 8 | f[14] << 16 | int64_t(f[15]) << 24;
        const bool hasHeader = f[23] & 0x80;
        const int64_t whole = tagSize + (hasHeader ? 32 : 0);
        if (whole > 0 && whole <= end - start)
            end -= whole;
    }
    return end;
}

namespace {

bool sameStream(const MpegFrameHeader &a, const MpegFrameHeader &b)
{
    return a.versionIndex == b.versionIndex && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A frame at pos that the next frame (or the end of the data) confirms.
bool confirmedFrame(const uchar *data, int64_t size, int64_t pos, MpegFrameHeader &h)
{
    if (pos + 4 > size || !parseMpegHeader(data + pos, h))
        return false;
    const int64_t next = pos + h.length;
    if (next > size)
        return false;
    if (next + 4 > size)
        return true;
    MpegFrameHeader n;
    return parseMpegHeader(data + next, n) && sameStream(h, n);
}

} // namespace

MpegScan scanMpegFile(const QString &path)
{
    MpegScan r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return r;
    const int64_t size = file.size();
    if (size < 8)
        return r;
    const uchar *data = file.map(0, size);
    if (!data)
        return r;

    int64_t pos = 0;
    // Tags in front may repeat (some taggers append a second ID3v2 tag).
    for (int64_t skip; pos < size && (skip = id3v2TagSize(data + pos, size - pos)) > 0;)
        pos += skip;

    const int64_t end = mpegDataEnd(data, size, pos);

    MpegFrameHeader first;
    const int64_t searchLimit = std::min<int64_t>(end, pos + 512 * 1024);
    while (pos < searchLimit && !confirmedFrame(data, end, pos, first))
        ++pos;
    if (pos >= searchLimit)
        return r;

    r.valid = true;
    r.layer = first.layer;
    r.sampleRate = first.sampleRate;
    r.samplesPerFrame = first.samplesPerFrame;
    r.version = first.versionIndex == 3 ? QStringLiteral("1.0") : first.versionIndex == 2 ? QStringLiteral("2.0") : QStringLiteral("2.5");
    r.channels = first.modeBits == 3 ? 1 : 2;
    static const char *const modes[] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono"};
    r.mode = QString::fromLatin1(modes[first.modeBits]);
    r.bitrateKbps = first.bitrateKbps;

    // Info frame: a layer-3 frame carrying "Xing"/"Info" (after the side
    // information) or "VBRI" (at byte 36) instead of audio.
    int64_t taggedFrames = -1;
    int64_t taggedBytes = -1;
    const int64_t streamStart = pos;
    if (first.layer == 3) {
        const bool mpeg1 = first.versionIndex == 3;
        const int side = mpeg1 ? (r.channels == 1 ? 17 : 32) : (r.channels == 1 ? 9 : 17);
        const int64_t x = pos + 4 + side;
        const uchar *fp = data + pos;
        const int64_t frameEnd = pos + first.length;
        if (x + 8 <= frameEnd && (std::memcmp(data + x, "Xing", 4) == 0 || std::memcmp(data + x, "Info", 4) == 0)) {
            r.vbr = std::memcmp(data + x, "Xing", 4) == 0;
            const uint32_t flags = be32(data + x + 4);
            int64_t q = x + 8;
            if ((flags & 1) && q + 4 <= frameEnd) {
                taggedFrames = be32(data + q);
                q += 4;
            }
            if ((flags & 2) && q + 4 <= frameEnd) {
                taggedBytes = be32(data + q);
                q += 4;
            }
            if (flags & 4)
                q += 100;
            if (flags & 8)
                q += 4;
            // The encoder's extension: 9 bytes of version, then 12 bits of delay and
            // 12 of padding at byte 21. FFmpeg trusts it from these writers only.
            if (q + 24 <= frameEnd && (std::memcmp(data + q, "LAME", 4) == 0 || std::memcmp(data + q, "Lavf", 4) == 0 ||
                                       std::memcmp(data + q, "Lavc", 4) == 0)) {
                const uchar *e = data + q + 21;
                r.encoderDelay = e[0] << 4 | e[1] >> 4;
                r.encoderPadding = (e[1] & 15) << 8 | e[2];
                r.gapless = taggedFrames > 0;
            }
            pos = frameEnd;
        } else if (pos + 36 + 18 <= frameEnd && std::memcmp(fp + 36, "VBRI", 4) == 0) {
            r.vbr = true;
            taggedBytes = be32(fp + 36 + 10);
            taggedFrames = be32(fp + 36 + 14);
            pos = frameEnd;
        }
    }

    // Walk the frames. After damage, resynchronise on the next confirmed
    // frame of the same stream.
    int64_t frames = 0, bytes = 0;
    bool varying = false;
    MpegFrameHeader h;
    while (pos + 4 <= end) {
        if (parseMpegHeader(data + pos, h) && sameStream(h, first) && pos + h.length <= end) {
            if (frames == 0) {
                // The info frame's header may say plain stereo where the audio
                // frames use joint stereo; the audio decides.
                r.mode = QString::fromLatin1(modes[h.modeBits]);
                r.channels = h.modeBits == 3 ? 1 : 2;
                if (!r.vbr)
                    r.bitrateKbps = h.bitrateKbps;
                first.bitrateKbps = h.bitrateKbps;
            }
            ++frames;
            bytes += h.length;
            // The info tag counts the stream's bytes (its own frame included):
            // when the file holds exactly that many, its frame count is the
            // truth and the rest need not be walked.
            if (frames == 1 && taggedFrames > 0 && taggedBytes > 0 && std::abs(end - streamStart - taggedBytes) <= 4) {
                frames = taggedFrames;
                bytes = taggedBytes - (pos - streamStart);
                break;
            }
            varying = varying || h.bitrateKbps != first.bitrateKbps;
            pos += h.length;
            continue;
        }
        ++pos;
        while (pos + 4 <= end && !(confirmedFrame(data, end, pos, h) && sameStream(h, first)))
            ++pos;
    }
    r.vbr = r.vbr || varying;
    r.audioFrames = frames;
    r.taggedFrames = std::max<int64_t>(0, taggedFrames);
    r.audioBytes = taggedBytes > 0 ? taggedBytes : bytes;
    if (r.vbr && r.audioFrames > 0) {
        const double seconds = double(r.audioFrames) * r.samplesPerFrame / r.sampleRate;
        r.bitrateKbps = int(double(bytes) * 8 / seconds / 1000 + 0.5);
    }
    return r;
}

} // namespace audio_detail
