#include "audio/MpegScan.h"
#include "audio/ByteOrder.h"
#include "audio/Mp3InfoTag.h"

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

// A frame at pos that the next `confirm` frames of the same stream (or the end
// of the data) confirm.
bool confirmedFrame(const uchar *data, int64_t size, int64_t pos, MpegFrameHeader &h, int confirm = 1)
{
    if (pos + 4 > size || !parseMpegHeader(data + pos, h))
        return false;
    int64_t next = pos + h.length;
    for (int i = 0; i < confirm; ++i) {
        if (next > size)
            return false;
        if (next + 4 > size)
            return true;
        MpegFrameHeader n;
        if (!parseMpegHeader(data + next, n) || !sameStream(h, n))
            return false;
        next += n.length;
    }
    return true;
}

// Bytes of a tag starting at pos (ID3v2, ID3v1, APE, Lyrics3), 0 when none
// does. Such tags sit between the files of a joined one.
int64_t tagSizeAt(const uchar *data, int64_t pos, int64_t end)
{
    const int64_t avail = end - pos;
    const uchar *p = data + pos;
    if (avail >= 10 && p[0] == 'I' && p[3] < 5 && p[4] != 0xFF)
        if (const int64_t id3 = id3v2TagSize(p, avail); id3 > 0)
            return std::min(id3, avail);
    if (avail >= 128 && std::memcmp(p, "TAG", 3) == 0)
        return 128;
    if (avail >= 32 && std::memcmp(p, "APETAGEX", 8) == 0) {
        const int64_t size = p[12] | p[13] << 8 | p[14] << 16 | int64_t(p[15]) << 24;
        const bool isHeader = p[23] & 0x20;
        return std::min(avail, isHeader ? 32 + size : 32);
    }
    if (avail >= 11 && std::memcmp(p, "LYRICSBEGIN", 11) == 0) {
        // Lyrics3 closes with LYRICSEND (v1) or a size and LYRICS200 (v2).
        const int64_t limit = std::min<int64_t>(avail, 1 << 20);
        for (int64_t i = 11; i + 9 <= limit; ++i)
            if (std::memcmp(p + i, "LYRICS200", 9) == 0 || std::memcmp(p + i, "LYRICSEND", 9) == 0)
                return i + 9;
        return limit;
    }
    return 0;
}

constexpr int64_t kIndexStep = 16; // frames between the walker's seek points
constexpr int kLargestFrame = 1441; // bytes: MPEG-1 layer III at 320 kbps and 32 kHz

} // namespace

MpegFrameWalker::MpegFrameWalker(const uchar *data, int64_t begin, int64_t end, const MpegFrameHeader &stream, bool stopAtNextStream,
                                 bool countLost)
    : data_(data), end_(end), stream_(stream), stopAtNextStream_(stopAtNextStream), countLost_(countLost)
{
    state_.pos = begin;
    index_.push_back(state_);
}

