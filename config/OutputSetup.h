#pragma once
#include "base/OutputFormat.h"
#include "config/ProgramSettings.h"

#include <cstdint>
#include <functional>

class TAudioFile2;
struct TAudioFile2LameEnc;

// The one place where the saved settings become a writer's output format, for
// the split, the merge and the conversion alike.

// What the writer must know of the source before each file is created: the
// input's rate and channels (an Opus file takes its channel count from them)
// and its length in frames at that rate (0: unknown), from which a WAV that
// will pass 4 GiB is RF64 from its first byte.
struct SourceFormat {
    int sampleRate = 0;
    int channels = 0;
    int64_t frames = 0;
    // The source's stored sample width (TAudioFile2::BitsPerSample); 0: unknown.
    int bitsPerSample = 0;
};

// A rate, channel count or sample width of 0 in the settings stands for the
// source's own ("Same as source"). The settings with those replaced for one
// source and output format, within what the format's encoder takes: FLAC 16
// or 24 bits, MP3 at LAME's nearest rate and as "Mono" or "Joint Stereo",
// Ogg in one or two channels at a rate `oggTakes` accepts (the source's when
// it says nothing), else the nearest that it does. With nothing known of the
// source, 0 becomes 44100 Hz, stereo, 16 bits. Other fields are left alone,
// so a lossless output of a lossless source is never resampled unasked. AAC
// (M4A, M4B) takes its nearest rate in one or two channels; ALAC is as FLAC.
TProgramSettings ResolvedForSource(const TProgramSettings &s, OutputFormat format, const SourceFormat &source,
                                   const std::function<bool(int rate, int channels)> &oggTakes = {});

// The two ways the saved Ogg settings are read. They differ on purpose: the
// merge has always taken them its own way, and a merge made with given
// settings must stay the file it was.
enum class OggSettingsRule {
    // Quality mode (ogg_fquality) wins over VBR; bit rates are checked before
    // they are set, and rates the encoder refuses leave the writer's Ogg
    // format as it stands. The split and the conversion.
    QualityModeFirst,
    // ogg_fquality is not consulted and nothing is checked first: VBR passes
    // ogg_quality along with the three bit rates, otherwise the nominal bit
    // rate alone; the writer refuses what it cannot encode. The merge.
    BitRatesOnly,
};

// Sets the writer's `format` from the settings. `incorrect` hears of Ogg bit
// rates the check refuses (QualityModeFirst only); may be empty.
void ConfigureOutput(TAudioFile2 &writer, TAudioFile2LameEnc &encoder, OutputFormat format, const TProgramSettings &s,
                     OggSettingsRule oggRule, const std::function<void()> &incorrect = {});
// The same for one source: "Same as source" values become the source's
// (ResolvedForSource, Ogg rates asked of `writer`). The form above resolves
// them as for an unknown source.
void ConfigureOutput(TAudioFile2 &writer, TAudioFile2LameEnc &encoder, OutputFormat format, const TProgramSettings &s,
                     const SourceFormat &source, OggSettingsRule oggRule, const std::function<void()> &incorrect = {});
// ResolvedForSource with the Ogg rates asked of `writer` as the rule would set them.
TProgramSettings ResolvedForWriter(const TAudioFile2 &writer, const TProgramSettings &s, OutputFormat format,
                                   const SourceFormat &source);

// MP3: the VBR settings go through `encoder`, constant bit rate through
// SetMp3Format with the stored 1-based channel mode.
void ConfigureMp3Output(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const TProgramSettings &s);
// OGG by the split's and the conversion's rule (QualityModeFirst).
void ConfigureOggOutput(TAudioFile2 &fileW, const TProgramSettings &s, const std::function<void()> &incorrect);

void AnnounceSource(TAudioFile2 &writer, const SourceFormat &source);
