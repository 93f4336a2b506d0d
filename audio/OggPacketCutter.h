#pragma once
#include "audio/LosslessCutter.h"

// Cuts an Ogg Opus or Ogg Vorbis file (one logical stream) into parts by
// copying its packets, never decoding or re-encoding them. Each part carries
// the source's header packets and renumbered pages whose granule positions
// make decoders drop exactly the samples outside the part.
//
// Opus: a part starts with whole packets from at least 80 ms before its first
// sample (the decoder converges over them), and its OpusHead pre-skip drops
// that lead-in. The audio after it is close to, not bit for bit, the whole
// file's decode: Opus cannot promise more after a cut.
//
// Vorbis: a part starts one packet before the packet that holds its first
// sample (a decoder yields nothing for the first packet of a stream, only the
// overlap it needs), so it decodes bit for bit like the whole file. Its end
// is exact; its start is the beginning of that packet's output (see
// partStart), since FFmpeg 5.1 plays the samples a first page's granule
// position says to drop.
class OggPacketCutter : public LosslessCutter {
public:
    // Walks every page of the file. Throws AudioError naming the file when it
    // is not Opus or Vorbis in Ogg or cannot be cut exactly: damaged pages,
    // an incomplete file, more than one logical stream (chained or multiplexed).
    explicit OggPacketCutter(const QString &path, const Progress &progress = {});
    ~OggPacketCutter() override;
    OggPacketCutter(const OggPacketCutter &) = delete;
    OggPacketCutter &operator=(const OggPacketCutter &) = delete;

    // "opus" or "ogg" (Vorbis), as the save format.
    QString format() const;
    int64_t length() const override;
    int sampleRate() const override;
    // A part whose first and last samples come from one packet cannot be
    // trimmed exactly by FFmpeg 5.1 (it loses the samples still to drop in
    // front when the end's trim arrives); writePart refuses it.
    // Where a part asked to begin at `start` really begins: `start` for
    // Opus; for Vorbis the beginning of the output of the packet that holds
    // `start`, at most one packet earlier (a few to a few tens of ms). A
    // split that wants its parts to join without overlap ends the part
    // before at that position too.
    int64_t partStart(int64_t start) const override;
    QString tooShort(int64_t start, int64_t end) const override;
    void writePart(const QString &path, int64_t start, int64_t end, const QByteArray &renderedTag,
                   const Progress &progress = {}) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