MpegFrameWalker::Step MpegFrameWalker::next()
{
    State &st = state_;
    const auto stop = [&](int64_t at) {
        stoppedAt_ = at;
        st.pos = end_;
        return Step{};
    };
    while (st.pos + 4 <= end_) {
        MpegFrameHeader h;
        if (parseMpegHeader(data_ + st.pos, h) && sameStream(h, stream_) && st.pos + h.length <= end_) {
            if (readMp3InfoTag(data_, st.pos, st.pos + h.length, h).present) {
                // The first frame of another file joined to this one.
                if (stopAtNextStream_)
                    return stop(st.pos);
                st.pos += h.length;
                continue;
            }
            if (st.frame >= index_.back().frame + kIndexStep)
                index_.push_back(st);
            if (st.bitrateIndex == 0)
                st.bitrateIndex = h.bitrateIndex;
            st.constant = st.constant && h.bitrateIndex == st.bitrateIndex;
            Step s;
            s.kind = Step::Frame;
            s.offset = st.pos;
            s.bytes = h.length;
            st.pos += h.length;
            st.bytes += h.length;
            ++st.frame;
            return s;
        }
        if (const int64_t tag = tagSizeAt(data_, st.pos, end_)) {
            if (stopAtNextStream_)
                return stop(st.pos);
            st.pos += tag;
            continue;
        }
        // Damage: resynchronise on the next frame of this stream that the
        // following one confirms (in a walk that stops at the next stream,
        // also on three frames of another format, or on a tag).
        const int64_t from = st.pos;
        int64_t q = from;
        bool nextStream = false;
        for (; q + 4 <= end_; ++q) {
            if (data_[q] == 0xFF) {
                if (q > from && confirmedFrame(data_, end_, q, h) && sameStream(h, stream_))
                    break;
                if (stopAtNextStream_ && confirmedFrame(data_, end_, q, h, 2)) {
                    nextStream = true;
                    break;
                }
            } else if (q > from && (data_[q] == 'I' || data_[q] == 'T' || data_[q] == 'A' || data_[q] == 'L') && tagSizeAt(data_, q, end_) > 0) {
                nextStream = stopAtNextStream_;
                break;
            }
        }
        q = std::min(q, end_);
        st.pos = q;
        const int64_t gap = q - from;
        // A frame cut off at the end of the data is not damage, nor is a stray
        // byte or two between frames.
        if ((q >= end_ && gap < 2 * kLargestFrame) || gap < std::max(4, stream_.length / 2)) {
            if (nextStream)
                return stop(q);
            continue;
        }
        Step s;
        s.kind = Step::Lost;
        s.offset = from;
        s.bytes = gap;
        if (st.constant && st.frame > 0 && countLost_) {
            // A constant bit rate gives every frame the same length (to a
            // padding byte), so the stretch held a known number of frames.
            const int kbps = kBitrates[stream_.mpeg1() ? 0 : 1][stream_.layer - 1][st.bitrateIndex];
            const double bytesPerFrame = double(stream_.samplesPerFrame) * kbps * 125.0 / stream_.sampleRate;
            s.frames = int64_t(double(gap) / bytesPerFrame + 0.5);
            s.exact = true;
            st.frame += s.frames;
            st.lost += s.frames;
        } else {
            const double average = st.frame > 0 ? double(st.bytes) / double(st.frame) : double(stream_.length);
            s.frames = int64_t(double(gap) / average + 0.5);
        }
        if (nextStream) {
            // The stretch is reported now, the end of the walk on the next call.
            stoppedAt_ = q;
            st.pos = end_;
        }
        return s;
    }
    return stop(stoppedAt_ >= 0 ? stoppedAt_ : std::min(st.pos, end_));
}

int64_t MpegFrameWalker::seekFrame(int64_t frame)
{
    const auto atOrBefore = [&] {
        auto it = std::upper_bound(index_.begin(), index_.end(), frame, [](int64_t f, const State &s) { return f < s.frame; });
        return it == index_.begin() ? it : it - 1;
    };
    auto it = atOrBefore();
    if (it + 1 == index_.end() && frame >= it->frame + kIndexStep && stoppedAt_ < 0) {
        // Beyond the frames seen so far: walk the headers ahead.
        state_ = *it;
        while (state_.frame <= frame && next().kind != Step::End) {
        }
        it = atOrBefore();
    }
    state_ = *it;
    stoppedAt_ = -1;
    return state_.frame;
}

