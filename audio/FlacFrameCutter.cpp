#include "audio/FlacFrameCutter.h"

#include "audio/AudioError.h"
#include "audio/MappedSource.h"
#include "audio/FlacCutterIo.h"
#include "audio/FlacFrameCodec.h"
#include "audio/FlacFrames.h"
#include "audio/MpegScan.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstring>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

using namespace audio_detail;

namespace {

QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }

// A tagger writes the part's tag into this without moving the audio.
constexpr int kPaddingBytes = 8192;

struct Frame {
    int64_t offset = 0; // in the file
    int64_t first = 0;  // its first sample
    int32_t length = 0; // bytes, CRC-16 included
    int32_t blockSize = 0;
};

struct Block {
    int type = 0;
    int64_t offset = 0; // of its body
    int64_t length = 0;
};

void putBe(uint8_t *p, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        p[i] = uint8_t(v);
}

} // namespace

struct FlacFrameCutter::Impl : audio_detail::MappedSource {
    std::vector<Block> blocks;
    const uint8_t *streamInfo = nullptr; // 34 bytes
    int rate = 0, channels = 0, bits = 0, maxBlock = 0;
    std::vector<Frame> frames;
    int64_t length = 0;
    bool md5 = true;

    void readMetadata(int64_t &pos);
    void walk(int64_t pos, const Progress &progress);
    size_t frameAt(int64_t sample) const
    {
        const auto it = std::upper_bound(frames.begin(), frames.end(), sample,
                                         [](int64_t s, const Frame &f) { return s < f.first; });
        return size_t(it - frames.begin()) - 1;
    }
    // Samples [from, to) of frames a..b, decoded.
    std::vector<int32_t> decodeRange(size_t a, size_t b, int64_t from, int64_t to) const;
};

void FlacFrameCutter::Impl::readMetadata(int64_t &pos)
{
    for (int64_t skip; pos < size && (skip = id3v2TagSize(data + pos, size - pos)) > 0;)
        pos += skip;
    if (size - pos < 8 || std::memcmp(data + pos, "fLaC", 4) != 0)
        refuse(QStringLiteral("it is not a FLAC file"));
    pos += 4;
    for (bool last = false; !last;) {
        if (size - pos < 4)
            refuse(QStringLiteral("its metadata is incomplete"));
        last = data[pos] & 0x80;
        const int type = data[pos] & 0x7F;
        const int64_t len = int64_t(data[pos + 1]) << 16 | data[pos + 2] << 8 | data[pos + 3];
        pos += 4;
        if (type == 127 || len > size - pos || (blocks.empty() != (type == 0)) || (type == 0 && len != 34))
            refuse(QStringLiteral("its metadata is damaged at byte %1").arg(pos - 4));
        blocks.push_back({type, pos, len});
        pos += len;
    }
    streamInfo = data + blocks.front().offset;
    const uint8_t *s = streamInfo;
    maxBlock = s[2] << 8 | s[3];
    rate = int(uint32_t(s[10]) << 12 | s[11] << 4 | s[12] >> 4);
    channels = ((s[12] >> 1) & 7) + 1;
    bits = ((s[12] & 1) << 4 | s[13] >> 4) + 1;
    if (rate == 0 || bits < 4 || maxBlock < 16)
        refuse(QStringLiteral("its STREAMINFO is damaged"));
}

