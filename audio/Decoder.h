#pragma once
#include "audio/PcmArray.h"
#include "audio/ReadLoss.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace audio_detail {

// Decodes one source file to interleaved float frames, exactly: every frame of
// the source once, in order, encoder delay and padding removed where the file
// records them. A file of several streams end to end (joined MP3 files,
// chained Ogg) yields each in turn as it would decode alone. A damaged stretch
// is skipped, not taken for the end: where its length is known (constant bit
// rate MP3, PCM) silence of that length stands in for it, so what follows keeps
// its time. Throws AudioError (naming the file and the reason) on failure.
class Decoder {
public:
    // threads > 1 lets the codec decode on that many threads, where it can:
    // for a reader that goes through a whole file while other work waits.
    explicit Decoder(const QString &path, int threads = 1);
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    int sampleRate() const;
    int channels() const;
    int64_t length() const; // frames in the source
    // The bits a sample of the source holds as stored: 16, 24 or 32 for
    // lossless sources (PCM, FLAC and their kin; fewer than 16 counts as 16),
    // 16 for lossy ones, whose samples have no stored width.
    int bitsPerSample() const;

    // Up to `frames` frames; fewer at the end, none after it.
    PcmArray read(int64_t frames);
    // Moves to an exact frame (clamped to 0..length) and returns it.
    int64_t seek(int64_t frame);
    // A seek goes to the target by the container, not by decoding from the
    // start, and what is read after it equals what reading through yields
    // there, bit for bit.
    bool seeksExactly() const;
    // What could not be decoded so far, for the user ("0.2 s could not be
    // decoded (at 0:05)"); empty when nothing.
    QString damage() const;
    // The same as stretches, in the order they were met: to tell what one
    // stretch of reading met, and to join the findings of several readers.
    const std::vector<ReadLoss> &losses() const;
    // length() is the source's own record (or the count of its frames), not
    // an estimate that the end of the reading may correct.
    bool lengthIsExact() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace audio_detail
