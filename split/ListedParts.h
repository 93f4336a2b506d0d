#pragma once
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>
#include <vector>

// One part of a plan filled from a list of starts: a CUE sheet's tracks, a
// file's chapters.
struct ListedPart {
    int64_t start = 0;   // sample frame, after the part before
    int32_t number = 0;  // the "NN" of its name
    QString tip;
    SplitPartTag tag;    // tag.title also names the part
};

// Replaces the plan's hand-set parts by `parts`, each starting at its frame
// exactly and named "NN - Title.extension" (made safe for file names). Audio
// before the first part becomes an unchecked part of its own, named
// "00 - <leadName>.extension". `parts` must not be empty.
void FillListedParts(SplitPlan &plan, const std::vector<ListedPart> &parts, int sampleRate,
                     const QString &extension, const QString &leadName, const QString &leadTip);
