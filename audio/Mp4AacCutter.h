#pragma once
#include "audio/LosslessCutter.h"

// Cuts AAC-LC in an MP4 (.m4a, .mp4, .m4b) into parts by copying its packets
// into new MP4 files, never decoding or re-encoding them. A part holds whole
// packets from one packet before its first sample (the decoder's overlap
// comes from there) to the packet holding its last sample; its edit list
// skips the lead-in and the offset into the first kept packet, and its
// segment lasts exactly the part's length. The iTunSMPB comment says the
// same (priming, padding, length) for players that read that instead.
//
// FFmpeg 5.1 honours an edit list's start to the sample, but not its end: it
// plays the last packet whole. So parts begin and end on packet edges (see
// partStart) and then decode in FFmpeg to exactly their range; the source's
// last part keeps the source's own padding, as the whole source does.
class Mp4AacCutter final : public LosslessCutter {
public:
    // Reads every packet's place and time. Throws AudioError naming the file
    // when it is not AAC-LC in MP4 or cannot be cut exactly: damaged or
    // incomplete, several audio tracks, a change of stream format.
    explicit Mp4AacCutter(const QString &path, const Progress &progress = {});
    ~Mp4AacCutter() override;
    Mp4AacCutter(const Mp4AacCutter &) = delete;
    Mp4AacCutter &operator=(const Mp4AacCutter &) = delete;

    int64_t length() const override;
    int sampleRate() const override;
    // The beginning of the packet whose output holds `start` (at most 1023
    // samples earlier, 23 ms at 44.1 kHz): a part that ends there ends on a
    // packet edge, where FFmpeg stops exactly.
    int64_t partStart(int64_t start) const override;
    // A part that begins and ends inside one packet cannot be trimmed at both
    // ends, and an empty one makes no MP4 players open (two split points in
    // one packet give one): writePart refuses them.
    QString tooShort(int64_t start, int64_t end) const override;
    void writePart(const QString &path, int64_t start, int64_t end, const QByteArray &renderedTag,
                   const Progress &progress = {}) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
