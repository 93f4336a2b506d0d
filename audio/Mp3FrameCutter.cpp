#include "audio/Mp3FrameCutter.h"
#include "audio/Mp3FrameSource.h"

#include "audio/AudioError.h"
#include "audio/MappedSource.h"
#include "audio/ByteOrder.h"
#include "audio/Mp3InfoTag.h"
#include "audio/MpegScan.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>


using audio_detail::MpegFrameHeader;
using audio_detail::putBe32;
using audio_detail::Mp3Frame;
using namespace audio_detail::mp3;

namespace {


QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }


// CRC-16 with the reflected polynomial 0xA001 and initial value 0, as the
// LAME tag's music and tag checksums use. Eight bytes a step: a part's
// music CRC covers megabytes.
class Crc16 {
public:
    Crc16()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? uint16_t((c >> 1) ^ 0xA001) : uint16_t(c >> 1);
            t_[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i)
                t_[k][i] = uint16_t((t_[k - 1][i] >> 8) ^ t_[0][t_[k - 1][i] & 0xFF]);
    }
    uint16_t update(uint16_t crc, const uchar *p, int64_t n) const
    {
        for (; n >= 8; p += 8, n -= 8) {
            const uint32_t lo = (uint32_t(p[0]) | uint32_t(p[1]) << 8) ^ crc;
            crc = uint16_t(t_[7][lo & 0xFF] ^ t_[6][lo >> 8] ^ t_[5][p[2]] ^ t_[4][p[3]] ^ t_[3][p[4]] ^ t_[2][p[5]]
                           ^ t_[1][p[6]] ^ t_[0][p[7]]);
        }
        for (; n > 0; ++p, --n)
            crc = uint16_t((crc >> 8) ^ t_[0][(crc ^ *p) & 0xFF]);
        return crc;
    }

private:
    std::array<std::array<uint16_t, 256>, 8> t_{};
};

const Crc16 &crc16()
{
    static const Crc16 table;
    return table;
}

} // namespace

uint16_t audio_detail::mp3MusicCrc(uint16_t crc, const uchar *p, int64_t n) { return crc16().update(crc, p, n); }

void audio_detail::writeMp3Header(uchar *dst, const uchar *tmpl, int bitrateIndex)
{
    dst[0] = tmpl[0];
    dst[1] = uchar(tmpl[1] | 0x01);
    dst[2] = uchar(bitrateIndex << 4 | (tmpl[2] & 0x0D));
    dst[3] = uchar(tmpl[3] & 0xCF);
}


