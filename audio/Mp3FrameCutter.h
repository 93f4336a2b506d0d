#pragma once
#include "audio/LosslessCutter.h"
#include "audio/LosslessJoin.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Cuts an MPEG Layer III file (MPEG-1, 2 or 2.5; CBR or VBR) into parts by
// copying its frames, never decoding or re-encoding them, so that each part
// decodes sample for sample like the same stretch of the whole file.
//
// Positions are sample frames as a decoder yields them from the whole file
// (encoder delay and padding removed where its LAME/Info frame records them).
// Each part starts a few frames early, so the decoder's bit reservoir and
// filterbank are primed, and carries a LAME/Info frame of its own whose delay
// and padding make decoders drop exactly the samples outside the part.
class Mp3FrameCutter final : public LosslessCutter {
public:
    // Walks every frame of the file. Throws AudioError naming the file when it
    // is not Layer III or cannot be cut exactly: damaged, free-format or
    // incomplete frames, or an info frame that disagrees with the frames.
    explicit Mp3FrameCutter(const QString &path, const Progress &progress = {});
    ~Mp3FrameCutter() override;
    Mp3FrameCutter(const Mp3FrameCutter &) = delete;
    Mp3FrameCutter &operator=(const Mp3FrameCutter &) = delete;

    int64_t length() const override; // sample frames a decoder yields from the whole file
    int sampleRate() const override;

    // Whether the part [start, end) lies inside one frame (under 26 ms at
    // 44.1 kHz). FFmpeg 5.1 forgets the samples still to drop in front when
    // the packet that carries the end trim arrives (and reads no file of a
    // single frame), so no frame copy of such a part decodes exactly there;
    // writePart refuses it.
    bool insideOneFrame(int64_t start, int64_t end) const;
    // "one MP3 frame" for such a part.
    QString tooShort(int64_t start, int64_t end) const override;
    // The part's ID3v2 tag goes in front of its frames.
    bool takesRenderedTag() const override { return true; }

    // Writes the samples [start, end) (0 <= start <= end <= length()) to a new
    // file at `path`, with `id3v2` (a rendered tag, may be empty) in front.
    // The file appears at `path` only once it is whole: a part that fails or
    // is stopped leaves nothing there, and a file it replaces stays as it was.
    // Throws AudioError naming the part when it cannot be written.
    void writePart(const QString &path, int64_t start, int64_t end, const QByteArray &id3v2,
                   const Progress &progress = {}) const override;

    // Joins the whole of every source, in order, into `path`: frames
    // copied, a few frames encoded anew at each join so that it has no gap
    // (see LosslessJoin.h), one info frame for the whole. The sources must
    // share their MPEG version, sample rate and channel mode.
    static LosslessJoinResult join(const QString &path, const std::vector<const Mp3FrameCutter *> &sources,
                                   const Progress &progress = {});

    struct Impl; // the walked frames; internal to audio/

private:
    std::unique_ptr<Impl> d;
};
