#include "audio/Mp4AacCutter.h"

#include "audio/AudioError.h"
#include "audio/ContainerProbes.h"
#include "audio/FfmpegUtil.h"
#include "audio/MappedSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <taglib/mp4file.h>
#include <taglib/tfilestream.h>
#include <taglib/mp4tag.h>

#include <algorithm>
#include <filesystem>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

using namespace audio_detail;

namespace {

QString nameOf(const QString &path) { return QDir::toNativeSeparators(path); }

const char *const kGaplessKey = "----:com.apple.iTunes:iTunSMPB";

struct Packet {
    int64_t pos = 0; // in the file
    int64_t pts = 0; // where its output begins, in the decoder's output of the whole file (negative: priming)
    int32_t size = 0;
    int32_t duration = 0;
};

struct ParametersDeleter {
    void operator()(AVCodecParameters *p) const { avcodec_parameters_free(&p); }
};

} // namespace

struct Mp4AacCutter::Impl : MappedSource {
    std::unique_ptr<AVCodecParameters, ParametersDeleter> par{avcodec_parameters_alloc()};
    int rate = 0;
    std::vector<Packet> packets;
    int64_t length = 0;

    // The packet whose output holds position s (the last one that begins at or before it).
    size_t packetAt(int64_t s) const
    {
        const auto it = std::upper_bound(packets.begin(), packets.end(), s,
                                         [](int64_t v, const Packet &p) { return v < p.pts; });
        return it == packets.begin() ? 0 : size_t(it - packets.begin()) - 1;
    }

    void walk(const Progress &progress);
    void tag(const QString &part, const QString &gapless, bool carries) const;
};

void Mp4AacCutter::Impl::walk(const Progress &progress)
{
    AVFormatContext *raw = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int rc = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (rc < 0)
        refuse(QStringLiteral("it cannot be read as MP4 (%1)").arg(ffErrorText(rc)));
    InputFormatPtr fmt(raw);
    if (qstrcmp(fmt->iformat->name, kMp4Demuxer) != 0)
        refuse(QStringLiteral("it is not an MP4 file"));
    // Probing decodes the first packets: only then does an AAC track that
    // signals spectral band replication implicitly show as HE-AAC.
    if ((rc = avformat_find_stream_info(fmt.get(), nullptr)) < 0)
        refuse(QStringLiteral("it is damaged (%1)").arg(ffErrorText(rc)));
    int index = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (fmt->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
            fmt->streams[i]->discard = AVDISCARD_ALL;
            continue;
        }
        if (index >= 0)
            refuse(QStringLiteral("it holds more than one audio track"));
        index = int(i);
    }
    if (index < 0)
        refuse(QStringLiteral("it holds no audio track"));
    AVStream *st = fmt->streams[index];
    const AVCodecParameters *src = st->codecpar;
    if (src->codec_id != AV_CODEC_ID_AAC || src->profile != FF_PROFILE_AAC_LOW)
        refuse(QStringLiteral("its audio is not AAC-LC"));
    rate = src->sample_rate;
    if (rate <= 0 || st->time_base.num != 1 || st->time_base.den != rate)
        refuse(QStringLiteral("its track does not count time in samples at its sample rate"));
    avcodec_parameters_copy(par.get(), src);

    // A second sample description is a change of format somewhere in the track.
    const Mp4Length boxes = mp4TrackLength(path, st->id);
    if (boxes.descriptions > 1)
        refuse(QStringLiteral("its stream format changes"));

    // The demuxer's index holds every packet's place and time, read from the
    // track's tables, with the edit list applied as a reading would (the
    // priming before time 0): no need to read the audio itself.
    const int count = avformat_index_get_entries_count(st);
    packets.reserve(size_t(std::max(count, 0)));
    int64_t nextReport = kProgressBytes;
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry *e = avformat_index_get_entry(st, i);
        const AVIndexEntry *next = i + 1 < count ? avformat_index_get_entry(st, i + 1) : nullptr;
        // A reading takes a packet's duration up to the next one's start, the last one's to the track's end.
        const int64_t duration = (next ? next->timestamp : st->duration) - e->timestamp;
        if (e->pos < 0 || e->size <= 0 || e->pos + e->size > size)
            refuse(QStringLiteral("it is incomplete or damaged at packet %1").arg(i + 1));
        if (duration <= 0 || duration > 8192 || (!packets.empty() && e->timestamp != packets.back().pts + packets.back().duration))
            refuse(QStringLiteral("its timestamps are damaged at packet %1").arg(i + 1));
        packets.push_back(Packet{e->pos, e->timestamp, e->size, int32_t(duration)});
        if (e->pos >= nextReport) {
            if (progress && !progress(e->pos, size))
                throw Cancelled{};
            nextReport = e->pos + kProgressBytes;
        }
    }
    if (packets.empty())
        refuse(QStringLiteral("its audio track is empty"));

    // The length a reader of the whole file gives: the track's boxes less
    // the priming its edit list skips (an iTunes file without one may say it
    // in iTunSMPB), and never more than its packets hold.
    const int64_t end = packets.back().pts + packets.back().duration;
    length = end;
    if (boxes.frames > 0 && boxes.timescale == rate) {
        length = std::min(end, boxes.frames);
        if (!boxes.edited)
            if (const int64_t itunes = itunesGaplessFrames(fmt.get()); itunes > 0)
                length = std::min(length, itunes);
    }
    if (packets.front().pts > 0 || length <= 0)
        refuse(QStringLiteral("its edit list delays its audio"));
}

