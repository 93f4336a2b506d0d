// Opening a file, or a stretch of one, as a container with an audio stream.
#include "audio/AudioError.h"
#include "audio/ReadSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace audio_detail {

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

} // namespace audio_detail
