#pragma once
#include "audio/Encoder.h"

#include <QString>
#include <memory>
#include <vector>

namespace audio_detail {

struct FlacSettings {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16; // 16 or 24
    int level = 5;          // compression level 0 (fastest) .. 8 (smallest)
};

// FLAC through libFLAC: the total sample count and the MD5 of the audio are in
// STREAMINFO when the file is finished.
class FlacEncoder final : public Encoder {
public:
    // Throws AudioError naming the value FLAC cannot take.
    static void check(const FlacSettings &settings);

    FlacEncoder(const QString &path, const FlacSettings &settings);
    ~FlacEncoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    [[noreturn]] void fail(const char *function);

    FlacSettings settings_;
    QString path_;
    struct Handle; // libFLAC's encoder is an unnamed struct: it cannot be declared here
    std::unique_ptr<Handle> encoder_;
    std::vector<int32_t> buffer_;
    bool finished_ = false;
};

} // namespace audio_detail
