#pragma once
#include "config/ProgramSettings.h"

#include <functional>

class TAudioFile2;
struct TAudioFile2LameEnc;

// The saved settings of one output format applied to a writer, as the split,
// the merge and the conversion take them.

// MP3: the VBR settings go through `encoder`, constant bit rate through
// SetMp3Format with the stored 1-based channel mode.
void ConfigureMp3Output(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const TProgramSettings &s);
// OGG: quality mode wins; otherwise the bit rates are checked first, and
// `incorrect` hears of rates the encoder refuses (the writer is then left as
// it stands).
void ConfigureOggOutput(TAudioFile2 &fileW, const TProgramSettings &s, const std::function<void()> &incorrect);
// FLAC and Opus: every value from the settings.
void ConfigureFlacOutput(TAudioFile2 &fileW, const TProgramSettings &s);
void ConfigureOpusOutput(TAudioFile2 &fileW, const TProgramSettings &s);
