#pragma once
#include "audio/Encoder.h"
#include "audio/WmaProfiles.h"

#include <QString>
#include <memory>

namespace audio_detail {

// WMA (wmav1/wmav2) in an ASF file through FFmpeg.
class WmaEncoder final : public Encoder {
public:
    WmaEncoder(const QString &path, const WmaProfile &profile);
    ~WmaEncoder() override;

    int sampleRate() const override { return profile_.sampleRate; }
    int channels() const override { return profile_.channels; }
    void write(const float *pcm, int64_t frames) override;
    void finish() override;

private:
    // A failed step of the encoder's chain; EINVAL is its one run-time refusal.
    void check(int code);
    QString tooLowText() const;
    [[noreturn]] void fail(const QString &reason);

    struct State;
    WmaProfile profile_;
    QString path_;
    std::unique_ptr<State> s_;
    bool finished_ = false;
};

} // namespace audio_detail
