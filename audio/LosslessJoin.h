#pragma once
#include "audio/LosslessCutter.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Joins whole files into one by copying their compressed audio, so that the
// result decodes like the sources' decodes one after the other: FLAC frames
// are copied and renumbered; MP3 frames are copied, and at each join a few
// frames are encoded anew (a bridge) so that no encoder delay or padding of an
// inner file is left in and the join has no gap.
struct LosslessJoinResult {
    int sampleRate = 0;
    int64_t length = 0;            // sample frames of the whole output
    std::vector<int64_t> starts;   // where each source begins in the output, sample frames
    // MP3: the stretches [first, second) of the output that were encoded anew
    // or whose decode differs from the sources' (the frames after a bridge
    // that still hear it); empty for FLAC.
    std::vector<std::pair<int64_t, int64_t>> bridges;
    // MP3: how far each source's copied frames lie from its start in `starts`
    // (under a frame either way), sample frames; the bridges take up the
    // difference. A source's copied samples are at starts[i] + shifts[i] + k.
    std::vector<int64_t> shifts;
};

// Why the files cannot be joined into `format` ("mp3" or "flac") without
// re-encoding, naming the file at fault; empty when they can. Reads only the
// files' starts, so a damaged file may still be refused by the join itself.
QString LosslessJoinRefusal(const QStringList &sources, const QString &format);

// Writes the join at `path`; the file appears only once it is whole. Throws
// AudioError naming the file at fault (a damaged source, a differing rate,
// channel mode or sample size, a format that cannot be copied), or
// LosslessCutter::Cancelled when `progress` says stop; nothing is written then.
LosslessJoinResult JoinLossless(const QStringList &sources, const QString &format, const QString &path,
                                const LosslessCutter::Progress &progress = {});
