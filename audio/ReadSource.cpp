#include "audio/ReadSource.h"
#include "audio/AudioError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <taglib/mpcfile.h>
#include <taglib/mpcproperties.h>

#include <algorithm>
#include <cstring>
#include <functional>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/crc.h>
}

namespace audio_detail {
namespace {

QString channelText(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 channels").arg(channels);
}

QString rateText(int rate) { return QStringLiteral("%1 Hz").arg(rate); }

QString kbpsText(int64_t bitsPerSecond)
{
    return bitsPerSecond > 0 ? QStringLiteral("%1 kbps, ").arg((bitsPerSecond + 500) / 1000) : QString();
}

int64_t averageBitrate(const OpenedContainer &src, int64_t frames, int rate)
{
    const AVCodecParameters *par = src.stream()->codecpar;
    if (par->bit_rate > 0)
        return par->bit_rate;
    if (frames > 0 && rate > 0) {
        const int64_t bytes = avio_size(src.format->pb);
        if (bytes > 0)
            return int64_t(double(bytes) * 8 * rate / double(frames));
    }
    return src.format->bit_rate;
}

int64_t framesFromStream(const AVStream *st, int rate)
{
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        return av_rescale_q(st->duration, st->time_base, AVRational{1, rate});
    return -1;
}

int64_t framesFromContainer(const AVFormatContext *fmt, int rate)
{
    if (fmt->duration > 0 && fmt->duration != AV_NOPTS_VALUE)
        return av_rescale(fmt->duration, rate, AV_TIME_BASE);
    return 0;
}

// Offset of the first audio byte of a RIFF WAVE file's "data" chunk or of an
// AIFF file's "SSND" chunk, or -1.
int64_t pcmDataOffset(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(12);
    const bool riff = head.size() == 12 && (head.startsWith("RIFF") || head.startsWith("RF64")) && head.mid(8, 4) == "WAVE";
    const bool aiff = head.size() == 12 && head.startsWith("FORM") && (head.mid(8, 4) == "AIFF" || head.mid(8, 4) == "AIFC");
    if (!riff && !aiff)
        return -1;
    int64_t pos = 12;
    // Chunks before the audio are few and small; give up after a handful.
    for (int i = 0; i < 64 && file.seek(pos); ++i) {
        const QByteArray chunk = file.read(16);
        if (chunk.size() < 8)
            return -1;
        const auto *b = reinterpret_cast<const uchar *>(chunk.constData());
        if (riff && chunk.startsWith("data"))
            return pos + 8;
        if (aiff && chunk.startsWith("SSND")) {
            // An offset to the first sample frame and a block size come first.
            if (chunk.size() < 16)
                return -1;
            const int64_t offset = int64_t(b[8]) << 24 | int64_t(b[9]) << 16 | int64_t(b[10]) << 8 | int64_t(b[11]);
            return pos + 16 + offset;
        }
        const int64_t size = riff ? int64_t(b[4]) | int64_t(b[5]) << 8 | int64_t(b[6]) << 16 | int64_t(b[7]) << 24
                                  : int64_t(b[4]) << 24 | int64_t(b[5]) << 16 | int64_t(b[6]) << 8 | int64_t(b[7]);
        pos += 8 + size + (size & 1);
    }
    return -1;
}

// A raw ADTS stream records no length: the sum of its frames is what decodes.
// Walks the 7-byte frame headers (each frame holds 1024 samples per raw data
// block, at the header's rate); a damaged stretch is passed by finding the
// next header of the same rate. Returns samples at the header's rate, and
// the audio bytes, or 0 when the file is no ADTS stream.
struct AdtsScan {
    int64_t samples = 0;
    int64_t bytes = 0;
    int rate = 0;
};
AdtsScan scanAdts(const QString &path)
{
    static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
    AdtsScan scan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return scan;
    const int64_t size = file.size();
    const uchar *d = size > 7 ? file.map(0, size) : nullptr;
    if (!d)
        return scan;
    int64_t pos = 0;
    if (size > 10 && std::memcmp(d, "ID3", 3) == 0) {
        const int64_t tagSize = int64_t(d[6] & 0x7f) << 21 | int64_t(d[7] & 0x7f) << 14 | int64_t(d[8] & 0x7f) << 7 | (d[9] & 0x7f);
        pos = 10 + tagSize + ((d[5] & 0x10) ? 10 : 0);
    }
    int rateIndex = -1;
    const auto frameAt = [&](int64_t at) -> int64_t {
        if (at + 7 > size || d[at] != 0xff || (d[at + 1] & 0xf6) != 0xf0)
            return 0;
        const int index = (d[at + 2] >> 2) & 0xf;
        const int64_t length = int64_t(d[at + 3] & 3) << 11 | int64_t(d[at + 4]) << 3 | d[at + 5] >> 5;
        if (index > 12 || (rateIndex >= 0 && index != rateIndex) || length < 7 || at + length > size)
            return 0;
        return length;
    };
    while (pos + 7 <= size) {
        int64_t length = frameAt(pos);
        if (length == 0) {
            // Damage, or what follows the audio (a tag): a header counts only
            // where the next one follows it.
            int64_t next = pos + 1;
            while (next + 7 <= size && !(frameAt(next) > 0 && (next + frameAt(next) == size || frameAt(next + frameAt(next)) > 0)))
                ++next;
            if (next + 7 > size)
                break;
            pos = next;
            length = frameAt(pos);
        }
        if (rateIndex < 0)
            rateIndex = (d[pos + 2] >> 2) & 0xf;
        scan.samples += 1024 * int64_t((d[pos + 6] & 3) + 1);
        scan.bytes += length;
        pos += length;
    }
    scan.rate = rateIndex >= 0 ? rates[rateIndex] : 0;
    return scan;
}

// The audio's length as an iTunes-style MP4 records it: "iTunSMPB" holds, in
// hex, the priming, the padding and the frames between them. 0 when absent.
int64_t itunesGaplessFrames(const AVFormatContext *fmt)
{
    const AVDictionaryEntry *e = av_dict_get(fmt->metadata, "iTunSMPB", nullptr, 0);
    if (!e)
        return 0;
    const QStringList fields = QString::fromLatin1(e->value).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = false;
    const int64_t frames = fields.size() >= 4 ? fields[3].toLongLong(&ok, 16) : 0;
    return ok && frames > 0 ? frames : 0;
}

// What an MP4 track's own boxes say of its length. FFmpeg takes the length
// from the edit list, whose duration counts in the movie's clock (ffmpeg's
// muxer uses milliseconds: up to 44 frames off at 44.1 kHz); the sample table
// counts in the track's own samples, and its last entry is cut to the audio.
constexpr const char *kMp4Demuxer = "mov,mp4,m4a,3gp,3g2,mj2";

struct Mp4Length {
    int64_t frames = -1; // at the track's timescale; -1 when the boxes do not say plainly
    int timescale = 0;
    bool edited = false; // an edit list chose where the audio starts
};

uint32_t be32(const uchar *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint64_t be64(const uchar *p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }

// Calls visit(type, body, size) for each box in [p, p + size).
template <typename Visit>
void forEachBox(const uchar *p, int64_t size, Visit visit)
{
    for (int64_t pos = 0; pos + 8 <= size;) {
        int64_t boxSize = be32(p + pos);
        int64_t header = 8;
        if (boxSize == 1 && pos + 16 <= size) {
            boxSize = int64_t(be64(p + pos + 8));
            header = 16;
        } else if (boxSize == 0) {
            boxSize = size - pos;
        }
        if (boxSize < header || pos + boxSize > size)
            return;
        visit(QByteArray(reinterpret_cast<const char *>(p + pos + 4), 4), p + pos + header, boxSize - header);
        pos += boxSize;
    }
}

Mp4Length mp4TrackLength(const QString &path, int trackId)
{
    Mp4Length out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    // The movie box can follow the audio: walk the top-level headers to it.
    QByteArray moov;
    for (int64_t pos = 0; pos + 8 <= file.size() && file.seek(pos);) {
        const QByteArray head = file.read(16);
        if (head.size() < 8)
            return out;
        const auto *h = reinterpret_cast<const uchar *>(head.constData());
        int64_t size = be32(h), header = 8;
        if (size == 1 && head.size() == 16) {
            size = int64_t(be64(h + 8));
            header = 16;
        } else if (size == 0) {
            size = file.size() - pos;
        }
        if (size < header)
            return out;
        if (head.mid(4, 4) == "moov") {
            // Even hours of audio keep it to a few MB; more is no movie box.
            if (size > (int64_t(64) << 20) || !file.seek(pos + header))
                return out;
            moov = file.read(size - header);
            break;
        }
        pos += size;
    }
    const auto *m = reinterpret_cast<const uchar *>(moov.constData());
    uint32_t movieScale = 0;
    forEachBox(m, moov.size(), [&](const QByteArray &type, const uchar *b, int64_t n) {
        if (type == "mvhd" && n >= 24)
            movieScale = be32(b + (b[0] == 1 ? 20 : 12));
    });
    forEachBox(m, moov.size(), [&](const QByteArray &type, const uchar *trak, int64_t trakSize) {
        if (type != "trak")
            return;
        int64_t id = -1, sampleTotal = 0;
        uint32_t mediaScale = 0;
        int64_t mediaStart = -1, editDuration = -1;
        int mediaEdits = 0;
        bool emptyEdit = false, haveTable = false;
        int depth = 0; // a damaged file can nest boxes without end
        const std::function<void(const QByteArray &, const uchar *, int64_t)> visit = [&](const QByteArray &t, const uchar *b, int64_t n) {
            if (t == "mdia" || t == "minf" || t == "stbl" || t == "edts") {
                if (depth < 4) {
                    ++depth;
                    forEachBox(b, n, visit);
                    --depth;
                }
            } else if (t == "tkhd" && n >= 24) {
                id = be32(b + (b[0] == 1 ? 20 : 12));
            } else if (t == "mdhd" && n >= 24) {
                mediaScale = be32(b + (b[0] == 1 ? 20 : 12));
            } else if (t == "elst" && n >= 8) {
                const bool v1 = b[0] == 1;
                const int64_t count = be32(b + 4), entry = v1 ? 20 : 12;
                for (int64_t i = 0; i < count && 8 + (i + 1) * entry <= n; ++i) {
                    const uchar *e = b + 8 + i * entry;
                    const int64_t duration = v1 ? int64_t(be64(e)) : be32(e);
                    const int64_t time = v1 ? int64_t(be64(e + 8)) : int32_t(be32(e + 4));
                    if (time < 0) {
                        emptyEdit = true;
                    } else {
                        ++mediaEdits;
                        mediaStart = time;
                        editDuration = duration;
                    }
                }
            } else if (t == "stts" && n >= 8) {
                haveTable = true;
                const int64_t count = be32(b + 4);
                for (int64_t i = 0; i < count && 8 + (i + 1) * 8 <= n; ++i)
                    sampleTotal += int64_t(be32(b + 8 + i * 8)) * be32(b + 12 + i * 8);
            }
        };
        forEachBox(trak, trakSize, visit);
        if (id != trackId || mediaScale == 0 || !haveTable)
            return;
        out.timescale = int(mediaScale);
        if (mediaEdits == 0 && !emptyEdit) {
            out.frames = sampleTotal;
            return;
        }
        // A delay (an empty edit) or several stretches: no plain length.
        if (mediaEdits != 1 || emptyEdit || mediaStart > sampleTotal)
            return;
        out.edited = true;
        const int64_t toEnd = sampleTotal - mediaStart;
        if (editDuration <= 0 || movieScale == 0) {
            out.frames = toEnd;
            return;
        }
        const int64_t edit = av_rescale(editDuration, mediaScale, movieScale);
        // Within one tick of the movie's clock the edit means the media's end.
        const int64_t tick = (int64_t(mediaScale) + movieScale - 1) / movieScale;
        out.frames = std::abs(edit - toEnd) <= tick ? toEnd : std::min(edit, toEnd);
    });
    return out;
}

QString bitsText(const AVCodecParameters *par)
{
    const int bits = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
    return bits > 0 ? QStringLiteral("%1 bit, ").arg(bits) : QString();
}

} // namespace

QString displayName(const QString &path) { return QDir::toNativeSeparators(path); }

namespace {

// Bytes [begin, end) of a file, read through FFmpeg as a file of their own.
struct FileRange final : CustomInput {
    QFile file;
    int64_t begin = 0;
    int64_t end = 0;

