#pragma once
#include "audio/Encoder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace audio_detail {

struct Mp4Settings {
    enum class Codec { Aac, Alac };
    Codec codec = Codec::Aac;
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;      // kbps, AAC only
    int bitsPerSample = 16; // ALAC only: 16 or 24
};

// AAC-LC (FFmpeg's own encoder) or ALAC in an MP4 file (.m4a, .m4b) through
// FFmpeg's iPod/MP4 muxer. The file is gapless: its edit list skips the AAC
// encoder's priming and ends at the last input sample, in the audio's own
// time scale, and an AAC file also carries the iTunSMPB comment that iTunes
// and many players read instead.
class Mp4Encoder final : public Encoder {
public:
    Mp4Encoder(const QString &path, const Mp4Settings &settings);
    ~Mp4Encoder() override;

    // Throws AudioError when the encoder would refuse the settings.
    static void check(const Mp4Settings &settings);

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    void writeGaplessComment();
    [[noreturn]] void fail(const QString &reason);

    struct State;
    Mp4Settings settings_;
    QString path_;
    std::unique_ptr<State> s_;
    bool finished_ = false;
};

} // namespace audio_detail
