#pragma once
// Big-endian fields of the file formats read here (MPEG headers and info
// tags, MP4 boxes).
#include <QtGlobal>
#include <cstdint>

namespace audio_detail {

inline uint32_t be32(const uchar *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
inline uint64_t be64(const uchar *p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }
inline void putBe32(uchar *p, uint32_t v)
{
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

} // namespace audio_detail
