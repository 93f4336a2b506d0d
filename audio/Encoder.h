#pragma once
#include <cstdint>

namespace audio_detail {

// One output file being encoded. An encoder opens its file in its constructor
// (throwing AudioError, with no file left behind, when it cannot) and takes
// interleaved float at its own sample rate and channel count; the Writer
// resamples before handing audio over.
//
// finish() flushes the codec, writes trailers and headers and closes the file.
// An encoder destroyed without a successful finish() was abandoned: it releases
// its handles and removes its incomplete file.
class Encoder {
public:
    virtual ~Encoder() = default;
    Encoder() = default;
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;

    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // `frames` sample frames, channels() floats each, full scale +-1.0.
    virtual void write(const float *pcm, int64_t frames) = 0;
    // Work on a block that a pipeline may do on the caller's thread while its
    // own thread encodes an earlier block: called once per block, in order,
    // before write() of the same block. Without a pipeline only write() is
    // called, and an encoder that has such work does it there.
    virtual void prepare(const float *, int64_t) {}
    virtual void finish() = 0;
};

} // namespace audio_detail
