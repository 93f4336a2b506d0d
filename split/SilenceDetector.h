#pragma once
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Frames [start, end) of the source in which every sample of every channel
// stays below the threshold.
struct SilentStretch {
    int64_t start = 0;
    int64_t end = 0;
    bool operator==(const SilentStretch &) const = default;
};

struct SilenceSettings {
    double thresholdDb = -40.0; // dB below full scale
    double minSeconds = 1.0;    // shorter quiet stretches are pauses within the music
    bool dropSilences = false;  // cut the silences out instead of cutting in their middles
    int32_t tracks = 0;         // parts with sound wanted; 0 for a part between every two silences
};

// Finds silent stretches in decoded audio fed block by block; knows nothing
// of files, so tests feed it generated samples.
class SilenceFinder {
public:
    SilenceFinder(int sampleRate, int channels, double thresholdDb, double minSeconds);

    // Interleaved float, `channels` elements per frame, full scale +-1.0.
    void Feed(const float *samples, int64_t frames);
    // Every stretch of at least the minimum length, in order, the one that
    // runs to the end of the audio included.
    std::vector<SilentStretch> Finish();

private:
    void Close(int64_t end);

    int channels_;
    float threshold_;       // linear amplitude
    int64_t minFrames_;
    int64_t position_ = 0;  // frames fed so far
    int64_t runStart_ = -1; // start of the quiet run in progress, -1 when none
    std::vector<SilentStretch> found_;
};

// Reads the file with a reader of its own (never the window's) and finds its
// silences. progress(percent) is called after every block; returning false
// stops the search, which then returns nothing. Throws AudioError naming the
// file when it cannot be read.
std::optional<std::vector<SilentStretch>> FindSilences(const QString &path, const SilenceSettings &settings,
                                                       const std::function<bool(int percent)> &progress = {});

// The silences that make `tracks` parts of a source of totalFrames frames:
// of the silences between sounds, the tracks - 1 longest (the earlier of two
// as long), in time order; all of them for tracks 0 or when there are no more.
// The silences at the very start and end are kept: they split no track, and
// dropping silences should still cut them off, since a user who asks for ten
// tracks with the silences dropped expects ten tracks without the lead-in and
// the run-out. The inner silences not chosen stay inside their tracks, even
// when dropping, as the pauses within a piece they are.
std::vector<SilentStretch> ChooseTrackSilences(const std::vector<SilentStretch> &silences, int64_t totalFrames,
                                               int32_t tracks);

// Replaces the plan's hand-set parts from the silences of a source of
// totalFrames frames. Without dropping, one split point in the middle of each
// silence between sounds (not the ones at the very start or end), every part
// checked and named as "Set as split point" names it. With dropping, the
// silences, those at the start and end too, become unchecked parts of their
// own with the tip "Silence"; the parts with sound are numbered on their own.
// Returns the number of silences used; 0 leaves the plan as it was.
int32_t ApplySilences(SplitPlan &plan, const std::vector<SilentStretch> &silences, int64_t totalFrames,
                      int sampleRate, bool drop, const QString &extension);
