#include "audio/OggPacketCutter.h"

#include "audio/AudioError.h"
#include "audio/MappedSource.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <ogg/ogg.h>
#include <opus/opus.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cstring>
#include <vector>


namespace {

QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }

// An Opus decoder converges on the encoder's state within 80 ms of packets
// (RFC 7845, 4.6); a part starts at least that far ahead of its first sample.
constexpr int64_t kOpusLeadIn = 3840;
constexpr int64_t kMaxPreSkip = 65535; // the OpusHead field is 16 bits

struct Page {
    int64_t offset = 0;
    int32_t bytes = 0;
    // Index (header packets counted) of the first packet that begins on this
    // page, which is the first a fresh stream state returns from it.
    int64_t firstWhole = 0;
    int64_t completed = 0; // packets (header packets counted) that end on this page or before
    bool continued = false; // begins with the rest of a packet
};

// libogg's page view over bytes of the mapped file; libogg only reads them.
ogg_page pageAt(const uchar *data, const Page &p)
{
    ogg_page og;
    og.header = const_cast<uchar *>(data + p.offset);
    og.header_len = 27 + data[p.offset + 26];
    og.body = og.header + og.header_len;
    og.body_len = p.bytes - og.header_len;
    return og;
}

struct OggStream {
    ogg_stream_state s;
    explicit OggStream(int serial) { ogg_stream_init(&s, serial); }
    ~OggStream() { ogg_stream_clear(&s); }
    OggStream(const OggStream &) = delete;
    OggStream &operator=(const OggStream &) = delete;
};

struct VorbisHeaders {
    vorbis_info vi;
    vorbis_comment vc;
    VorbisHeaders() { vorbis_info_init(&vi); vorbis_comment_init(&vc); }
    ~VorbisHeaders() { vorbis_comment_clear(&vc); vorbis_info_clear(&vi); }
    VorbisHeaders(const VorbisHeaders &) = delete;
    VorbisHeaders &operator=(const VorbisHeaders &) = delete;
};

// The comment header of a part that carries no tag: the source's vendor
// string and no comments. The streams require the header itself.
QByteArray withoutComments(const QByteArray &header, bool opus)
{
    const int magic = opus ? 8 : 7; // "OpusTags", "\x03vorbis"
    QByteArray out = header.left(magic);
    const auto *p = reinterpret_cast<const uchar *>(header.constData()) + magic;
    const int64_t vendor = header.size() >= magic + 4 ? int64_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24) : -1;
    if (vendor >= 0 && vendor <= header.size() - magic - 4)
        out += header.mid(magic, 4 + qsizetype(vendor));
    else
        out += QByteArray(4, '\0');
    out += QByteArray(4, '\0'); // no comments
    if (!opus)
        out += char(1); // the framing bit
    return out;
}

} // namespace

struct OggPacketCutter::Impl : audio_detail::MappedSource {

    bool opus = false;
    int rate = 0;
    int serial = 0;
    std::vector<QByteArray> headers; // Opus: OpusHead, OpusTags; Vorbis: identification, comment, setup
    std::vector<Page> pages;
    // pos[k]: where audio packet k's samples begin in the decoder's output
    // over the whole stream (Opus: pre-skip included; Vorbis: the first
    // packet yields nothing, so pos[0] == pos[1]); pos.back() is the end.
    std::vector<int64_t> pos;
    int64_t preSkip = 0; // Opus: decoded samples dropped in front of the whole file
    int64_t length = 0;


    int64_t packets() const { return int64_t(pos.size()) - 1; }
    // The audio packet whose output holds raw position r (the last one that begins at or before it).
    int64_t packetAt(int64_t r) const
    {
        const auto it = std::upper_bound(pos.begin() + (opus ? 0 : 1), pos.end() - 1, r);
        return int64_t(it - pos.begin()) - 1;
    }

    void walk(const Progress &progress);
    void header(const ogg_packet &op, VorbisHeaders &vh);
};

