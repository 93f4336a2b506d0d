#include "audio/MappedSource.h"

#include "audio/AudioError.h"

#include <QDir>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace audio_detail {

void MappedSource::open(const QString &name)
{
    path = name;
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly))
        throw AudioError(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(name), file.errorString()));
    size = file.size();
    data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        refuse(QStringLiteral("it is empty or cannot be read"));
}

void MappedSource::release(int64_t from, int64_t to) const
{
#ifdef Q_OS_LINUX
    static const int64_t page = sysconf(_SC_PAGESIZE);
    const int64_t a = (from + page - 1) / page * page, b = to / page * page;
    if (b > a)
        madvise(const_cast<uchar *>(data) + a, size_t(b - a), MADV_DONTNEED);
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
}

void MappedSource::refuse(const QString &why) const
{
    throw AudioError(
        QStringLiteral("%1 cannot be cut without re-encoding: %2").arg(QDir::toNativeSeparators(path), why));
}

} // namespace audio_detail
