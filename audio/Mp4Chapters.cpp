// Chapters of an MP4 file (.m4a, .m4b): FFmpeg's muxer writes them as a
// QuickTime chapter track and a Nero "chpl" list, which players between them
// all read. TagLib cannot write either, and the muxer takes chapters only
// while it writes a file, so the audio is copied, packet for packet, into a
// new file that carries them; the tag items are then copied over.
#include "audio/Mp4Chapters.h"

#include "audio/AudioError.h"
#include "audio/FfmpegUtil.h"
#include "audio/ReadSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <filesystem>
#include <system_error>

namespace audio_detail {

namespace {

[[noreturn]] void refuse(const QString &path, const QString &reason)
{
    throw AudioError(QStringLiteral("Cannot write the chapters of %1: %2").arg(displayName(path), reason));
}

void check(int r, const QString &path)
{
    if (r < 0)
        refuse(path, ffErrorText(r));
}

// The chapters into the muxer, at the audio's rate: starts stay exact frames.
void addChapters(AVFormatContext *oc, const ChapterList &chapters, int64_t endFrame, int rate, const QString &path)
{
    if (chapters.empty())
        return;
    oc->chapters = static_cast<AVChapter **>(av_calloc(chapters.size(), sizeof(AVChapter *)));
    if (!oc->chapters)
        refuse(path, QStringLiteral("out of memory"));
    for (size_t i = 0; i < chapters.size(); ++i) {
        auto *c = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!c)
            refuse(path, QStringLiteral("out of memory"));
        oc->chapters[oc->nb_chapters++] = c; // freed with the context from here on
        const ChapterMark &mark = chapters[i];
        const auto atRate = [&](int64_t frame) {
            return mark.sampleRate == rate || mark.sampleRate <= 0 ? frame
                                                                 : av_rescale(frame, rate, mark.sampleRate);
        };
        c->id = int64_t(i);
        c->time_base = AVRational{1, rate};
        c->start = atRate(mark.startFrame);
        c->end = atRate(i + 1 < chapters.size() ? chapters[i + 1].startFrame : endFrame);
        av_dict_set(&c->metadata, "title", mark.title.toUtf8().constData(), 0);
    }
}

void copyWithChapters(const QString &source, const QString &target, const ChapterList &chapters, int64_t endFrame)
{
    const OpenedContainer in = openSource(source);
    const AVStream *audio = in.stream();
    const int rate = audio->codecpar->sample_rate;
    if (rate <= 0)
        refuse(source, QStringLiteral("its audio has no sample rate"));

    AVFormatContext *raw = nullptr;
    check(avformat_alloc_output_context2(&raw, nullptr, "ipod", nullptr), source);
    OutputFormatPtr out(raw);
    AVStream *stream = avformat_new_stream(raw, nullptr);
    if (!stream)
        refuse(source, QStringLiteral("out of memory"));
    check(avcodec_parameters_copy(stream->codecpar, audio->codecpar), source);
    stream->codecpar->codec_tag = 0;
    stream->time_base = audio->time_base;
    addChapters(raw, chapters, endFrame, rate, source);

    check(avio_open(&raw->pb, (QByteArrayLiteral("file:") + QFile::encodeName(target)).constData(), AVIO_FLAG_WRITE),
          source);
    AVDictionary *options = nullptr;
    av_dict_set_int(&options, "movie_timescale", rate, 0);
    const int written = avformat_write_header(raw, &options);
    av_dict_free(&options);
    check(written, source);

    PacketPtr packet(av_packet_alloc());
    if (!packet)
        refuse(source, QStringLiteral("out of memory"));
    for (;;) {
        const int r = av_read_frame(in.format.get(), packet.get());
        if (r == AVERROR_EOF)
            break;
        check(r, source);
        if (packet->stream_index != in.streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        packet->stream_index = 0;
        av_packet_rescale_ts(packet.get(), audio->time_base, stream->time_base);
        check(av_interleaved_write_frame(raw, packet.get()), source);
    }
    check(av_write_trailer(raw), source);
    check(avio_closep(&raw->pb), source);
}

// The tag items (text, cover, the encoder's gapless note) of one file into another.
void copyItems(const QString &from, const QString &to)
{
    const QByteArray fromName = QFile::encodeName(from), toName = QFile::encodeName(to);
    const TagLib::MP4::File source(fromName.constData(), false);
    TagLib::MP4::File target(toName.constData(), false);
    if (!source.isValid() || !target.isValid() || target.readOnly())
        refuse(from, QStringLiteral("its tag could not be carried over"));
    const TagLib::MP4::ItemMap items = source.tag()->itemMap();
    if (items.isEmpty())
        return;
    for (auto it = items.begin(); it != items.end(); ++it)
        target.tag()->setItem(it->first, it->second);
    if (!target.save())
        refuse(from, QStringLiteral("the tag library could not save its tag"));
}

} // namespace

void writeMp4Chapters(const QString &path, const ChapterList &chapters, int64_t endFrame)
{
    const QFileInfo info(path);
    // Beside the file, with its extension (the tag library goes by it); it
    // replaces the file in one rename, so the file is never half-written.
    QTemporaryFile work(info.dir().filePath(QStringLiteral(".%1.chapters-XXXXXX.%2").arg(info.completeBaseName(), info.suffix())));
    if (!work.open())
        refuse(path, QStringLiteral("no file could be made beside it: %1").arg(work.errorString()));
    const QString workPath = work.fileName();
    work.close();
    copyWithChapters(path, workPath, chapters, endFrame);
    copyItems(path, workPath);
    QFile::setPermissions(workPath, QFile::permissions(path));
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(workPath).toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
    if (ec)
        refuse(path, QString::fromLocal8Bit(ec.message().c_str()));
    work.setAutoRemove(false); // it is the file now
}

} // namespace audio_detail
