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

// Plain WAV (format tag 1, or 0x11 for IMA ADPCM) through libsndfile; RF64
// when the audio is expected to pass what 32-bit RIFF sizes can hold.
class WavEncoder final : public Encoder {
public:
    // Throws AudioError naming the value no WAV encoder here can write.
    static void check(const WavSettings &settings);

    // Bytes a file of `frames` sample frames takes, header included; a little
    // more for IMA ADPCM, whose block layout depends on the rate.
    static int64_t predictedBytes(const WavSettings &settings, int64_t frames);

    // `expectedFrames`: the sample frames (at settings.sampleRate) the file is
    // expected to receive, 0 when unknown. Only an expectation past the RIFF
    // limit changes the file: it is then RF64 (a 64-bit size chunk, the
    // extensible format tag), which plain WAV readers of old may not open.
    WavEncoder(const QString &path, const WavSettings &settings, int64_t expectedFrames = 0);
    ~WavEncoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    // err: errno right after the failing call.
    [[noreturn]] void fail(int err);

    WavSettings settings_;
    QString path_;
    bool rf64_ = false;
    int64_t framesWritten_ = 0;
    sf_private_tag *file_ = nullptr;
    bool finished_ = false;
};

} // namespace audio_detail
