#pragma once
#include "audio/Encoder.h"
#include "audio/OutputFile.h"

#include <QString>
#include <memory>
#include <vector>

struct lame_global_struct;

namespace audio_detail {

struct Mp3Settings {
    int sampleRate = 44100; // Hz, of the file; the Writer resamples to it
    int bitrate = 128;      // kbps: the constant rate, or the lowest rate with vbr
    int maxBitrate = 192;   // kbps, vbr only
    int mode = 3;           // 1 Mono, 2 Stereo, 3 Joint Stereo, 4 Forced Joint Stereo, 5 Dual Channels
    bool vbr = false;
    int vbrQuality = 7;     // 0 (best) .. 9, vbr only

    int channels() const { return mode == 1 ? 1 : 2; }
};

// MP3 through LAME, with a LAME/Info frame so decoders trim delay and padding.
class Mp3Encoder final : public Encoder {
public:
    // Throws AudioError naming the first value LAME cannot encode as given
    // (LAME itself would quietly substitute another bit rate or sample rate).
    static void check(const Mp3Settings &settings);

    Mp3Encoder(const QString &path, const Mp3Settings &settings);
    ~Mp3Encoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels(); }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

    struct LameDeleter {
        void operator()(lame_global_struct *g) const;
    };
    using LamePtr = std::unique_ptr<lame_global_struct, LameDeleter>;

private:
    Mp3Settings settings_;
    LamePtr lame_;
    OutputFile file_;
    std::vector<unsigned char> mp3_; // reused output buffer
};

} // namespace audio_detail
