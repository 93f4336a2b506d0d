#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

// libFLAC over bytes in memory, for the few frames a cut goes through.
namespace audio_detail {

// Decodes whole FLAC frames (`bytes` of them at `frames`) of the stream that
// `streamInfo` (the 34 bytes of its STREAMINFO block) describes. onBlock gets
// each frame's samples, interleaved, and returns false to stop. Throws
// AudioError with libFLAC's reason (the caller names the file).
void decodeFlacFrames(const uint8_t *streamInfo, const uint8_t *frames, int64_t bytes,
                      const std::function<bool(const int32_t *interleaved, int blockSize)> &onBlock);

// Encodes `count` interleaved sample frames in frames of at most maxBlock
// samples (none under 16 but the last); returns the frames' bytes, no stream
// header, one array a frame. Throws AudioError with libFLAC's reason.
std::vector<QByteArray> encodeFlacFrames(const int32_t *interleaved, int64_t count, int sampleRate, int channels, int bitsPerSample,
                            int maxBlock);

} // namespace audio_detail
