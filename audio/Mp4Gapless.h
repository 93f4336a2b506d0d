#pragma once
// Internal to the audio components: the gapless facts an MP4 file's encoder
// noted about its own audio (iTunes' iTunSMPB comment).
namespace TagLib {
class File;
}

namespace audio_detail {

// Holds a file's own iTunSMPB while its tag is rewritten from another file's
// fields, and puts it back: a source's figures, carried along with its other
// fields, would make players cut the wrong samples. Does nothing for files
// that are not MP4.
class KeptGaplessInfo {
public:
    explicit KeptGaplessInfo(TagLib::File *file);
    ~KeptGaplessInfo();
    KeptGaplessInfo(const KeptGaplessInfo &) = delete;
    KeptGaplessInfo &operator=(const KeptGaplessInfo &) = delete;
    // Call after the new fields are set and before the file is saved.
    void Restore();

private:
    struct Kept;
    Kept *kept_ = nullptr;
};

} // namespace audio_detail
