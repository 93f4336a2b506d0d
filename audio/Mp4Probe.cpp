#include "audio/ByteOrder.h"
#include "audio/ContainerProbes.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <functional>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

namespace audio_detail {

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

namespace {

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

} // namespace

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
        int descriptions = 0;
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
            } else if (t == "stsd" && n >= 8) {
                descriptions = int(be32(b + 4));
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
        out.descriptions = descriptions;
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

} // namespace audio_detail
