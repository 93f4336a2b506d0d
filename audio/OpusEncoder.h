#pragma once
#include "audio/Encoder.h"

#include <QString>

struct OggOpusEnc;
struct OggOpusComments;

namespace audio_detail {

enum class OpusRateMode { Vbr = 0, ConstrainedVbr = 1, Cbr = 2 };

struct OpusSettings {
    int channels = 2;     // 1 or 2; the Writer remixes to it
    int bitrate = 128;    // kbps, 6..510
    OpusRateMode mode = OpusRateMode::Vbr;
    int complexity = 10;  // 0..10
};

// Ogg Opus through libopusenc, always at 48 kHz (the Writer resamples to it).
// libopusenc records the pre-skip and the exact end, so the file decodes to
// as many samples as it was given.
class OpusEncoder final : public Encoder {
public:
    static constexpr int kSampleRate = 48000;
    // Throws AudioError naming the value Opus cannot take.
    static void check(const OpusSettings &settings);

    OpusEncoder(const QString &path, const OpusSettings &settings);
    ~OpusEncoder() override;

    int sampleRate() const override { return kSampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    // code: libopusenc's; err: errno right after the failing call.
    [[noreturn]] void fail(int code, int err);

    OpusSettings settings_;
    QString path_;
    OggOpusComments *comments_ = nullptr;
    OggOpusEnc *encoder_ = nullptr;
    bool finished_ = false;
};

} // namespace audio_detail
