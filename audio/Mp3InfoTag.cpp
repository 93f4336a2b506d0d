#include "audio/Mp3InfoTag.h"
#include "audio/ByteOrder.h"

#include <cstring>

namespace audio_detail {

Mp3InfoTag readMp3InfoTag(const uchar *data, int64_t pos, int64_t frameEnd, const MpegFrameHeader &h)
{
    Mp3InfoTag t;
    if (h.layer != 3)
        return t;
    const int64_t x = pos + 4 + h.sideInfoSize();
    if (x + 8 <= frameEnd && (std::memcmp(data + x, "Xing", 4) == 0 || std::memcmp(data + x, "Info", 4) == 0)) {
        t.present = true;
        t.xing = std::memcmp(data + x, "Xing", 4) == 0;
        const uint32_t flags = be32(data + x + 4);
        int64_t q = x + 8;
        if ((flags & 1) && q + 4 <= frameEnd) {
            t.frames = be32(data + q);
            q += 4;
        }
        if ((flags & 2) && q + 4 <= frameEnd) {
            t.bytes = be32(data + q);
            q += 4;
        }
        if (flags & 4)
            q += 100;
        if ((flags & 8) && q + 4 <= frameEnd) {
            t.quality = be32(data + q);
            q += 4;
        }
        // FFmpeg reads the fields up to the delay and padding wherever the
        // frame ends; LAME and FFmpeg both size the frame to hold the whole
        // extension.
        if (q + 24 <= frameEnd && (std::memcmp(data + q, "LAME", 4) == 0 || std::memcmp(data + q, "Lavf", 4) == 0 ||
                                   std::memcmp(data + q, "Lavc", 4) == 0)) {
            const uchar *e = data + q + 21;
            t.encoderFields = true;
            t.delay = e[0] << 4 | e[1] >> 4;
            t.padding = (e[1] & 15) << 8 | e[2];
            if (q + kLameExtensionBytes <= frameEnd)
                t.extension = q;
        }
    } else if (pos + 36 + 18 <= frameEnd && std::memcmp(data + pos + 36, "VBRI", 4) == 0) {
        t.present = true;
        t.xing = true;
        t.bytes = be32(data + pos + 36 + 10);
        t.frames = be32(data + pos + 36 + 14);
    }
    return t;
}

} // namespace audio_detail