void FlacFrameCutter::Impl::walk(int64_t pos, const Progress &progress)
{
    const uint64_t tagged = uint64_t(streamInfo[13] & 15) << 32 | uint32_t(streamInfo[14]) << 24
                            | uint32_t(streamInfo[15]) << 16 | uint32_t(streamInfo[16]) << 8 | streamInfo[17];
    int64_t end = size;
    if (end - pos >= 128 && std::memcmp(data + end - 128, "TAG", 3) == 0)
        end -= 128; // an ID3v1 tag behind the frames
    bool variable = false;
    int64_t nextReport = pos + kProgressBytes;
    const auto sound = [&](const FlacFrameHeader &h, bool firstFrame, uint64_t number) {
        return (firstFrame || h.variable == variable) && h.number == number && h.channels() == channels
               && (h.bitsPerSample() == 0 || h.bitsPerSample() == bits) && (h.sampleRate() == 0 || h.sampleRate() == rate);
    };
    while (pos < end) {
        if (pos >= nextReport) {
            if (progress && !progress(pos, size))
                throw Cancelled{};
            nextReport = pos + kProgressBytes;
        }
        FlacFrameHeader h;
        const bool firstFrame = frames.empty();
        if (!parseFlacFrameHeader(data + pos, end - pos, h))
            refuse(QStringLiteral("its frames are damaged at byte %1").arg(pos));
        if (firstFrame)
            variable = h.variable;
        const uint64_t number = variable ? uint64_t(length) : frames.size();
        if (!sound(h, firstFrame, number))
            refuse(QStringLiteral("its frames are damaged at byte %1").arg(pos));
        // In a fixed-blocksize stream only the last frame may be shorter.
        if (!variable && !firstFrame && frames.back().blockSize != frames.front().blockSize)
            refuse(QStringLiteral("its frames are damaged at byte %1").arg(pos));
        // The frame ends where the next sound header begins and the CRC-16 of
        // everything before it comes out right.
        const uint64_t next = variable ? uint64_t(length + h.blockSize) : frames.size() + 1;
        if (end - pos < h.length + 2)
            refuse(QStringLiteral("it ends in an incomplete frame at byte %1").arg(pos));
        uint16_t crc = flacCrc16(0, data + pos, size_t(h.length));
        int64_t crcAt = pos + h.length, frameEnd = -1;
        for (int64_t q = pos + h.length + 2; q < end;) {
            const void *hit = std::memchr(data + q, 0xFF, size_t(end - q));
            if (!hit)
                break;
            const int64_t c = static_cast<const uint8_t *>(hit) - data;
            FlacFrameHeader n;
            if (c + 1 < end && (data[c + 1] & 0xFE) == 0xF8 && parseFlacFrameHeader(data + c, end - c, n)
                && sound(n, false, next)) {
                crc = flacCrc16(crc, data + crcAt, size_t(c - crcAt));
                crcAt = c;
                if (crc == 0) {
                    frameEnd = c;
                    break;
                }
            }
            q = c + 1;
        }
        if (frameEnd < 0) {
            crc = flacCrc16(crc, data + crcAt, size_t(end - crcAt));
            if (crc != 0)
                refuse(QStringLiteral("its frames are damaged or incomplete at byte %1").arg(pos));
            frameEnd = end;
        }
        frames.push_back({pos, length, int32_t(frameEnd - pos), h.blockSize});
        length += h.blockSize;
        pos = frameEnd;
    }
    if (frames.empty())
        refuse(QStringLiteral("it holds no audio frames"));
    if (tagged != 0 && tagged != uint64_t(length))
        refuse(QStringLiteral("its frames hold %1 samples, but its header says %2 (the file is incomplete)")
                   .arg(length).arg(tagged));
}

std::vector<int32_t> FlacFrameCutter::Impl::decodeRange(size_t a, size_t b, int64_t from, int64_t to) const
{
    std::vector<int32_t> out;
    out.reserve(size_t(to - from) * size_t(channels));
    int64_t at = frames[a].first;
    const int64_t bytes = frames[b].offset + frames[b].length - frames[a].offset;
    decodeFlacFrames(streamInfo, data + frames[a].offset, bytes, [&](const int32_t *pcm, int n) {
        const int64_t lo = std::max(from, at), hi = std::min(to, at + n);
        if (hi > lo)
            out.insert(out.end(), pcm + (lo - at) * channels, pcm + (hi - at) * channels);
        at += n;
        return true;
    });
    if (int64_t(out.size()) != (to - from) * channels)
        throw AudioError(QStringLiteral("its frames decode to fewer samples than they say"));
    return out;
}

FlacFrameCutter::FlacFrameCutter(const QString &path, const Progress &progress) : d(std::make_unique<Impl>())
{
    d->open(path);
    int64_t pos = 0;
    d->readMetadata(pos);
    d->walk(pos, progress);
}

FlacFrameCutter::~FlacFrameCutter() = default;

int64_t FlacFrameCutter::length() const { return d->length; }
int FlacFrameCutter::sampleRate() const { return d->rate; }
QString FlacFrameCutter::tooShort(int64_t, int64_t) const { return {}; }
void FlacFrameCutter::setComputeMd5(bool on) { d->md5 = on; }

namespace {

// A frame of the part: copied from the source or encoded anew.
struct OutFrame {
    const uint8_t *bytes = nullptr;
    int64_t length = 0;
    FlacFrameHeader header;
};

} // namespace