void Mp3FrameCutter::Impl::walk(const Progress &progress)
{
    int64_t pos = 0;
    for (int64_t skipTag; pos < size && (skipTag = audio_detail::id3v2TagSize(data + pos, size - pos)) > 0;)
        pos += skipTag;
    const int64_t end = audio_detail::mpegDataEnd(data, size, pos);
    // Taggers pad behind the ID3v2 tag's declared size with zeros.
    while (pos < end && data[pos] == 0)
        ++pos;
    if (end - pos < 4 || !audio_detail::parseMpegHeader(data + pos, first)) {
        if (end - pos >= 4 && data[pos] == 0xFF && (data[pos + 1] & 0xE0) == 0xE0 && (data[pos + 2] >> 4) == 0)
            refuse(QStringLiteral("its frames are free-format"));
        refuse(QStringLiteral("it does not start with an MPEG audio frame"));
    }
    if (first.layer != 3)
        refuse(QStringLiteral("it is MPEG layer %1 audio; only Layer III frames can be copied").arg(first.layer));
    spf = first.samplesPerFrame;

    // An info frame first: FFmpeg decodes no audio of it, and trusts its
    // delay (and, with a frame count, its padding) when a LAME or Lavc/Lavf
    // extension follows. The cut is planned in the same terms.
    int64_t taggedFrames = 0;
    bool honoured = false;
    int64_t delay = 0, padding = 0;
    {
        const int64_t frameEnd = std::min<int64_t>(pos + first.length, end);
        const audio_detail::Mp3InfoTag tag = audio_detail::readMp3InfoTag(data, pos, frameEnd, first);
        // The count matters only where the delay and padding are trusted, which VBRI never is.
        taggedFrames = std::max<int64_t>(tag.frames, 0);
        // FFmpeg ignores the frame count of a file much longer than the tag says.
        const int64_t taggedBytes = std::max<int64_t>(tag.bytes, 0);
        const int64_t fileBytes = size - pos;
        if (taggedBytes > 0 && fileBytes > taggedBytes && fileBytes - taggedBytes > taggedBytes >> 4)
            taggedFrames = 0;
        quality = tag.quality;
        if (tag.encoderFields) {
            honoured = true;
            delay = tag.delay;
            padding = tag.padding;
        }
        if (tag.extension >= 0) {
            lameExtension = true;
            std::memcpy(sourceLame.data(), data + tag.extension, kLameBytes);
        }
        if (tag.present)
            pos += first.length;
    }

    // Every byte up to the end must be a whole frame of the same stream; a cut
    // through damage could not be made exact, so it is refused.
    int64_t mainBytes = 0;     // main data of the frames so far
    int64_t lastMainStart = 0; // where the previous frame's main data began
    MpegFrameHeader h;
    int64_t released = 0;
    int64_t nextReport = pos + kProgressBytes;
    while (pos < end) {
        if (pos - released > (8 << 20)) {
            release(released, pos - 4096);
            released = pos - 4096;
        }
        if (pos >= nextReport) {
            if (progress && !progress(pos, size))
                throw Cancelled{};
            nextReport = pos + kProgressBytes;
        }
        const QString at = QStringLiteral(" at byte %1").arg(pos);
        if (end - pos < 4)
            refuse(QStringLiteral("it ends in an incomplete frame") + at);
        if (!audio_detail::parseMpegHeader(data + pos, h)) {
            if (data[pos] == 0xFF && (data[pos + 1] & 0xE0) == 0xE0 && (data[pos + 2] >> 4) == 0)
                refuse(QStringLiteral("its frames are free-format") + at);
            refuse(QStringLiteral("its frames are damaged") + at);
        }
        if (h.layer != 3 || h.versionIndex != first.versionIndex || h.sampleRateIndex != first.sampleRateIndex)
            refuse(QStringLiteral("its stream changes format") + at);
        if (h.channels() != first.channels())
            refuse(QStringLiteral("its stream changes between mono and stereo") + at);
        if (pos + h.length > end)
            refuse(QStringLiteral("it ends in an incomplete frame") + at);
        Mp3Frame f;
        f.offset = pos;
        f.length = h.length;
        const int sideStart = 4 + (h.crc ? 2 : 0);
        f.mainOffset = sideStart + h.sideInfoSize();
        if (f.mainOffset > f.length)
            refuse(QStringLiteral("its frames are damaged") + at);
        const uchar *side = data + pos + sideStart;
        f.mainDataBegin = h.mpeg1() ? (side[0] << 1 | side[1] >> 7) : side[0];
        f.bitrateIndex = h.bitrateIndex;
        const int64_t mainStart = mainBytes - f.mainDataBegin;
        if (!frames.empty() && (mainStart < 0 || mainStart < lastMainStart))
            refuse(QStringLiteral("its frames are damaged (a frame refers to data that is not there)") + at);
        lastMainStart = std::max<int64_t>(0, mainStart);
        mainBytes += f.mainSize();
        frames.push_back(f);
        pos += h.length;
    }
    release(released, size);
    if (frames.empty())
        refuse(QStringLiteral("it holds no audio frames"));

    const int64_t all = int64_t(frames.size()) * spf;
    if (honoured && taggedFrames > 0 && taggedFrames != int64_t(frames.size()))
        refuse(QStringLiteral("its info frame counts %1 frames, but the file holds %2").arg(taggedFrames).arg(frames.size()));
    skip = honoured ? delay + kDecoderLag : 0;
    const int64_t decodedEnd = (honoured && taggedFrames > 0) ? std::min(all, all - padding + kDecoderLag) : all;
    length = std::max<int64_t>(0, decodedEnd - skip);
}

