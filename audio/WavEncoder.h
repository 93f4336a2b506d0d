#pragma once
#include "audio/Encoder.h"

#include <QString>

struct sf_private_tag;

namespace audio_detail {

struct WavSettings {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16; // 8 (unsigned), 16, 24, 32: PCM; 4: IMA ADPCM
};

// Plain WAV (format tag 1, or 0x11 for IMA ADPCM) through libsndfile.
class WavEncoder final : public Encoder {
public:
    // Throws AudioError naming the value no WAV encoder here can write.
    static void check(const WavSettings &settings);

    WavEncoder(const QString &path, const WavSettings &settings);
    ~WavEncoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    [[noreturn]] void fail(const char *function);

    WavSettings settings_;
    QString path_;
    sf_private_tag *file_ = nullptr;
    bool finished_ = false;
};

} // namespace audio_detail
