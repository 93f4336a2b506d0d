#pragma once
// The source file a lossless cutter reads: mapped whole, read in place.
// Internal to the cutters in audio/.
#include <QFile>
#include <QString>
#include <cstdint>

namespace audio_detail {

struct MappedSource {
    QString path;
    QFile file;
    const uchar *data = nullptr;
    int64_t size = 0;

    // Opens and maps `path`; throws AudioError naming it when it cannot be
    // opened, is empty or cannot be mapped.
    void open(const QString &path);

    // Takes the pages of [from, to) out of this process's resident memory;
    // they stay in the page cache. Walking or copying a long file through the
    // mapping would otherwise hold all of it.
    void release(int64_t from, int64_t to) const;

    // Throws AudioError: "FILE cannot be cut without re-encoding: why".
    [[noreturn]] void refuse(const QString &why) const;
};

} // namespace audio_detail