void OggPacketCutter::Impl::header(const ogg_packet &op, VorbisHeaders &vh)
{
    const int64_t index = int64_t(headers.size());
    const char *p = reinterpret_cast<const char *>(op.packet);
    if (index == 0) {
        if (op.bytes >= 19 && std::memcmp(p, "OpusHead", 8) == 0) {
            opus = true;
            if ((uchar(p[8]) >> 4) != 0)
                refuse(QStringLiteral("its Opus header has an unknown version"));
            rate = 48000; // Opus decodes at 48 kHz whatever rate the source had
            preSkip = uchar(p[10]) | uchar(p[11]) << 8;
        } else if (op.bytes >= 7 && std::memcmp(p, "\x01vorbis", 7) == 0) {
            if (vorbis_synthesis_headerin(&vh.vi, &vh.vc, const_cast<ogg_packet *>(&op)) != 0)
                refuse(QStringLiteral("its Vorbis header is damaged"));
            rate = int(vh.vi.rate);
        } else {
            refuse(QStringLiteral("it holds neither Opus nor Vorbis audio"));
        }
    } else if (opus) {
        if (op.bytes < 8 || std::memcmp(p, "OpusTags", 8) != 0)
            refuse(QStringLiteral("its Opus comment header is missing"));
    } else if (vorbis_synthesis_headerin(&vh.vi, &vh.vc, const_cast<ogg_packet *>(&op)) != 0) {
        refuse(QStringLiteral("its Vorbis headers are damaged"));
    }
    headers.emplace_back(p, qsizetype(op.bytes));
}