// The source's tags (unless told not to carry them) and the part's gapless
// comment, through TagLib: FFmpeg's muxer writes no iTunes freeform items.
void Mp4AacCutter::Impl::tag(const QString &part, const QString &gapless, bool carries) const
{
    TagLib::MP4::File out(QFile::encodeName(part).constData());
    if (!out.isValid() || !out.tag())
        throw AudioError(QStringLiteral("Cannot write the tag of %1").arg(nameOf(part)));
    if (carries) {
        TagLib::FileStream stream(QFile::encodeName(path).constData(), true); // the source is only read
        TagLib::MP4::File in(&stream, false);
        if (in.isValid() && in.tag()) {
            const TagLib::MP4::ItemMap items = in.tag()->itemMap();
            for (auto it = items.begin(); it != items.end(); ++it)
                if (it->first != kGaplessKey)
                    out.tag()->setItem(it->first, it->second);
        }
    }
    out.tag()->setItem(kGaplessKey, TagLib::MP4::Item(TagLib::StringList(TagLib::String(gapless.toStdString()))));
    if (!out.save())
        throw AudioError(QStringLiteral("Cannot write the tag of %1").arg(nameOf(part)));
}

Mp4AacCutter::Mp4AacCutter(const QString &path, const Progress &progress) : d(std::make_unique<Impl>())
{
    d->open(path);
    d->walk(progress);
}

Mp4AacCutter::~Mp4AacCutter() = default;

int64_t Mp4AacCutter::length() const { return d->length; }
int Mp4AacCutter::sampleRate() const { return d->rate; }

int64_t Mp4AacCutter::partStart(int64_t start) const
{
    if (start <= 0 || start >= d->length)
        return start;
    return std::max<int64_t>(0, d->packets[d->packetAt(start)].pts);
}

QString Mp4AacCutter::tooShort(int64_t start, int64_t end) const
{
    if (end < start || start < 0 || end > d->length)
        return {};
    if (end == start) // an MP4 track without samples is no file players open
        return QStringLiteral("one AAC packet");
    const size_t f = d->packetAt(start), l = d->packetAt(end - 1);
    const Packet &p = d->packets[f];
    if (f != l || (std::max<int64_t>(p.pts, 0) == start && (end == p.pts + p.duration || end == d->length)))
        return {};
    return QStringLiteral("one AAC packet");
}

