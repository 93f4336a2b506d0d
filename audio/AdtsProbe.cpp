#include "audio/ContainerProbes.h"

#include <QFile>

#include <cstring>

namespace audio_detail {

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

} // namespace audio_detail