void OggPacketCutter::Impl::walk(const Progress &progress)
{
    VorbisHeaders vh;
    int64_t offset = 0, released = 0, nextReport = kProgressBytes;
    int64_t packetCount = 0; // header packets included
    int64_t prevBlock = 0;   // Vorbis: the previous packet's block size
    int64_t firstGranule = -1, firstGranuleAudio = 0, lastGranule = -1;
    bool ended = false;
    uint32_t sequence = 0;
    // The packet being gathered: header packets whole, audio packets only
    // their first bytes (all their duration depends on) and their size.
    QByteArray packet;
    int64_t packetBytes = 0;
    bool inPacket = false;
    pos.assign(1, 0);
    // Pages are read in place from the mapped file (libogg's sync and stream
    // layers would copy every byte twice); libogg checks each page's CRC.
    uchar headerCopy[27 + 255];
    while (offset < size) {
        if (offset - released > (8 << 20)) {
            release(released, offset - 4096);
            released = offset - 4096;
        }
        if (offset >= nextReport) {
            if (progress && !progress(offset, size))
                throw Cancelled{};
            nextReport = offset + kProgressBytes;
        }
        const QString at = QStringLiteral(" at byte %1").arg(offset);
        const uchar *p = data + offset;
        const int64_t left = size - offset;
        if (std::memcmp(p, "OggS", size_t(std::min<int64_t>(4, left))) != 0 || (left > 4 && p[4] != 0))
            refuse(pages.empty() ? QStringLiteral("it is not an Ogg file")
                                 : QStringLiteral("it has a damaged page") + at);
        if (left < 27 || left < 27 + p[26])
            refuse(QStringLiteral("it ends in an incomplete page"));
        const int segments = p[26];
        ogg_page og;
        og.header_len = 27 + segments;
        og.body_len = 0;
        for (int i = 0; i < segments; ++i)
            og.body_len += p[27 + i];
        if (left < og.header_len + og.body_len)
            refuse(QStringLiteral("it ends in an incomplete page"));
        std::memcpy(headerCopy, p, size_t(og.header_len));
        og.header = headerCopy;
        og.body = const_cast<uchar *>(p) + og.header_len;
        ogg_page_checksum_set(&og);
        if (std::memcmp(headerCopy + 22, p + 22, 4) != 0)
            refuse(QStringLiteral("it has a damaged page") + at);
        og.header = const_cast<uchar *>(p);

        if (pages.empty()) {
            if (!ogg_page_bos(&og))
                refuse(QStringLiteral("it does not begin with the first page of a stream"));
            serial = ogg_page_serialno(&og);
        } else if (ogg_page_serialno(&og) != serial || ogg_page_bos(&og) || ended) {
            refuse(QStringLiteral("it holds more than one stream (chained or multiplexed)") + at);
        } else if (uint32_t(ogg_page_pageno(&og)) != sequence + 1) {
            refuse(QStringLiteral("pages are missing") + at);
        }
        sequence = uint32_t(ogg_page_pageno(&og));
        if (bool(ogg_page_continued(&og)) != inPacket)
            refuse(QStringLiteral("it has a damaged page") + at);
        Page page;
        page.offset = offset;
        page.bytes = int32_t(og.header_len + og.body_len);
        page.firstWhole = packetCount + (inPacket ? 1 : 0);
        pages.push_back(page);
        offset += page.bytes;

        const bool inHeaders = headers.size() < (opus ? 2u : 3u);
        const uchar *body = og.body;
        for (int i = 0; i < segments; ++i) {
            const int n = p[27 + i];
            if (inHeaders || packet.size() < 8)
                packet.append(reinterpret_cast<const char *>(body), inHeaders ? n : std::min<int>(n, 8 - int(packet.size())));
            packetBytes += n;
            body += n;
            inPacket = n == 255;
            if (inPacket)
                continue;
            ogg_packet op{};
            op.packet = reinterpret_cast<uchar *>(packet.data());
            op.bytes = long(std::min<int64_t>(packetBytes, packet.size()));
            op.b_o_s = packetCount == 0;
            op.packetno = packetCount++;
            if (headers.size() < (opus ? 2u : 3u)) {
                header(op, vh);
            } else {
                int64_t samples = -1;
                if (opus) {
                    // The TOC and the frame count (the first two bytes) give the duration.
                    samples = packetBytes > 0 ? opus_packet_get_nb_samples(op.packet, opus_int32(op.bytes), 48000) : -1;
                } else if (const long block = packetBytes > 0 ? vorbis_packet_blocksize(&vh.vi, &op) : -1; block > 0) {
                    samples = prevBlock > 0 ? (prevBlock + block) / 4 : 0;
                    prevBlock = block;
                }
                if (samples < 0)
                    refuse(QStringLiteral("it has a damaged packet") + at);
                pos.push_back(pos.back() + samples);
            }
            packet.clear();
            packetBytes = 0;
        }
        pages.back().completed = packetCount;
        pages.back().continued = ogg_page_continued(&og);
        const int64_t granule = ogg_page_granulepos(&og);
        if (granule >= 0 && packets() > 0) {
            if (firstGranule < 0) {
                firstGranule = granule;
                firstGranuleAudio = pos.back();
            }
            lastGranule = granule;
        }
        ended = ogg_page_eos(&og);
    }
    release(released, size);
    if (inPacket)
        refuse(QStringLiteral("it ends in an incomplete page"));
    if (headers.size() < (opus ? 2u : 3u))
        refuse(headers.empty() ? QStringLiteral("it holds neither Opus nor Vorbis audio")
                               : QStringLiteral("its headers are incomplete"));
    if (packets() == 0 || lastGranule < 0) {
        length = 0;
        return;
    }
    // As FFmpeg 5.1 counts: the first page's granule sets the time of its
    // packets, and the last page's (when it ends the stream) trims the last
    // packet; Opus drops the pre-skip in front.
    const int64_t origin = firstGranule - firstGranuleAudio;
    const int64_t raw = pos.back();
    const int64_t lastSamples = raw - pos[size_t(packets() - 1)];
    int64_t endTrim = ended ? origin + raw - lastGranule : 0;
    if (opus)
        endTrim = std::clamp<int64_t>(endTrim, 0, lastSamples);
    else if (endTrim < 0 || endTrim > lastSamples)
        endTrim = 0;
    length = std::max<int64_t>(0, raw - endTrim - preSkip);
}