namespace {

// One stream from its first frame at `begin`; returns where the next one
// begins (the end of the data when none does).
int64_t scanPart(const uchar *data, int64_t end, int64_t begin, const MpegFrameHeader &first, MpegPart &part)
{
    part.begin = begin;
    part.stream = first;
    const Mp3InfoTag tag = readMp3InfoTag(data, begin, begin + first.length, first);
    int64_t audio = begin;
    if (tag.present) {
        audio += first.length;
        part.vbr = tag.xing;
        part.taggedFrames = std::max<int64_t>(0, tag.frames);
        part.taggedBytes = std::max<int64_t>(0, tag.bytes);
        part.gapless = tag.encoderFields;
        part.encoderDelay = tag.delay;
        part.encoderPadding = tag.padding;
    }
    part.audioBegin = audio;
    // The info frame's header may say plain stereo where the audio frames use
    // joint stereo; the audio decides.
    MpegFrameHeader h;
    if (audio + 4 <= end && parseMpegHeader(data + audio, h) && sameStream(h, first))
        part.stream = h;

    // The tag counts the stream's bytes (its own frame included): when the rest
    // of the file holds exactly that many, its frame count is the truth and the
    // frames need not be walked. Anything more is another file joined on, or
    // damage: walk.
    if (part.taggedFrames > 0 && part.taggedBytes > 0 && std::abs(end - begin - part.taggedBytes) <= 4) {
        part.frames = part.taggedFrames;
        part.bytes = part.taggedBytes - (audio - begin);
        part.trusted = true;
        part.end = end;
        return end;
    }
    MpegFrameWalker walk(data, audio, end, part.stream, true);
    while (walk.next().kind != MpegFrameWalker::Step::End) {
    }
    part.frames = walk.frameIndex();
    part.bytes = walk.bytes();
    part.vbr = part.vbr || !walk.constantBitrate();
    if (walk.lostFrames() > 0 && part.frames - walk.lostFrames() == part.taggedFrames) {
        // Every frame the tag counts is there: the damage was inserted.
        part.frames -= walk.lostFrames();
        part.lostReplacedFrames = false;
    }
    part.trusted = part.taggedFrames > 0 && part.frames == part.taggedFrames;
    part.end = std::max(walk.stoppedAt(), audio + 1);
    return part.end;
}

// The first frame of a stream at or after pos, past tags and up to `limit`; -1 when none.
int64_t findStream(const uchar *data, int64_t end, int64_t pos, int64_t limit, MpegFrameHeader &h)
{
    for (int64_t skip; pos < end && (skip = tagSizeAt(data, pos, end)) > 0;)
        pos += skip;
    for (limit = std::min(limit, end); pos < limit; ++pos)
        if (confirmedFrame(data, end, pos, h))
            return pos;
    return -1;
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
    pos = findStream(data, end, pos, pos + 512 * 1024, first);
    if (pos < 0)
        return r;

    for (MpegFrameHeader h = first; pos >= 0 && pos < end;) {
        MpegPart part;
        const int64_t next = scanPart(data, end, pos, h, part);
        if (part.frames > 0)
            r.parts.push_back(part);
        if (next <= pos || next >= end)
            break;
        pos = findStream(data, end, next, end, h);
    }
    if (r.parts.empty())
        return r;

    const MpegPart &p0 = r.parts.front();
    const MpegFrameHeader &a = p0.stream;
    r.valid = true;
    r.layer = a.layer;
    r.sampleRate = a.sampleRate;
    r.samplesPerFrame = a.samplesPerFrame;
    r.version = a.versionIndex == 3 ? QStringLiteral("1.0") : a.versionIndex == 2 ? QStringLiteral("2.0") : QStringLiteral("2.5");
    r.channels = a.channels();
    static const char *const modes[] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono"};
    r.mode = QString::fromLatin1(modes[a.modeBits]);
    r.taggedFrames = p0.taggedFrames;
    r.gapless = p0.gapless;
    r.encoderDelay = p0.encoderDelay;
    r.encoderPadding = p0.encoderPadding;
    double seconds = 0;
    int64_t bytes = 0;
    for (const MpegPart &p : r.parts) {
        r.audioFrames += p.frames;
        r.audioBytes += p.trusted && p.taggedBytes > 0 ? p.taggedBytes : p.bytes;
        r.vbr = r.vbr || p.vbr || p.stream.bitrateIndex != a.bitrateIndex;
        seconds += double(p.frames) * p.stream.samplesPerFrame / p.stream.sampleRate;
        bytes += p.bytes;
    }
    r.bitrateKbps = a.bitrateKbps;
    if (r.vbr && seconds > 0)
        r.bitrateKbps = int(double(bytes) * 8 / seconds / 1000 + 0.5);
    return r;
}

} // namespace audio_detail
