#pragma once
#include "audio/LosslessCutter.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Cuts a FLAC file into parts sample-exact. Frames wholly inside a part are
// copied; only the frame a cut falls in is decoded and its kept samples
// encoded again, which is lossless as well. A part is a variable-blocksize
// stream (its first frame may be shorter than the others), every frame header
// renumbered from the part's first sample, with a STREAMINFO of its own
// (length, block and frame sizes, the MD5 of its samples) and the source's
// metadata but for its seek table and cue sheet, which would be wrong.
class FlacFrameCutter final : public LosslessCutter {
public:
    // Walks every frame and checks its CRCs. Throws AudioError naming the file
    // when it is not FLAC or cannot be cut exactly (damaged or incomplete).
    explicit FlacFrameCutter(const QString &path, const Progress &progress = {});
    ~FlacFrameCutter() override;
    FlacFrameCutter(const FlacFrameCutter &) = delete;
    FlacFrameCutter &operator=(const FlacFrameCutter &) = delete;

    int64_t length() const override;
    int sampleRate() const override;
    // Any part can be cut exactly: empty.
    QString tooShort(int64_t start, int64_t end) const override;

    // `renderedTag` is not used: the source's Vorbis comment and pictures are
    // carried (none when carriesSourceTags() is off), and a PADDING block lets
    // a tagger write the part's tag in place.
    void writePart(const QString &path, int64_t start, int64_t end, const QByteArray &renderedTag,
                   const Progress &progress = {}) const override;

    // The part's STREAMINFO MD5 is summed from its decoded samples, on a
    // thread beside the copy. Off, it is left zero ("not known"), as the
    // format allows: for measuring what the sum costs.
    void setComputeMd5(bool on);

    // Writes the whole of every source, in order, as one stream at `path`:
    // the frames copied and renumbered, a STREAMINFO for all of them (length,
    // block and frame sizes, the MD5 of every sample) and no metadata of the
    // sources, whose tags describe one file each. The file appears only once
    // it is whole. Throws AudioError naming the source whose rate, channels or
    // sample size differ from the first's, Cancelled when `progress` says stop.
    static void join(const QString &path, const std::vector<const FlacFrameCutter *> &sources,
                     const Progress &progress = {});

private:
    struct Impl;
    struct Piece;
    static void writeStream(const QString &path, std::vector<Piece> pieces, bool carryMetadata, bool carryTags,
                            const Progress &progress);
    std::unique_ptr<Impl> d;
};