// One source's stretch [start, end) in a stream being written: a part of one
// file, or one file of a join.
struct FlacFrameCutter::Piece {
    const Impl *d = nullptr;
    int64_t start = 0, end = 0;
    size_t f0 = 0, f1 = 0; // the frames it goes through
};

void FlacFrameCutter::writePart(const QString &path, int64_t start, int64_t end, const QByteArray &,
                                const Progress &progress) const
{
    if (start < 0 || end < start || end > d->length)
        throw AudioError(QStringLiteral("Cannot write %1: samples %2 to %3 are outside %4")
                             .arg(nameOf(path)).arg(start).arg(end).arg(nameOf(d->path)));
    writeStream(path, {Piece{d.get(), start, end}}, true, carriesSourceTags(), progress);
}

void FlacFrameCutter::join(const QString &path, const std::vector<const FlacFrameCutter *> &sources,
                           const Progress &progress)
{
    if (sources.empty())
        throw AudioError(QStringLiteral("Cannot write %1: there is nothing to join").arg(nameOf(path)));
    std::vector<Piece> pieces;
    const Impl &first = *sources.front()->d;
    for (const FlacFrameCutter *s : sources) {
        const Impl &d = *s->d;
        // The frames keep the format of the stream they came from: one
        // STREAMINFO must describe them all.
        if (d.rate != first.rate)
            d.refuse(QStringLiteral("its sample rate is %1 Hz, %2 has %3 Hz").arg(d.rate).arg(nameOf(first.path)).arg(first.rate));
        if (d.channels != first.channels)
            d.refuse(QStringLiteral("it has %1 channels, %2 has %3").arg(d.channels).arg(nameOf(first.path)).arg(first.channels));
        if (d.bits != first.bits)
            d.refuse(QStringLiteral("its samples have %1 bits, %2 has %3").arg(d.bits).arg(nameOf(first.path)).arg(first.bits));
        pieces.push_back(Piece{&d, 0, d.length});
    }
    writeStream(path, pieces, false, false, progress);
}

