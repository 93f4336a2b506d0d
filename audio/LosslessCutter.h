#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Cuts one compressed file into parts by copying its packets, so that each
// part decodes like the same stretch of the whole file, to the sample. One
// implementation per codec; the split asks OpenLosslessCutter for the right one.
//
// Positions are sample frames as a decoder yields them from the whole file
// (priming and padding removed).
class LosslessCutter {
public:
    // Told how far a walk or a part's copy is (done of total, in bytes gone
    // through) about every kProgressBytes, so that a window can draw and hear
    // its Cancel button; returns false to stop, and the step throws Cancelled.
    using Progress = std::function<bool(int64_t done, int64_t total)>;
    struct Cancelled {};
    static constexpr int64_t kProgressBytes = 1 << 20;

    virtual ~LosslessCutter() = default;

    virtual int64_t length() const = 0; // sample frames a decoder yields from the whole file
    virtual int sampleRate() const = 0;

    // Empty when the part [start, end) can be copied exactly; otherwise what
    // it is shorter than, completing "Part k of FILE is shorter than ...,
    // so it cannot be copied exactly" (for MP3: "one MP3 frame").
    virtual QString tooShort(int64_t start, int64_t end) const = 0;

    // Where a part asked to begin at `start` really begins: `start` where
    // the codec can drop samples in front exactly; otherwise the nearest
    // earlier position it can begin at. A split that wants its parts to join
    // without overlap ends the part before there too.
    virtual int64_t partStart(int64_t start) const { return start; }

    // Whether writePart wants the part's tag rendered in front (MP3: ID3v2).
    // Cutters that answer false carry the source's own metadata into the
    // part, and the split writes the part's tag into the finished file.
    virtual bool takesRenderedTag() const { return false; }

    // Whether writePart carries the source's own metadata (comments,
    // pictures) into a part, where the split then writes the part's tag.
    // Off (a split without tags) a part carries none of it, only what its
    // codec requires: an Ogg stream keeps its comment header, empty but for
    // the vendor string. A cutter that takes a rendered tag carries nothing
    // of the source anyway.
    void setCarriesSourceTags(bool on) { carriesSourceTags_ = on; }
    bool carriesSourceTags() const { return carriesSourceTags_; }

    // Writes the samples [start, end) (0 <= start <= end <= length()) to a new
    // file at `path`. The file appears at `path` only once it is whole: a part
    // that fails or is stopped leaves nothing there, and a file it replaces
    // stays as it was. Throws AudioError naming the part when it cannot be
    // written, Cancelled when `progress` says stop.
    virtual void writePart(const QString &path, int64_t start, int64_t end, const QByteArray &renderedTag,
                           const Progress &progress = {}) const = 0;

private:
    bool carriesSourceTags_ = true;
};

// The save format (lower case, as in setup.ini) into which the audio of
// `path` can be copied without re-encoding, from its codec: "mp3" for MPEG
// Layer III, "flac", "opus" (Opus in Ogg), "ogg" (Vorbis in Ogg), "m4a"
// (AAC-LC in MP4: .m4a, .mp4, .m4b); empty when
// the file's codec cannot be copied. Reads only the file's start.
QString LosslessSaveFormat(const QString &path);

// The cutter for `path`; walks the whole file. Throws AudioError naming the
// file when it cannot be cut exactly (damaged or incomplete, a change of
// stream format), LosslessCutter::Cancelled when `progress` says stop.
std::unique_ptr<LosslessCutter> OpenLosslessCutter(const QString &path, const LosslessCutter::Progress &progress = {});
