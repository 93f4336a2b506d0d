#include "audio/ContainerProbes.h"

#include <QFile>

namespace audio_detail {

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

} // namespace audio_detail
