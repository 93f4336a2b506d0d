#pragma once
#include "audio/Chapters.h"
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>

// Replaces the plan's hand-set parts by the source's chapters, as a CUE
// sheet's tracks replace them: each part starts at its chapter's frame
// exactly, is named "NN - Title.extension" and tagged with the chapter's
// title and its number. Audio before the first chapter becomes an unchecked
// part of its own. Chapters that start at or after the end of a source of
// totalFrames frames, or where the chapter before starts, are passed over.
// Returns the number of chapters used; 0 leaves the plan as it was.
int ApplyChapters(SplitPlan &plan, const ChapterList &chapters, int64_t totalFrames, int sampleRate,
                  const QString &extension);

// What the user is told about a source without chapters.
QString NoChaptersText(const QString &sourcePath);
