#pragma once
#include "audio/Encoder.h"

#include <QString>
#include <atomic>
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
// STREAMINFO when the file is finished. The MD5 is summed in prepare(), apart
// from libFLAC's encoding, so that a pipeline can sum it on the other core.
class FlacEncoder final : public Encoder {
public:
    // Throws AudioError naming the value FLAC cannot take.
    static void check(const FlacSettings &settings);

    FlacEncoder(const QString &path, const FlacSettings &settings);
    ~FlacEncoder() override;

    int sampleRate() const override { return settings_.sampleRate; }
    int channels() const override { return settings_.channels; }
    void prepare(const float *pcm, int64_t frames) override;
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    [[noreturn]] void fail(const char *function);
    void toIntegers(const float *pcm, int64_t frames, std::vector<int32_t> &out) const;
    void storeMd5();

    FlacSettings settings_;
    QString path_;
    struct Handle; // libFLAC's encoder is an unnamed struct: it cannot be declared here
    std::unique_ptr<Handle> encoder_;
    std::vector<int32_t> buffer_;
    // prepare()'s own: it may run on another thread than write().
    std::vector<int32_t> md5Samples_;
    std::vector<uint8_t> md5Bytes_;
    std::atomic<int64_t> framesPrepared_ = 0;
    int64_t framesWritten_ = 0;
    bool finished_ = false;
};

} // namespace audio_detail