void Mp4AacCutter::writePart(const QString &path, int64_t start, int64_t end, const QByteArray &,
                             const Progress &progress) const
{
    if (start < 0 || end < start || end > d->length)
        throw AudioError(QStringLiteral("Cannot write %1: samples %2 to %3 are outside %4")
                             .arg(nameOf(path)).arg(start).arg(end).arg(nameOf(d->path)));
    if (!tooShort(start, end).isEmpty())
        d->refuse(QStringLiteral("the part from sample %1 to %2 is empty or lies inside one AAC packet, "
                                 "which decoders would not trim exactly")
                      .arg(start).arg(end));
    const std::vector<Packet> &packets = d->packets;
    // One packet ahead of the one holding `start`: the decoder overlaps each
    // packet's output with the one before, so the first packet it is given
    // yields nothing exact. The edit list skips it.
    const size_t f = d->packetAt(start), first = f > 0 ? f - 1 : 0, last = d->packetAt(end - 1);

    // Written beside the target, tagged, then renamed into place: a refused,
    // failed or stopped part leaves nothing, and a file it replaces stays.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(nameOf(path), temp.errorString()));
    const QString tempPath = temp.fileName();
    // As a file written in place would be: the temporary one is private.
    temp.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                              | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray tempName = QFile::encodeName(tempPath);
    temp.close();
    const auto failed = [&](int rc) {
        return AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), ffErrorText(rc)));
    };
    int64_t priming = 0, padding = 0;
    {
        const QString suffix = target.suffix().toLower();
        AVFormatContext *raw = nullptr;
        int rc = avformat_alloc_output_context2(&raw, nullptr, suffix == QLatin1String("mp4") ? "mp4" : "ipod",
                                                tempName.constData());
        if (rc < 0)
            throw failed(rc);
        OutputFormatPtr oc(raw);
        oc->flags |= AVFMT_FLAG_BITEXACT; // no encoder tag or dates of our own
        AVStream *st = avformat_new_stream(oc.get(), nullptr);
        if (!st || (rc = avcodec_parameters_copy(st->codecpar, d->par.get())) < 0)
            throw failed(st ? rc : AVERROR(ENOMEM));
        st->codecpar->codec_tag = 0;
        st->codecpar->initial_padding = 0;
        st->codecpar->trailing_padding = 0;
        st->time_base = AVRational{1, d->rate};
        if ((rc = avio_open(&oc->pb, tempName.constData(), AVIO_FLAG_WRITE)) < 0)
            throw failed(rc);
        AVDictionary *opts = nullptr;
        // The movie's clock in samples too, so that the edit's duration is exact
        // (FFmpeg's default counts milliseconds).
        av_dict_set_int(&opts, "movie_timescale", d->rate, 0);
        av_dict_set(&opts, "use_editlist", "1", 0);
        rc = avformat_write_header(oc.get(), &opts);
        av_dict_free(&opts);
        if (rc < 0)
            throw failed(rc);

        const int64_t from = packets[first].pos;
        const int64_t total = std::max<int64_t>(1, packets[last].pos + packets[last].size - from);
        int64_t nextReport = from + kProgressBytes;
        PacketPtr pkt(av_packet_alloc());
        for (size_t k = first; k <= last; ++k) {
            const Packet &p = packets[k];
            if (p.pos >= nextReport) {
                if (progress && !progress(p.pos - from, total))
                    throw Cancelled{};
                nextReport = p.pos + kProgressBytes;
            }
            // The part's time 0 is its first sample: the lead-in lies before
            // it, which the muxer writes as the edit's media time, and the
            // last packet lasts to the part's end, which ends the edit there.
            av_packet_unref(pkt.get());
            pkt->data = const_cast<uint8_t *>(d->data + p.pos); // written out before the call returns
            pkt->size = p.size;
            pkt->pts = pkt->dts = p.pts - start;
            pkt->duration = k == last ? end - p.pts : p.duration;
            pkt->flags = AV_PKT_FLAG_KEY;
            pkt->stream_index = 0;
            av_packet_rescale_ts(pkt.get(), AVRational{1, d->rate}, st->time_base);
            if ((rc = av_write_frame(oc.get(), pkt.get())) < 0)
                throw failed(rc);
        }
        if ((rc = av_write_trailer(oc.get())) < 0 || (rc = oc->pb->error) < 0)
            throw failed(rc);
        if ((rc = avio_closep(&oc->pb)) < 0)
            throw failed(rc);
        d->release(from, from + total);
        priming = start - packets[first].pts;
        padding = packets[last].pts + std::max<int64_t>(d->par->frame_size, packets[last].duration) - end;
    }
    // iTunes' gapless comment: priming, padding and length in hex.
    QString gapless = QStringLiteral(" 00000000 %1 %2 %3")
                          .arg(priming, 8, 16, QLatin1Char('0'))
                          .arg(std::max<int64_t>(padding, 0), 8, 16, QLatin1Char('0'))
                          .arg(end - start, 16, 16, QLatin1Char('0'))
                          .toUpper();
    for (int i = 0; i < 8; ++i)
        gapless += QStringLiteral(" 00000000");
    d->tag(tempPath, gapless, carriesSourceTags());
    if (progress && !progress(1, 1))
        throw Cancelled{};

    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tempName.constData()), std::filesystem::path(QFile::encodeName(path).constData()), ec);
    if (ec)
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(nameOf(path), QString::fromStdString(ec.message())));
}
