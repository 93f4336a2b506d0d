// Placeholder until the FFmpeg decoder lands.
#include "audio/Decoder.h"
#include "audio/AudioError.h"

namespace audio_detail {
struct Decoder::Impl {};
Decoder::Decoder(const QString &path) { throw AudioError("Cannot open " + path + ": decoder not built yet"); }
Decoder::~Decoder() = default;
int Decoder::sampleRate() const { return 0; }
int Decoder::channels() const { return 0; }
int64_t Decoder::length() const { return 0; }
PcmArray Decoder::read(int64_t) { return {}; }
int64_t Decoder::seek(int64_t) { return 0; }
} // namespace audio_detail