// A frame that decodes to silence: side information all zero, so no granule
// reads a bit. As a carrier its main data ends with the bit-reservoir bytes
// frame `a` refers back to, which a decoder keeps for the next frame.
QByteArray Mp3FrameCutter::Impl::leadFrame(bool carrier, int64_t a) const
{
    const Mp3Frame &next = frames[size_t(a)];
    const int sideEnd = 4 + first.sideInfoSize();
    const int64_t need = carrier ? next.mainDataBegin : 0;
    int index = next.bitrateIndex;
    if (audio_detail::mpegFrameLength(first, index, 0) - sideEnd < need) {
        for (index = 1; index < 15 && audio_detail::mpegFrameLength(first, index, 0) - sideEnd < need; ++index) {
        }
        if (index == 15)
            refuse(QStringLiteral("its bit reservoir is larger than a frame can carry"));
    }
    QByteArray out(audio_detail::mpegFrameLength(first, index, 0), '\0');
    uchar *p = reinterpret_cast<uchar *>(out.data());
    audio_detail::writeMp3Header(p, data + next.offset, index);
    reservoir(a, need, p + out.size());
    return out;
}

void Mp3FrameCutter::Impl::reservoir(int64_t a, int64_t need, uchar *dstEnd) const
{
    // Gathered backwards from the main data of the frames before `a`.
    int64_t remaining = need;
    for (int64_t j = a - 1; remaining > 0 && j >= 0; --j) {
        const Mp3Frame &f = frames[size_t(j)];
        const int64_t take = std::min<int64_t>(remaining, f.mainSize());
        std::memcpy(dstEnd - take, data + f.offset + f.length - take, size_t(take));
        dstEnd -= take;
        remaining -= take;
    }
}

int64_t Mp3FrameCutter::Impl::reservoirNeed(int64_t a) const
{
    // A later frame can reach back past `a` too, while the main data from `a`
    // on is shorter than a reservoir can be (511 bytes).
    int64_t need = 0, between = 0;
    for (size_t k = size_t(a); k < frames.size() && between < 512; ++k) {
        need = std::max<int64_t>(need, frames[k].mainDataBegin - between);
        between += frames[k].mainSize();
    }
    return need;
}

QByteArray Mp3FrameCutter::Impl::infoFrame(int64_t partFrames, int64_t audioBytes, bool constantBitrate,
                                           int bitrateIndex, int64_t delay, int64_t padding, uint16_t musicCrc,
                                           const std::vector<int64_t> &frameOffsets) const
{
    const int x = 4 + first.sideInfoSize();
    const int needed = x + kXingBytes + kLameBytes;
    int index = bitrateIndex;
    if (audio_detail::mpegFrameLength(first, index, 0) < needed) {
        for (index = 1; index < 15 && audio_detail::mpegFrameLength(first, index, 0) < needed; ++index) {
        }
    }
    QByteArray out(audio_detail::mpegFrameLength(first, index, 0), '\0');
    uchar *p = reinterpret_cast<uchar *>(out.data());
    audio_detail::writeMp3Header(p, data + frames.front().offset, index);

    const int64_t total = out.size() + audioBytes;
    std::memcpy(p + x, constantBitrate ? "Info" : "Xing", 4);
    putBe32(p + x + 4, 0x0F); // frames, bytes, seek table, quality
    putBe32(p + x + 8, uint32_t(partFrames));
    putBe32(p + x + 12, uint32_t(total));
    for (int i = 0; i < 100; ++i) {
        const size_t k = size_t(int64_t(i) * partFrames / 100);
        const int64_t at = k < frameOffsets.size() ? out.size() + frameOffsets[k] : total;
        p[x + 16 + i] = uchar(std::min<int64_t>(255, at * 256 / std::max<int64_t>(1, total)));
    }
    putBe32(p + x + 116, quality);

    uchar *e = p + x + kXingBytes;
    if (lameExtension) {
        // The frames are the source encoder's: keep its name and settings,
        // not its loudness figures, which were measured over the whole file.
        std::memcpy(e, sourceLame.data(), kLameBytes);
        std::memset(e + 11, 0, 8);
        e[25] = 0;
    } else {
        // FFmpeg and most players honour delay and padding only behind this name.
        std::memcpy(e, "LAME3.100", 9);
    }
    e[21] = uchar(delay >> 4);
    e[22] = uchar((delay & 15) << 4 | padding >> 8);
    e[23] = uchar(padding & 0xFF);
    putBe32(e + 28, uint32_t(total));
    e[32] = uchar(musicCrc >> 8);
    e[33] = uchar(musicCrc);
    const uint16_t tagCrc = crc16().update(0, p, x + kXingBytes + 34);
    e[34] = uchar(tagCrc >> 8);
    e[35] = uchar(tagCrc);
    return out;
}

