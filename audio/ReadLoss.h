#pragma once
#include <QString>
#include <cstdint>
#include <vector>

// A stretch of a source that its reader could not decode, in frames at the
// source's rate.
struct ReadLoss {
    int64_t at = 0;
    int64_t frames = 0;    // 0: unknown
    bool estimate = false; // frames is a guess (no silence stands in for it)
    int64_t leftOut = 0;   // of frames, not filled with silence (a gap past the decoder's cap)
};

// Adds `loss` unless `losses` already holds it: several readers of one source
// (or one reader passing a stretch twice) meet the same damage, and the user
// is told of it once.
void AddReadLoss(std::vector<ReadLoss> &losses, const ReadLoss &loss, int sampleRate);

// The losses for the user: "0.2 s could not be decoded (at 0:05)"; empty
// when there are none.
QString ReadLossText(std::vector<ReadLoss> losses, int sampleRate);
