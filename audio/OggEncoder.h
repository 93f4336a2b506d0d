#pragma once
#include "audio/Encoder.h"
#include "audio/OutputFile.h"

#include <QString>
#include <memory>

namespace audio_detail {

struct OggSettings {
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;    // kbps, nominal
    int minBitrate = 0;   // kbps; 0 = unset
    int maxBitrate = 0;   // kbps; 0 = unset
    int quality = -1;     // -1: the bit rates govern; 0..1000: Vorbis quality 0.0..1.0
};

// Ogg Vorbis through libvorbisenc and libogg.
class OggEncoder final : public Encoder {
public:
    // Whether libvorbisenc can encode this bit-rate set (quality is ignored).
    static bool usable(const OggSettings &settings);
    // Throws AudioError naming the value the encoder cannot use.
    static void check(const OggSettings &settings);

    OggEncoder(const QString &path, const OggSettings &settings);
    ~OggEncoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    void drain(); // moves finished packets through the stream into the file
    void writePages(bool flush);

    struct State;
    OggSettings settings_;
    std::unique_ptr<State> s_;
    OutputFile file_;
};

} // namespace audio_detail
