#include "audio/ContainerProbes.h"

#include <QFile>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/crc.h>
}

namespace audio_detail {
namespace {

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

} // namespace

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


} // namespace audio_detail