OggPacketCutter::OggPacketCutter(const QString &path, const Progress &progress) : d(std::make_unique<Impl>())
{
    d->open(path);
    d->walk(progress);
}

OggPacketCutter::~OggPacketCutter() = default;

QString OggPacketCutter::format() const { return d->opus ? QStringLiteral("opus") : QStringLiteral("ogg"); }
int64_t OggPacketCutter::length() const { return d->length; }
int OggPacketCutter::sampleRate() const { return d->rate; }

int64_t OggPacketCutter::partStart(int64_t start) const
{
    if (d->opus || start <= 0 || start >= d->length)
        return start;
    return d->pos[size_t(d->packetAt(start))];
}

QString OggPacketCutter::tooShort(int64_t start, int64_t end) const
{
    if (end <= start || start < 0 || end > d->length)
        return {};
    if (d->packetAt(start + d->preSkip) != d->packetAt(end - 1 + d->preSkip))
        return {};
    return d->opus ? QStringLiteral("one Opus packet") : QStringLiteral("one Vorbis packet");
}

void OggPacketCutter::writePart(const QString &path, int64_t start, int64_t end, const QByteArray &,
                                const Progress &progress) const
{
    if (start < 0 || end < start || end > d->length)
        throw AudioError(QStringLiteral("Cannot write %1: samples %2 to %3 are outside %4")
                             .arg(nameOf(path)).arg(start).arg(end).arg(nameOf(d->path)));
    if (!tooShort(start, end).isEmpty())
        d->refuse(QStringLiteral("the part from sample %1 to %2 lies inside %3, which decoders would not trim exactly")
                      .arg(start).arg(end).arg(tooShort(start, end)));
    const std::vector<int64_t> &pos = d->pos;
    const int64_t r0 = start + d->preSkip, r1 = end + d->preSkip; // in the decoder's raw output
    int64_t first = 0, last = -1; // audio packets copied
    int64_t origin = 0;           // raw position granule 0 of the part stands for
    int64_t flushAfter = -1;      // the first page of audio ends here, so it never ends the stream too
    QByteArray head = d->headers[0];
    const QByteArray comments = carriesSourceTags() ? d->headers[1] : withoutComments(d->headers[1], d->opus);
    if (end > start) {
        last = d->packetAt(r1 - 1);
        const int64_t f = d->packetAt(r0);
        if (d->opus) {
            first = r0 < kOpusLeadIn ? 0 : d->packetAt(r0 - kOpusLeadIn);
            while (r0 - pos[size_t(first)] > kMaxPreSkip && r0 - pos[size_t(first + 1)] >= kOpusLeadIn)
                ++first;
            const int64_t preSkip = r0 - pos[size_t(first)];
            if (preSkip > kMaxPreSkip)
                d->refuse(QStringLiteral("the cut at sample %1 needs a longer lead-in than Opus allows").arg(start));
            head[10] = char(preSkip & 0xFF);
            head[11] = char(preSkip >> 8);
            origin = pos[size_t(first)];
            flushAfter = first;
        } else {
            // FFmpeg 5.1 keeps the samples a first page's granule position
            // says to drop (it only gives them negative times), so a Vorbis
            // part begins where packet f's output does.
            first = f - 1; // its overlap primes the decoder; it yields nothing itself
            origin = pos[size_t(f)];
            flushAfter = f;
        }
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(nameOf(path), out.errorString()));
    OggStream os(d->serial);
    const auto put = [&](const ogg_page &og) {
        if (out.write(reinterpret_cast<const char *>(og.header), og.header_len) != og.header_len
            || out.write(reinterpret_cast<const char *>(og.body), og.body_len) != og.body_len)
            throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
    };
    ogg_page og;
    const auto flush = [&] {
        while (ogg_stream_flush(&os.s, &og) != 0)
            put(og);
    };
    // Headers as the codecs ask: the first alone on the first page, audio from a new page.
    const int64_t headerCount = int64_t(d->headers.size());
    for (int64_t h = 0; h < headerCount; ++h) {
        const QByteArray &bytes = h == 0 ? head : h == 1 ? comments : d->headers[size_t(h)];
        ogg_packet op{};
        op.packet = reinterpret_cast<uchar *>(const_cast<char *>(bytes.constData()));
        op.bytes = bytes.size();
        op.b_o_s = h == 0;
        op.e_o_s = last < first && h == headerCount - 1;
        op.packetno = h;
        ogg_stream_packetin(&os.s, &op);
        if (h == 0 || h == headerCount - 1)
            flush();
    }

    if (last >= first) {
        // Read from the page on which the first copied packet begins.
        const int64_t want = first + headerCount;
        const auto pg = std::upper_bound(d->pages.begin(), d->pages.end(), want,
                                         [](int64_t w, const Page &p) { return w < p.firstWhole; }) - 1;
        const int64_t from = pg->offset;
        const int64_t total = std::max<int64_t>(1, d->pages.back().offset + d->pages.back().bytes - from);
        int64_t nextReport = from + kProgressBytes;
        OggStream in(d->serial);
        int64_t index = pg->firstWhole;
        bool fresh = false; // `in` starts afresh after pages copied as they are
        for (auto p = pg; p != d->pages.end() && index <= last + headerCount; ++p) {
            if (p->offset >= nextReport) {
                if (progress && !progress(p->offset - from, total))
                    throw Cancelled{};
                nextReport = p->offset + kProgressBytes;
            }
            ogg_page src = pageAt(d->data, *p);
            // A page of whole packets, after the part's first page and before
            // its last packet, keeps its layout: only its granule position,
            // sequence number and CRC change, and its body is written from
            // the mapped file as it is.
            const bool whole = !p->continued && (p + 1 == d->pages.end() || !(p + 1)->continued);
            if (whole && index == p->firstWhole && p->completed > p->firstWhole
                && p->firstWhole - headerCount > flushAfter && p->completed - headerCount <= last) {
                flush();
                uchar copy[27 + 255];
                std::memcpy(copy, src.header, size_t(src.header_len));
                copy[5] = 0;
                const int64_t granule = pos[size_t(p->completed - headerCount)] - origin;
                for (int i = 0; i < 8; ++i)
                    copy[6 + i] = uchar(uint64_t(granule) >> (8 * i));
                for (int i = 0; i < 4; ++i)
                    copy[18 + i] = uchar(uint32_t(os.s.pageno) >> (8 * i));
                ++os.s.pageno;
                src.header = copy;
                ogg_page_checksum_set(&src);
                put(src);
                index = p->completed;
                fresh = true;
                continue;
            }
            if (fresh) {
                ogg_stream_reset(&in.s);
                fresh = false;
            }
            ogg_stream_pagein(&in.s, &src);
            ogg_packet op;
            for (int got; index <= last + headerCount && (got = ogg_stream_packetout(&in.s, &op)) != 0;) {
                if (got < 0)
                    continue; // the gap before the first page read
                const int64_t k = index++ - headerCount;
                if (k < first)
                    continue;
                op.b_o_s = 0;
                op.e_o_s = k == last;
                op.granulepos = k == last ? r1 - origin : pos[size_t(k + 1)] - origin;
                op.packetno = headerCount + k - first;
                ogg_stream_packetin(&os.s, &op);
                if (k == flushAfter || k == last)
                    flush();
                else
                    while (ogg_stream_pageout(&os.s, &og) != 0)
                        put(og);
            }
        }
        if (index <= last + headerCount)
            throw AudioError(QStringLiteral("Cannot write %1: %2 changed while it was cut").arg(nameOf(path), nameOf(d->path)));
        d->release(from, from + total);
        if (progress && !progress(total, total))
            throw Cancelled{};
    }
    if (!out.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), out.errorString()));
}