    static int read(void *opaque, uint8_t *buf, int size)
    {
        auto *r = static_cast<FileRange *>(opaque);
        const int64_t left = r->end - r->file.pos();
        if (left <= 0)
            return AVERROR_EOF;
        const qint64 got = r->file.read(reinterpret_cast<char *>(buf), std::min<int64_t>(size, left));
        return got > 0 ? int(got) : got == 0 ? AVERROR_EOF : AVERROR(EIO);
    }
    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *r = static_cast<FileRange *>(opaque);
        const int64_t size = r->end - r->begin;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: break;
        case SEEK_CUR: offset += r->file.pos() - r->begin; break;
        case SEEK_END: offset += size; break;
        default: return AVERROR(EINVAL);
        }
        if (offset < 0 || !r->file.seek(r->begin + offset))
            return AVERROR(EINVAL);
        return offset;
    }
};

void checkSize(const QString &path)
{
    const QString name = displayName(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw AudioError(QStringLiteral("Cannot open %1: the file does not exist").arg(name));
    if (info.isDir())
        throw AudioError(QStringLiteral("Cannot open %1: it is a folder, not an audio file").arg(name));
    if (info.size() == 0)
        throw AudioError(QStringLiteral("Cannot open %1: the file is empty").arg(name));
}

// Finds the audio stream of a just opened container.
OpenedContainer opened(const QString &path, AVFormatContext *raw)
{
    const QString name = displayName(path);
    OpenedContainer src;
    src.format.reset(raw);
    int rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot read the format of %1: %2").arg(name, ffErrorText(rc)));
    rc = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (rc < 0)
        throw AudioError(QStringLiteral("%1 holds no audio stream").arg(name));
    src.streamIndex = rc;
    const AVCodecParameters *par = src.stream()->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        throw AudioError(QStringLiteral("Cannot read %1: the audio stream has no valid sample rate or channel count").arg(name));
    return src;
}

// Ogg's page checksum: CRC-32 (polynomial 0x04C11DB7, not reflected, from 0)
// over the page with its checksum field zeroed. av_crc's value for this
// polynomial comes byte-swapped, so the little-endian field reads big-endian.
bool oggPageChecks(const uchar *page, int64_t size)
{
    const AVCRC *table = av_crc_get_table(AV_CRC_32_IEEE);
    const uchar zero[4] = {};
    uint32_t crc = av_crc(table, 0, page, 22);
    crc = av_crc(table, crc, zero, 4);
    crc = av_crc(table, crc, page + 26, size_t(size - 26));
    return crc == (uint32_t(page[22]) << 24 | uint32_t(page[23]) << 16 | uint32_t(page[24]) << 8 | uint32_t(page[25]));
}

// Where the chains of an Ogg file begin: a chain is the logical streams that
// begin together (a stream recorder starts one per song); the file is their
// concatenation. One entry for a file of one chain. Walks the page headers
// only; a chain's first page must pass its checksum.
std::vector<int64_t> oggChainStarts(const QString &path)
{
    std::vector<int64_t> starts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return starts;
    const int64_t size = file.size();
    const uchar *d = size > 27 ? file.map(0, size) : nullptr;
    if (!d)
        return starts;
    bool dataSeen = false; // a page after the chain's first pages
    for (int64_t pos = 0; pos + 27 <= size;) {
        if (std::memcmp(d + pos, "OggS", 4) != 0 || d[pos + 4] != 0) {
            // Damage: find the next page.
            static const uchar sync[] = {'O', 'g', 'g', 'S'};
            const uchar *next = std::search(d + pos + 1, d + size, sync, sync + 4);
            if (next == d + size)
                break;
            pos = next - d;
            continue;
        }
        const int segments = d[pos + 26];
        int64_t pageSize = 27 + segments;
        if (pos + pageSize > size)
            break;
        for (int i = 0; i < segments; ++i)
            pageSize += d[pos + 27 + i];
        if (pos + pageSize > size)
            break;
        if (d[pos + 5] & 2) { // first page of a logical stream
            if ((starts.empty() || dataSeen) && oggPageChecks(d + pos, pageSize))
                starts.push_back(pos);
            dataSeen = false;
        } else {
            dataSeen = true;
        }
        pos += pageSize;
    }
    return starts;
}

} // namespace

OpenedContainer openSource(const QString &path)
{
    checkSize(path);
    AVFormatContext *raw = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    const int rc = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot open %1 as audio: %2").arg(displayName(path), ffErrorText(rc)));
    return opened(path, raw);
}

OpenedContainer openSource(const QString &path, int64_t begin, int64_t end)
{
    checkSize(path);
    const QString name = displayName(path);
    auto range = std::make_unique<FileRange>();
    range->file.setFileName(path);
    range->begin = begin;
    range->end = end;
    if (!range->file.open(QIODevice::ReadOnly) || !range->file.seek(begin))
        throw AudioError(QStringLiteral("Cannot open %1: %2").arg(name, range->file.errorString()));
    constexpr int kBuffer = 1 << 16;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
    AVIOContext *pb = buffer ? avio_alloc_context(buffer, kBuffer, 0, range.get(), &FileRange::read, nullptr, &FileRange::seek) : nullptr;
    AVFormatContext *raw = pb ? avformat_alloc_context() : nullptr;
    if (!raw) {
        if (pb)
            av_freep(&pb->buffer);
        else
            av_free(buffer);
        avio_context_free(&pb);
        throw AudioError(QStringLiteral("Cannot open %1: out of memory").arg(name));
    }
    range.release(); // owned by pb now
    raw->pb = pb;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    const QByteArray encoded = QFile::encodeName(path);
    const int rc = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (rc < 0) {
        // The failed open freed the format context but not our reader.
        freeCustomInput(pb);
        throw AudioError(QStringLiteral("Cannot open %1 as audio: %2").arg(name, ffErrorText(rc)));
    }
    return opened(path, raw);
}

namespace {

int64_t atRate(int64_t frames, int from, int to)
{
    return from == to || from <= 0 ? frames : int64_t(double(frames) * to / from + 0.5);
}

// A bare MPEG file is decoded from our own frame walk rather than FFmpeg's
// demuxer: only the walk knows where joined files meet (each with its own
// delay and padding) and how much a damaged stretch held.
void feedOwnFrames(SourceFacts &f)
{
    const int out = f.mpeg.sampleRate;
    const auto partFacts = [&](SourceFacts &pf, size_t i) {
        const MpegPart &p = f.mpeg.parts[i];
        const int rate = p.stream.sampleRate;
        pf.mpegPart = int(i);
        pf.length = atRate(p.decodedLength(), rate, out);
        pf.exactLength = true;
        pf.frontSkip = atRate(p.frontSkip(), rate, out);
        // Frame positions hold where no resampling stretches them.
        pf.seek = rate == out ? SeekMethod::Frames : SeekMethod::Restart;
        pf.seekPreroll = atRate(16 * int64_t(p.stream.samplesPerFrame), rate, out);
        pf.byteBegin = p.begin;
        pf.byteEnd = p.end;
    };
    if (f.mpeg.parts.size() == 1) {
        partFacts(f, 0);
        return;
    }
    f.length = 0;
    for (size_t i = 0; i < f.mpeg.parts.size(); ++i) {
        SourceFacts pf;
        pf.sampleRate = f.sampleRate;
        pf.channels = f.channels;
        partFacts(pf, i);
        f.length += pf.length;
        f.parts.push_back(std::move(pf));
    }
    f.exactLength = true;
    f.seek = SeekMethod::Frames;
}

SourceFacts describeOne(const QString &path, const OpenedContainer &src)
{
    SourceFacts f;
    const AVStream *st = src.stream();
    const AVCodecParameters *par = st->codecpar;
    f.sampleRate = par->sample_rate;
    f.channels = par->ch_layout.nb_channels;
    const QString tail = rateText(f.sampleRate);
    const QString chans = channelText(f.channels);

    switch (par->codec_id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3: {
        f.mpeg = scanMpegFile(path);
        f.seek = SeekMethod::Timestamps;
        // Layer II's decode after a seek differed in the last bit (seen); layer III's did not.
        f.seekReproducesReading = par->codec_id == AV_CODEC_ID_MP3;
        if (f.mpeg.valid) {
            // The first frame decides the output format, even if FFmpeg's stream
            // parameters describe a later part of a joined file.
            f.sampleRate = f.mpeg.sampleRate;
            f.channels = f.mpeg.channels;
            f.length = f.mpeg.decodedLength();
            f.exactLength = f.mpeg.gapless;
            // The bit reservoir reaches back up to 511 bytes: 2 frames at
            // 128 kbps, 10 at 32 kbps; 16 covers every rate.
            f.seekPreroll = 16 * int64_t(f.mpeg.samplesPerFrame);
            if (qstrcmp(src.format->iformat->name, "mp3") == 0)
                feedOwnFrames(f);
            f.formatText = QStringLiteral("MPEG %1 layer-%2: %3, %4 kbps%5, %6")
                               .arg(f.mpeg.version)
                               .arg(f.mpeg.layer)
                               .arg(rateText(f.mpeg.sampleRate))
                               .arg(f.mpeg.bitrateKbps)
                               .arg(f.mpeg.vbr ? QStringLiteral(" VBR") : QString())
                               .arg(f.mpeg.mode);
        } else {
            // Frames inside another container (rare): trust the container.
            f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
            f.seekPreroll = 16 * 1152;
            const int layer = par->codec_id == AV_CODEC_ID_MP1 ? 1 : par->codec_id == AV_CODEC_ID_MP2 ? 2 : 3;
            f.formatText = QStringLiteral("MPEG layer-%1: %2, %3%4").arg(layer).arg(tail, kbpsText(par->bit_rate), chans);
        }
        break;
    }
    case AV_CODEC_ID_VORBIS:
        // The last granule position is the exact length (seekable input).
        f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
        f.exactLength = f.length > 0;
        f.seek = SeekMethod::Timestamps;
        f.seekPreroll = f.sampleRate / 4;
        f.formatText = QStringLiteral("Ogg Vorbis: %1, %2%3").arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMALOSSLESS:
    case AV_CODEC_ID_WMAVOICE: {
        // ASF records the duration in milliseconds only: an estimate, corrected
        // when the decoder reaches the end. Timestamps are up to 39 samples off.
        f.length = framesFromContainer(src.format.get(), f.sampleRate);
        const int64_t fromStream = framesFromStream(st, f.sampleRate);
        if (f.length <= 0 && fromStream > 0)
            f.length = fromStream;
        if (par->codec_id == AV_CODEC_ID_WMAV1 || par->codec_id == AV_CODEC_ID_WMAV2) {
            // Every decoded frame is frame_len samples (wma.c's choice by rate and
            // version), so a millisecond timestamp rounds to the exact frame start.
            const bool v1 = par->codec_id == AV_CODEC_ID_WMAV1;
            const int bits = f.sampleRate <= 16000 ? 9 : (f.sampleRate <= 22050 || (f.sampleRate <= 32000 && v1)) ? 10 : f.sampleRate <= 48000 ? 11 : 12;
            f.timestampGrid = int64_t(1) << bits;
            // The ASF duration covers the encoder's first frame, which the decoder
            // drops along with its own; the output is a whole number of frames.
            // Seen exact for FFmpeg-written files at 16-48 kHz; still only an
            // estimate, so the output is never cut to it.
            if (f.length > f.timestampGrid)
                f.length = (f.length - f.timestampGrid + f.timestampGrid / 2) / f.timestampGrid * f.timestampGrid;
            f.seek = SeekMethod::Timestamps;
            f.seekPreroll = 8 * f.timestampGrid;
        }
        const char *kind = par->codec_id == AV_CODEC_ID_WMAV1   ? "WMA v1"
                           : par->codec_id == AV_CODEC_ID_WMAV2 ? "WMA v2"
                           : par->codec_id == AV_CODEC_ID_WMAPRO ? "WMA Pro"
                           : par->codec_id == AV_CODEC_ID_WMALOSSLESS ? "WMA Lossless"
                                                                      : "WMA Voice";
        f.formatText = QStringLiteral("%1: %2, %3%4").arg(QLatin1String(kind), tail, kbpsText(par->bit_rate), chans);
        break;
    }
    case AV_CODEC_ID_MUSEPACK7:
    case AV_CODEC_ID_MUSEPACK8: {
        int version = par->codec_id == AV_CODEC_ID_MUSEPACK8 ? 8 : 7;
        int64_t frames = -1;
        {
            const QByteArray encoded = QFile::encodeName(path);
            TagLib::MPC::File file(encoded.constData(), true, TagLib::AudioProperties::Accurate);
            if (file.isValid() && file.audioProperties()) {
                frames = file.audioProperties()->sampleFrames();
                version = file.audioProperties()->mpcVersion();
            }
        }
        if (par->codec_id == AV_CODEC_ID_MUSEPACK8 && frames > 0) {
            // FFmpeg does not trim SV8: 481 frames of decoder delay in front and
            // the rest of the last block after the end.
            f.length = frames;
            f.exactLength = true;
            f.frontSkip = 481;
        } else {
            f.length = frames > 0 ? frames : std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
        }
        // One timestamp tick is a whole packet and did not match the audio after a seek.
        f.seek = SeekMethod::Restart;
        f.formatText = QStringLiteral("Musepack SV%1: %2, %3%4")
                           .arg(version)
                           .arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    }
    case AV_CODEC_ID_OPUS: {
        // The last granule counts the pre-skip too, which the decoder drops
        // (as it trims the last packet to the granule): the audio is the
        // granule less the pre-skip.
        const int64_t granule = framesFromStream(st, f.sampleRate);
        const bool ogg = qstrcmp(src.format->iformat->name, "ogg") == 0;
        if (ogg && granule > 0) {
            f.length = std::max<int64_t>(granule - par->initial_padding, 0);
            f.exactLength = true;
            f.seek = SeekMethod::Timestamps;
        } else {
            f.length = granule > 0 ? granule : framesFromContainer(src.format.get(), f.sampleRate);
        }
        // The decoder's state (band energies predicted from frame to frame)
        // converges slowly after a jump: after the usual 80 ms samples still
        // differed by 2e-4 from a reading through, after a second by nothing.
        f.seekPreroll = f.sampleRate;
        f.formatText = QStringLiteral("Opus: %1, %2%3").arg(tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        break;
    }
    case AV_CODEC_ID_AAC: {
        const char *container = src.format->iformat->name;
        const QLatin1String kind(par->profile == FF_PROFILE_AAC_HE ? "HE-AAC" : par->profile == FF_PROFILE_AAC_HE_V2 ? "HE-AAC v2" : "AAC");
        if (qstrcmp(container, "aac") == 0) {
            const AdtsScan scan = scanAdts(path);
            if (scan.samples > 0) {
                // Spectral band replication doubles the rate the header names.
                f.length = atRate(scan.samples, scan.rate, f.sampleRate);
                f.exactLength = true;
            } else {
                f.length = std::max<int64_t>(framesFromStream(st, f.sampleRate), 0);
            }
            f.seek = SeekMethod::Timestamps;
            const int64_t bits = scan.samples > 0 ? int64_t(double(scan.bytes) * 8 * scan.rate / double(scan.samples)) : par->bit_rate;
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(kind, tail, kbpsText(bits), chans);
        } else {
            // MP4: FFmpeg's decoder drops the priming the edit list skips
            // but leaves the padding of the last frame in; the sample table
            // less the priming is the audio, and the output is cut there. An
            // iTunes file may tell it only in its iTunSMPB comment (without
            // an edit list the table counts the priming and padding too).
            const bool mp4 = qstrcmp(container, kMp4Demuxer) == 0;
            const Mp4Length boxes = mp4 ? mp4TrackLength(path, st->id) : Mp4Length{};
            if (boxes.frames > 0) {
                f.length = atRate(boxes.frames, boxes.timescale, f.sampleRate);
                if (!boxes.edited && boxes.timescale == f.sampleRate)
                    if (const int64_t itunes = itunesGaplessFrames(src.format.get()); itunes > 0)
                        f.length = std::min(f.length, itunes);
                f.exactLength = true;
            } else {
                f.length = framesFromStream(st, f.sampleRate);
                if (f.length <= 0)
                    f.length = framesFromContainer(src.format.get(), f.sampleRate);
            }
            f.seek = mp4 ? SeekMethod::Timestamps : SeekMethod::Restart;
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(kind, tail, kbpsText(averageBitrate(src, f.length, f.sampleRate)), chans);
        }
        // After a jump the first frame lacks its overlap; spectral band
        // replication has a longer memory. Bands the encoder coded as noise
        // are drawn afresh after a jump: they differ from a reading through,
        // though not in how they sound.
        f.seekPreroll = 8192;
        f.seekReproducesReading = false;
        break;
    }
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_WAVPACK:
    case AV_CODEC_ID_APE: {
        // Lossless: the header records the exact length, every frame decodes
        // on its own and carries its first sample's position.
        f.length = framesFromStream(st, f.sampleRate);
        if (qstrcmp(src.format->iformat->name, kMp4Demuxer) == 0)
            if (const Mp4Length boxes = mp4TrackLength(path, st->id); boxes.frames > 0)
                f.length = atRate(boxes.frames, boxes.timescale, f.sampleRate);
        f.exactLength = f.length > 0;
        if (f.length <= 0)
            f.length = framesFromContainer(src.format.get(), f.sampleRate);
        f.seek = SeekMethod::Timestamps;
        const char *kind = par->codec_id == AV_CODEC_ID_FLAC   ? "FLAC"
                           : par->codec_id == AV_CODEC_ID_ALAC ? "ALAC"
                           : par->codec_id == AV_CODEC_ID_WAVPACK ? "WavPack"
                                                                  : "Monkey's Audio";
        f.formatText = QStringLiteral("%1: %2, %3%4").arg(QLatin1String(kind), tail, bitsText(par), chans);
        break;
    }
    default: {
        const AVCodecDescriptor *desc = avcodec_descriptor_get(par->codec_id);
        const bool pcm = desc && (desc->props & AV_CODEC_PROP_LOSSLESS) && QByteArray(desc->name).startsWith("pcm_");
        f.length = framesFromStream(st, f.sampleRate);
        if (f.length < 0)
            f.length = framesFromContainer(src.format.get(), f.sampleRate);
        if (pcm) {
            // Every PCM frame sits at a known byte offset: length and seeking are exact.
            f.exactLength = true;
            f.seek = SeekMethod::Timestamps;
            // A cut-off file still claims the full length in its header.
            const int64_t dataStart = pcmDataOffset(path);
            const int64_t fileSize = QFileInfo(path).size();
            if (dataStart > 0 && par->block_align > 0 && fileSize >= dataStart)
                f.length = std::min(f.length < 0 ? INT64_MAX : f.length, (fileSize - dataStart) / par->block_align);
            const bool isFloat = par->codec_id == AV_CODEC_ID_PCM_F32LE || par->codec_id == AV_CODEC_ID_PCM_F64LE ||
                                 par->codec_id == AV_CODEC_ID_PCM_F32BE || par->codec_id == AV_CODEC_ID_PCM_F64BE;
            const int bits = par->bits_per_raw_sample > 0 ? par->bits_per_raw_sample : par->bits_per_coded_sample;
            if (qstrcmp(src.format->iformat->name, "aiff") == 0)
                f.formatText = QStringLiteral("AIFF: %1, %2 bit%3, %4").arg(tail).arg(bits).arg(isFloat ? QStringLiteral(" float") : QString(), chans);
            else
                f.formatText = QStringLiteral("PCM %1 bit%2: %3, %4").arg(bits).arg(isFloat ? QStringLiteral(" float") : QString(), tail, chans);
        } else {
            const QString codec = desc ? QString::fromUtf8(desc->long_name ? desc->long_name : desc->name) : QStringLiteral("Audio");
            f.formatText = QStringLiteral("%1: %2, %3%4").arg(codec, tail, kbpsText(par->bit_rate), chans);
            f.seekReproducesReading = false; // nothing known of its decoder
        }
        break;
    }
    }
    return f;
}

} // namespace

SourceFacts describeSource(const QString &path, const OpenedContainer &src)
{
    SourceFacts f = describeOne(path, src);
    if (qstrcmp(src.format->iformat->name, "ogg") != 0)
        return f;
    // Chained Ogg: FFmpeg reads on through the chains, but its timestamps
    // restart in each and its length is the last one's. Each chain is read as
    // the file of its own it was.
    const std::vector<int64_t> starts = oggChainStarts(path);
    if (starts.size() < 2)
        return f;
    const int64_t fileSize = QFileInfo(path).size();
    std::vector<SourceFacts> parts;
    for (size_t i = 0; i < starts.size(); ++i) {
        const int64_t end = i + 1 < starts.size() ? starts[i + 1] : fileSize;
        SourceFacts pf;
        try {
            pf = describeOne(path, openSource(path, starts[i], end));
        } catch (const AudioError &) {
            pf.unreadable = true;
        }
        pf.byteBegin = starts[i];
        pf.byteEnd = end;
        parts.push_back(std::move(pf));
    }
    const auto first = std::find_if(parts.begin(), parts.end(), [](const SourceFacts &p) { return !p.unreadable; });
    if (first == parts.end())
        return f;
    SourceFacts whole = *first;
    whole.byteBegin = 0;
    whole.byteEnd = -1;
    whole.length = 0;
    for (SourceFacts &p : parts) {
        if (p.unreadable)
            continue;
        // A chain of another rate is resampled to the first one's.
        p.length = atRate(p.length, p.sampleRate, whole.sampleRate);
        p.frontSkip = atRate(p.frontSkip, p.sampleRate, whole.sampleRate);
        if (p.sampleRate != whole.sampleRate)
            p.seek = SeekMethod::Restart;
        whole.length += p.length;
        whole.exactLength = whole.exactLength && p.exactLength;
    }
    whole.parts = std::move(parts);
    return whole;
}

} // namespace audio_detail
