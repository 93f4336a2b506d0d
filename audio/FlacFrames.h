#pragma once
#include <cstdint>
#include <cstddef>

// FLAC frame headers and checksums, as the format defines them: what cutting
// a stream into parts needs without decoding its frames.
namespace audio_detail {

// CRC-8 of a frame header (polynomial 0x07, initial value 0).
uint8_t flacCrc8(const uint8_t *p, size_t n);
// CRC-16 of a whole frame (polynomial 0x8005, not reflected, initial value 0),
// continued from `crc`. Eight bytes a step: it goes over every byte of a file.
uint16_t flacCrc16(uint16_t crc, const uint8_t *p, size_t n);
// `crc` continued over n zero bytes, in a few steps whatever n. Since the
// checksum is linear, a frame whose header changes gets its new CRC from the
// old one without reading its audio again.
uint16_t flacCrc16Zeros(uint16_t crc, uint64_t n);

struct FlacFrameHeader {
    bool variable = false;  // numbered by its first sample, not by its frame
    uint64_t number = 0;    // frame number, or first sample when variable
    int blockSize = 0;      // samples
    int rateCode = 0;       // the header's 4-bit codes and the bytes that go with them
    int channelCode = 0;
    int sizeCode = 0;
    uint8_t rateExtra[2] = {};
    int rateExtraBytes = 0;
    int length = 0;         // bytes, CRC-8 included

    int channels() const { return channelCode < 8 ? channelCode + 1 : 2; }
    // 0: the stream's, as STREAMINFO says.
    int bitsPerSample() const;
    // 0: the stream's.
    int sampleRate() const;
};

// Whether p starts a frame header that is whole and sound (reserved values
// and CRC-8 checked); fills h.
bool parseFlacFrameHeader(const uint8_t *p, int64_t avail, FlacFrameHeader &h);

// The header of a variable-blocksize frame like h numbered `firstSample`,
// with h's block size; returns its length (at most 16 bytes).
int writeFlacFrameHeader(uint8_t *out, const FlacFrameHeader &h, int blockSize, uint64_t firstSample);

} // namespace audio_detail
