#pragma once
#include "audio/PcmArray.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace audio_detail {

// Decodes one source file to interleaved float frames, exactly: every frame of
// the source once, in order, encoder delay and padding removed where the file
// records them. Throws AudioError (naming the file and the reason) on failure.
class Decoder {
public:
    explicit Decoder(const QString &path);
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    int sampleRate() const;
    int channels() const;
    int64_t length() const; // frames in the source

    // Up to `frames` frames; fewer at the end, none after it.
    PcmArray read(int64_t frames);
    // Moves to an exact frame (clamped to 0..length) and returns it.
    int64_t seek(int64_t frame);
    // A description of what could not be decoded so far; empty when nothing.
    QString damage() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace audio_detail