void FlacFrameCutter::writeStream(const QString &path, std::vector<Piece> pieces, bool carryMetadata,
                                  bool carryTags, const Progress &progress)
{
    const Impl *const d = pieces.front().d; // its metadata heads the stream
    std::vector<QByteArray> encoded; // the frames made anew, kept until written
    std::vector<OutFrame> out;
    for (Piece &piece : pieces) {
        const Impl *const src = piece.d;
        const int64_t start = piece.start, end = piece.end;
        const std::vector<Frame> &frames = src->frames;
        const auto frameEnd = [&](size_t i) { return frames[i].first + frames[i].blockSize; };
        const auto encode = [&](size_t a, size_t b, int64_t from, int64_t to) {
            try {
                const std::vector<int32_t> pcm = src->decodeRange(a, b, from, to);
                return encodeFlacFrames(pcm.data(), to - from, src->rate, src->channels, src->bits, src->maxBlock);
            } catch (const AudioError &e) {
                src->refuse(QStringLiteral("the frame at byte %1: %2").arg(frames[a].offset).arg(e.text()));
            }
        };

        // Only the frames a cut falls in are decoded and encoded again. A first
        // frame under 16 samples is allowed only at the end of a stream, so such
        // a remainder goes together with the next frame.
        std::vector<QByteArray> head, tail;
        size_t f0 = 0, f1 = 0, copyFrom = 0, copyTo = 0;
        if (end > start) {
            f0 = src->frameAt(start);
            f1 = src->frameAt(end - 1);
            copyFrom = f0;
            copyTo = f1 + 1;
            if (start != frames[f0].first || (f0 == f1 && end != frameEnd(f1))) {
                size_t h = f0;
                if (std::min(end, frameEnd(f0)) - start < 16 && f0 < f1)
                    ++h;
                head = encode(f0, h, start, std::min(end, frameEnd(h)));
                copyFrom = h + 1;
            }
            if (end != frameEnd(f1) && f1 >= copyFrom) {
                tail = encode(f1, f1, frames[f1].first, end);
                copyTo = f1;
            }
    }
    piece.f0 = f0;
    piece.f1 = f1;
    const auto add = [&](const uint8_t *bytes, int64_t len) {
        OutFrame f{bytes, len, {}};
        if (!parseFlacFrameHeader(bytes, len, f.header))
            src->refuse(QStringLiteral("an encoded frame could not be read back"));
        out.push_back(f);
    };
    // QByteArray's data stays put when the vector holding it grows.
    const size_t keptFrom = encoded.size();
    encoded.insert(encoded.end(), head.begin(), head.end());
    for (size_t i = keptFrom; i < encoded.size(); ++i)
        add(reinterpret_cast<const uint8_t *>(encoded[i].constData()), encoded[i].size());
    for (size_t i = copyFrom; i < copyTo; ++i)
        add(src->data + frames[i].offset, frames[i].length);
    const size_t tailFrom = encoded.size();
    encoded.insert(encoded.end(), tail.begin(), tail.end());
    for (size_t i = tailFrom; i < encoded.size(); ++i)
        add(reinterpret_cast<const uint8_t *>(encoded[i].constData()), encoded[i].size());
    }
    int64_t total = 0;
    for (const Piece &piece : pieces)
        total += piece.end - piece.start;
    const int64_t start = 0, end = total;

    // STREAMINFO: everything but the MD5 is known before the copy.
    uint8_t si[34];
    std::memcpy(si, d->streamInfo, 34);
    int minBlock = 65535, maxBlock = 16;
    int64_t minFrame = 0, maxFrame = 0, sample = 0, srcBytes = 0;
    uint8_t header[16];
    for (size_t i = 0; i < out.size(); ++i) {
        const int n = out[i].header.blockSize;
        if (i + 1 < out.size() || out.size() == 1)
            minBlock = std::min(minBlock, std::max(n, 16));
        maxBlock = std::max(maxBlock, n);
        const int64_t bytes = out[i].length - out[i].header.length + writeFlacFrameHeader(header, out[i].header, n, uint64_t(sample));
        minFrame = i == 0 ? bytes : std::min(minFrame, bytes);
        maxFrame = std::max(maxFrame, bytes);
        sample += n;
        srcBytes += out[i].length;
    }
    if (sample != end - start)
        d->refuse(QStringLiteral("the part from sample %1 to %2 came out %3 samples long").arg(start).arg(end).arg(sample));
    minBlock = std::min(minBlock, maxBlock);
    putBe(si, uint64_t(out.empty() ? d->maxBlock : minBlock), 2);
    putBe(si + 2, uint64_t(out.empty() ? d->maxBlock : maxBlock), 2);
    putBe(si + 4, uint64_t(minFrame), 3);
    putBe(si + 7, uint64_t(maxFrame), 3);
    si[13] = uint8_t((si[13] & 0xF0) | (uint64_t(sample) >> 32 & 15));
    putBe(si + 14, uint64_t(sample) & 0xFFFFFFFFu, 4);
    std::memset(si + 18, 0, 16);

    // The MD5 needs every sample of the part: a second thread decodes the
    // source's frames while this one copies them.
    const int width = (d->bits + 7) / 8;
    std::unique_ptr<Md5Thread> md5;
    if (d->md5 && end > start) {
        md5 = std::make_unique<Md5Thread>([pieces, end, width](Md5Thread &t) {
            const std::unique_ptr<AVMD5, decltype(&av_free)> ctx(av_md5_alloc(), &av_free);
            if (!ctx)
                throw AudioError(QStringLiteral("out of memory"));
            av_md5_init(ctx.get());
            ChunkPipe pipe([&ctx](const std::vector<uint8_t> &c) { av_md5_update(ctx.get(), c.data(), c.size()); });
            std::vector<uint8_t> bytes = pipe.spare();
            for (const Piece &piece : pieces) {
                if (piece.end <= piece.start || t.stop)
                    continue;
                const Impl *const src = piece.d;
                const size_t a = piece.f0, b = piece.f1;
                const int64_t from = piece.start, to = piece.end;
                int64_t at = src->frames[a].first;
                const int64_t span = src->frames[b].offset + src->frames[b].length - src->frames[a].offset;
                decodeFlacFrames(src->streamInfo, src->data + src->frames[a].offset, span, [&](const int32_t *pcm, int n) {
                    const int64_t lo = std::max(from, at), hi = std::min(to, at + n);
                    if (hi > lo) {
                        const int64_t values = (hi - lo) * src->channels;
                        const int32_t *v = pcm + (lo - at) * src->channels;
                        const size_t had = bytes.size();
                        bytes.resize(had + size_t(values * width));
                        uint8_t *o = bytes.data() + had;
                        for (int64_t i = 0; i < values; ++i)
                            for (int k = 0; k < width; ++k)
                                *o++ = uint8_t(uint32_t(v[i]) >> (8 * k));
                        if (bytes.size() >= size_t(kProgressBytes)) {
                            pipe.push(std::move(bytes));
                            bytes = pipe.spare();
                        }
                        t.samples += hi - lo;
                    }
                    at += n;
                    return !t.stop;
                });
            }
            pipe.push(std::move(bytes));
            pipe.close();
            if (t.samples != end)
                throw AudioError(QStringLiteral("its frames decode to fewer samples than they say"));
            av_md5_final(ctx.get(), t.digest);
        });
    }
    const int64_t partSamples = std::max<int64_t>(1, end - start);
    const auto report = [&](int64_t copied) {
        const double done = md5 ? (double(copied) / double(std::max<int64_t>(srcBytes, 1)) + double(md5->samples) / double(partSamples)) / 2
                                : double(copied) / double(std::max<int64_t>(srcBytes, 1));
        if (progress && !progress(int64_t(done * double(srcBytes)), srcBytes))
            throw Cancelled{};
    };

    // Written beside the target and renamed into place when whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(nameOf(path), file.errorString()));
    QByteArray buf;
    buf.reserve(int(kProgressBytes + 70000));
    const auto flush = [&] {
        if (!buf.isEmpty() && file.write(buf) != buf.size())
            throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), file.errorString()));
        buf.clear();
    };
    const auto block = [&](int type, bool last, const void *body, int64_t len) {
        const uint8_t h[4] = {uint8_t((last ? 0x80 : 0) | type), uint8_t(len >> 16), uint8_t(len >> 8), uint8_t(len)};
        buf.append(reinterpret_cast<const char *>(h), 4);
        if (body)
            buf.append(static_cast<const char *>(body), qsizetype(len));
        else
            buf.append(QByteArray(qsizetype(len), '\0'));
    };
    buf.append("fLaC", 4);
    block(0, false, si, 34);
    for (const Block &b : d->blocks) {
        // A seek table and a cue sheet would point into the whole file; a
        // part without a tag carries no comments (4) or pictures (6).
        const bool tag = b.type == 4 || b.type == 6;
        if (carryMetadata && b.type != 0 && b.type != 1 && b.type != 3 && b.type != 5 && (!tag || carryTags))
            block(b.type, false, d->data + b.offset, b.length);
    }
    block(1, true, nullptr, kPaddingBytes);

    flush();
    if (!file.flush())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), file.errorString()));
    GatherWriter gather(file, path);
    int64_t copied = 0, partSample = 0;
    for (const OutFrame &f : out) {
        const int n = f.header.blockSize;
        uint8_t *const newHeader = gather.scratch(18);
        const int len = writeFlacFrameHeader(newHeader, f.header, n, uint64_t(partSample));
        // The CRC-16 is linear: the new header's difference, carried over
        // the body, turns the old checksum into the new one.
        const int64_t body = f.length - f.header.length - 2;
        const uint16_t old = uint16_t(f.bytes[f.length - 2] << 8 | f.bytes[f.length - 1]);
        const uint16_t delta = flacCrc16(0, f.bytes, size_t(f.header.length)) ^ flacCrc16(0, newHeader, size_t(len));
        const uint16_t crc = old ^ flacCrc16Zeros(delta, uint64_t(body));
        uint8_t *const crcBytes = newHeader + len;
        crcBytes[0] = uint8_t(crc >> 8);
        crcBytes[1] = uint8_t(crc);
        gather.add(newHeader, size_t(len));
        gather.add(f.bytes + f.header.length, size_t(body));
        gather.add(crcBytes, 2);
        partSample += n;
        copied += f.length;
        if (gather.full()) {
            gather.flush();
            report(copied);
        }
    }
    gather.flush();
    if (md5) {
        while (!md5->finished()) {
            report(copied);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        try {
            md5->rethrow();
        } catch (const AudioError &e) {
            d->refuse(e.text());
        }
        if (!file.seek(4 + 4 + 18) || file.write(reinterpret_cast<const char *>(md5->digest), 16) != 16)
            throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), file.errorString()));
    }
    report(copied);
    if (!file.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), file.errorString()));
}
