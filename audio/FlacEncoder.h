#pragma once
#include "audio/Encoder.h"

#include <QString>
#include <deque>
#include <mutex>
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
// STREAMINFO when the file is finished. prepare() turns a block into integers
// and sums its MD5 apart from libFLAC's encoding, so that a pipeline does
// that on the other core and write() is libFLAC's work alone.
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
    // err: errno right after the failing call.
    [[noreturn]] void fail(int err);
    void toIntegers(const float *pcm, int64_t frames, std::vector<int32_t> &out) const;
    void storeMd5();

    FlacSettings settings_;
    QString path_;
    struct Handle; // libFLAC's encoder is an unnamed struct: it cannot be declared here
    std::unique_ptr<Handle> encoder_;
    // Blocks prepare() made, in order, each taken by the write() of the same
    // block; prepare() may run on another thread than write().
    std::mutex preparedMutex_;
    std::deque<std::vector<int32_t>> prepared_;
    std::vector<std::vector<int32_t>> spare_; // emptied blocks for reuse
    std::vector<uint8_t> md5Bytes_;           // prepare()'s own
    bool finished_ = false;
};

} // namespace audio_detail
