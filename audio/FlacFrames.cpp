#include "audio/FlacFrames.h"

#include <array>

namespace audio_detail {
namespace {

struct Crc8Table {
    std::array<uint8_t, 256> t{};
    Crc8Table()
    {
        for (int i = 0; i < 256; ++i) {
            uint8_t c = uint8_t(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 0x80) ? uint8_t((c << 1) ^ 0x07) : uint8_t(c << 1);
            t[size_t(i)] = c;
        }
    }
};

// t[k][b]: the CRC of byte b followed by k zero bytes.
struct Crc16Tables {
    std::array<std::array<uint16_t, 256>, 8> t{};
    Crc16Tables()
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i << 8);
            for (int k = 0; k < 8; ++k)
                c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x8005) : uint16_t(c << 1);
            t[0][size_t(i)] = c;
        }
        for (size_t k = 1; k < 8; ++k)
            for (size_t i = 0; i < 256; ++i)
                t[k][i] = uint16_t((t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 8]);
    }
};

const Crc8Table kCrc8;
const Crc16Tables kCrc16;

// a * b modulo the CRC-16 polynomial, both as polynomials over GF(2).
uint16_t mulMod(uint16_t a, uint16_t b)
{
    uint16_t r = 0;
    for (int i = 15; i >= 0; --i) {
        r = (r & 0x8000) ? uint16_t((r << 1) ^ 0x8005) : uint16_t(r << 1);
        if (b >> i & 1)
            r ^= a;
    }
    return r;
}

constexpr int kFixedSizes[16] = {0, 192, 576, 1152, 2304, 4608, 0, 0, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768};
constexpr int kRates[12] = {0, 88200, 176400, 192000, 8000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};

} // namespace

uint8_t flacCrc8(const uint8_t *p, size_t n)
{
    uint8_t c = 0;
    for (size_t i = 0; i < n; ++i)
        c = kCrc8.t[c ^ p[i]];
    return c;
}

uint16_t flacCrc16(uint16_t crc, const uint8_t *p, size_t n)
{
    const auto &t = kCrc16.t;
    for (; n >= 8; p += 8, n -= 8) {
        crc = uint16_t(t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]]
                       ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; n > 0; ++p, --n)
        crc = uint16_t((crc << 8) ^ t[0][(crc >> 8) ^ *p]);
    return crc;
}

uint16_t flacCrc16Zeros(uint16_t crc, uint64_t n)
{
    // Over n zero bytes the register is multiplied by x^(8n) modulo the polynomial.
    uint16_t factor = 1, power = 0x0100; // x^8
    for (; n > 0; n >>= 1) {
        if (n & 1)
            factor = mulMod(factor, power);
        power = mulMod(power, power);
    }
    return mulMod(crc, factor);
}

int FlacFrameHeader::bitsPerSample() const
{
    static constexpr int bits[8] = {0, 8, 12, 0, 16, 20, 24, 32};
    return bits[sizeCode];
}

int FlacFrameHeader::sampleRate() const
{
    if (rateCode < 12)
        return kRates[rateCode];
    const int v = rateCode == 12 ? rateExtra[0] : (rateExtra[0] << 8 | rateExtra[1]);
    return rateCode == 12 ? v * 1000 : rateCode == 13 ? v : v * 10;
}

bool parseFlacFrameHeader(const uint8_t *p, int64_t avail, FlacFrameHeader &h)
{
    if (avail < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8)
        return false;
    h.variable = p[1] & 1;
    const int bsCode = p[2] >> 4;
    h.rateCode = p[2] & 15;
    h.channelCode = p[3] >> 4;
    h.sizeCode = (p[3] >> 1) & 7;
    if (bsCode == 0 || h.rateCode == 15 || h.channelCode > 10 || h.sizeCode == 3 || (p[3] & 1))
        return false;
    int at = 4;
    // The number, coded as UTF-8 extended to 36 bits.
    uint64_t v = p[at++];
    int more = 0;
    if (v < 0x80) {
    } else if ((v & 0xE0) == 0xC0) { v &= 0x1F; more = 1; }
    else if ((v & 0xF0) == 0xE0) { v &= 0x0F; more = 2; }
    else if ((v & 0xF8) == 0xF0) { v &= 0x07; more = 3; }
    else if ((v & 0xFC) == 0xF8) { v &= 0x03; more = 4; }
    else if ((v & 0xFE) == 0xFC) { v &= 0x01; more = 5; }
    else if (v == 0xFE && h.variable) { v = 0; more = 6; }
    else
        return false;
    // The continuation bytes, up to two of block size, two of rate and the CRC-8.
    if (avail < at + more + 5)
        return false;
    for (; more > 0; --more) {
        if ((p[at] & 0xC0) != 0x80)
            return false;
        v = v << 6 | (p[at++] & 0x3F);
    }
    h.number = v;
    if (bsCode == 6)
        h.blockSize = p[at++] + 1;
    else if (bsCode == 7) {
        h.blockSize = (p[at] << 8 | p[at + 1]) + 1;
        at += 2;
    } else
        h.blockSize = kFixedSizes[bsCode];
    h.rateExtraBytes = h.rateCode == 12 ? 1 : h.rateCode > 12 ? 2 : 0;
    for (int i = 0; i < h.rateExtraBytes; ++i)
        h.rateExtra[i] = p[at++];
    if (h.rateCode >= 12 && h.sampleRate() == 0)
        return false;
    if (flacCrc8(p, size_t(at)) != p[at])
        return false;
    h.length = at + 1;
    return true;
}

int writeFlacFrameHeader(uint8_t *out, const FlacFrameHeader &h, int blockSize, uint64_t firstSample)
{
    int bsCode = blockSize <= 256 ? 6 : 7;
    for (int c = 1; c < 16; ++c)
        if (kFixedSizes[c] == blockSize)
            bsCode = c;
    out[0] = 0xFF;
    out[1] = 0xF9;
    out[2] = uint8_t(bsCode << 4 | h.rateCode);
    out[3] = uint8_t(h.channelCode << 4 | h.sizeCode << 1);
    int at = 4;
    if (firstSample < 0x80) {
        out[at++] = uint8_t(firstSample);
    } else {
        int more = 1;
        while (more < 6 && firstSample >= (uint64_t(1) << (5 * more + 6)))
            ++more;
        static constexpr uint8_t lead[7] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
        out[at++] = uint8_t(lead[more] | (more < 6 ? firstSample >> (6 * more) : 0));
        for (int k = more - 1; k >= 0; --k)
            out[at++] = uint8_t(0x80 | ((firstSample >> (6 * k)) & 0x3F));
    }
    if (bsCode == 6)
        out[at++] = uint8_t(blockSize - 1);
    else if (bsCode == 7) {
        out[at++] = uint8_t((blockSize - 1) >> 8);
        out[at++] = uint8_t(blockSize - 1);
    }
    for (int i = 0; i < h.rateExtraBytes; ++i)
        out[at++] = h.rateExtra[i];
    out[at] = flacCrc8(out, size_t(at));
    return at + 1;
}

} // namespace audio_detail