Mp3FrameCutter::Mp3FrameCutter(const QString &path, const Progress &progress) : d(std::make_unique<Impl>())
{
    d->open(path);
    d->walk(progress);
}

Mp3FrameCutter::~Mp3FrameCutter() = default;

int64_t Mp3FrameCutter::length() const { return d->length; }
int Mp3FrameCutter::sampleRate() const { return d->first.sampleRate; }

bool Mp3FrameCutter::insideOneFrame(int64_t start, int64_t end) const
{
    const int64_t spf = d->spf;
    const int64_t d0 = start + d->skip, d1 = end + d->skip;
    return end > start && d0 / spf == (d1 - 1) / spf;
}

QString Mp3FrameCutter::tooShort(int64_t start, int64_t end) const
{
    return insideOneFrame(start, end) ? QStringLiteral("one MP3 frame") : QString();
}

void Mp3FrameCutter::writePart(const QString &path, int64_t start, int64_t end, const QByteArray &id3v2,
                               const Progress &progress) const
{
    if (start < 0 || end < start || end > d->length)
        throw AudioError(QStringLiteral("Cannot write %1: samples %2 to %3 are outside %4")
                             .arg(nameOf(path)).arg(start).arg(end).arg(nameOf(d->path)));
    if (insideOneFrame(start, end))
        d->refuse(QStringLiteral("the part from sample %1 to %2 lies inside one frame, which decoders would not "
                                 "trim exactly").arg(start).arg(end));
    const int64_t spf = d->spf;
    const std::vector<Mp3Frame> &frames = d->frames;

    // Positions in the decoder's raw output over all audio frames.
    const int64_t d0 = start + d->skip, d1 = end + d->skip;
    QByteArray lead;
    int64_t c0 = 0, last = -1; // source frames copied: c0..last
    if (d1 > d0) {
        const int64_t fs = d0 / spf;
        last = (d1 - 1) / spf;
        // Rebuilding the decoder's state takes one whole granule pair before the
        // cut's frame: one frame at MPEG-1 (two granules a frame), two at MPEG-2/2.5.
        const int64_t a = std::max<int64_t>(0, fs - (d->first.mpeg1() ? 1 : 2));
        c0 = a;
        bool carrier = false, silent = false;
        if (a > 0) {
            // Frame a's main data may start in earlier frames: copy back far
            // enough to hold it, unless that overruns the 12-bit delay; then
            // one silent frame carries those bytes instead.
            int64_t have = 0;
            while (have < frames[size_t(a)].mainDataBegin && c0 > 0)
                have += frames[size_t(--c0)].mainSize();
            if (d0 - c0 * spf - kDecoderLag > kMaxField) {
                c0 = a;
                carrier = true;
            }
        } else if (d0 < kDecoderLag) {
            // The decoder's lag is not there to drop: put a silent frame in front.
            // A first frame that borrows from before the file would read our
            // silent frame's bytes instead of nothing, and decode differently.
            if (frames.front().mainDataBegin > 0)
                d->refuse(QStringLiteral("its first frame refers to data before the start of the file"));
            silent = true;
        }
        if (carrier || silent)
            lead = d->leadFrame(carrier, c0);
    }
    const int64_t leadFrames = lead.isEmpty() ? 0 : 1;
    const int64_t copied = last - c0 + 1;
    const int64_t partFrames = leadFrames + copied;
    const int64_t base = (c0 - leadFrames) * spf; // raw position of the part's first sample
    const int64_t delay = d1 > d0 ? d0 - base - kDecoderLag : 0;
    const int64_t padding = d1 > d0 ? partFrames * spf - (d1 - base) + kDecoderLag : 0;
    if (delay < 0 || delay > kMaxField || padding < 0 || padding > kMaxField)
        d->refuse(QStringLiteral("the cut at sample %1 does not fit the info frame").arg(start));

    const uchar *src = copied > 0 ? d->data + frames[size_t(c0)].offset : nullptr;
    const int64_t srcBytes = copied > 0 ? frames[size_t(last)].offset + frames[size_t(last)].length - frames[size_t(c0)].offset : 0;

    bool constant = true;
    const int firstIndex = copied > 0 ? frames[size_t(c0)].bitrateIndex : d->first.bitrateIndex;
    std::vector<int64_t> offsets;
    offsets.reserve(size_t(partFrames));
    if (leadFrames) {
        offsets.push_back(0);
        constant = (uchar(lead[2]) >> 4) == firstIndex;
    }
    for (int64_t k = c0; k <= last; ++k) {
        offsets.push_back(lead.size() + frames[size_t(k)].offset - frames[size_t(c0)].offset);
        constant = constant && frames[size_t(k)].bitrateIndex == firstIndex;
    }
    // The checksum and the copy each go through the part's bytes once; both
    // report as they go, the checksum as the first half of the work.
    const auto report = [&](int64_t done) {
        if (progress && !progress(done, 2 * srcBytes))
            throw Cancelled{};
    };
    uint16_t musicCrc = crc16().update(0, reinterpret_cast<const uchar *>(lead.constData()), lead.size());
    for (int64_t at = 0; at < srcBytes; at += kProgressBytes) {
        musicCrc = crc16().update(musicCrc, src + at, std::min(kProgressBytes, srcBytes - at));
        report(std::min(at + kProgressBytes, srcBytes));
    }
    const QByteArray info = d->infoFrame(partFrames, lead.size() + srcBytes, constant, firstIndex, delay, padding,
                                         musicCrc, offsets);

    // Written beside the target and renamed into place when whole: a stop or
    // a failure leaves no part that looks finished, and never half of an old one.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(nameOf(path), out.errorString()));
    const auto put = [&](const char *bytes, int64_t n) {
        if (n < 0 || (n > 0 && out.write(bytes, n) != n))
            throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
    };
    put(id3v2.constData(), id3v2.size());
    put(info.constData(), info.size());
    put(lead.constData(), lead.size());
    if (srcBytes > 0 && !out.flush())
        put(nullptr, -1);
#ifdef Q_OS_LINUX
    // The kernel copies the frames file to file, no pass through our memory,
    // until it cannot (another file system); then they are written.
    bool kernelCopy = true;
    off_t from = srcBytes > 0 ? off_t(frames[size_t(c0)].offset) : 0;
#endif
    for (int64_t copiedBytes = 0; copiedBytes < srcBytes;) {
        const int64_t n = std::min(kProgressBytes, srcBytes - copiedBytes);
        int64_t done = 0;
#ifdef Q_OS_LINUX
        while (kernelCopy && done < n) {
            const ssize_t c = copy_file_range(d->file.handle(), &from, out.handle(), nullptr, size_t(n - done), 0);
            if (c <= 0) {
                kernelCopy = false;
                // The file grew behind QSaveFile's back: write the rest at its real end.
                if (copiedBytes + done > 0 && !out.seek(out.size()))
                    put(nullptr, -1);
            }
            done += std::max<ssize_t>(c, 0);
        }
#endif
        put(reinterpret_cast<const char *>(src) + copiedBytes + done, n - done);
        copiedBytes += n;
        report(srcBytes + copiedBytes);
    }
    if (src)
        d->release(frames[size_t(c0)].offset, frames[size_t(c0)].offset + srcBytes);
    if (!out.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
}
