#pragma once
// Internal to the audio components.
#include "audio/Chapters.h"

namespace audio_detail {

// Rewrites the MP4 file at `path` with `chapters` (the last ending at
// endFrame); the audio is copied as it is, tag items and gapless facts
// included. Throws AudioError naming the file; the file is then unchanged.
void writeMp4Chapters(const QString &path, const ChapterList &chapters, int64_t endFrame);

} // namespace audio_detail
