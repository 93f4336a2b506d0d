#include "audio/OutputFile.h"

#include "audio/AudioError.h"

namespace audio_detail {

namespace {
// Big enough that the per-call cost of write(2) disappears next to encoding.
constexpr size_t kChunkBytes = 1 << 20;

// A write the system takes only in part (the disk filled up on the way) is
// no error to QFile and leaves its reason empty: trying the rest makes the
// system say why.
bool writeAll(QFile &file, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = file.write(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}
} // namespace

OutputFile::OutputFile(const QString &path) : path_(path), file_(path)
{
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, file_.errorString()));
    pending_.reserve(kChunkBytes + 65536);
}

OutputFile::~OutputFile()
{
    if (!committed_) {
        file_.close();
        QFile::remove(path_);
    }
}

void OutputFile::append(const void *data, int64_t size)
{
    if (size <= 0)
        return;
    const char *bytes = static_cast<const char *>(data);
    pending_.insert(pending_.end(), bytes, bytes + size);
    if (pending_.size() >= kChunkBytes)
        flushPending();
}

void OutputFile::overwrite(int64_t offset, const void *data, int64_t size)
{
    flushPending();
    const qint64 end = file_.size();
    if (!file_.seek(offset) || !writeAll(file_, static_cast<const char *>(data), size) || !file_.seek(end))
        fail();
}

void OutputFile::commit()
{
    flushPending();
    if (!file_.flush())
        fail();
    file_.close();
    if (file_.error() != QFileDevice::NoError)
        fail();
    committed_ = true;
}

void OutputFile::flushPending()
{
    if (pending_.empty())
        return;
    if (!writeAll(file_, pending_.data(), qint64(pending_.size())))
        fail();
    pending_.clear();
}

void OutputFile::fail()
{
    throw AudioError(QStringLiteral("Cannot write \"%1\": %2").arg(path_, file_.errorString()));
}

} // namespace audio_detail
