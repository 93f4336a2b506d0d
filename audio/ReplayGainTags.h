#pragma once
#include <QString>

// ReplayGain 2.0 values of one output, written in its container's own form.
struct ReplayGainValues {
    double trackIntegrated = 0; // LUFS (Opus stores the gain relative to -23 LUFS)
    double trackPeak = 0;       // linear true peak
    bool hasAlbum = false;
    double albumIntegrated = 0;
    double albumPeak = 0;
};

// Whether files of this name's container have a place for ReplayGain: FLAC,
// Ogg Vorbis and Opus comments, MP3's ID3v2, MP4 (.m4a, .m4b, .mp4). WAV and
// WMA have none.
bool CarriesReplayGain(const QString &path);

// Writes track (and album) gain and peak into `path`, replacing earlier
// values: REPLAYGAIN_* comments (FLAC, Vorbis), ID3v2 TXXX frames (MP3),
// iTunes freeform items (MP4), R128_*_GAIN and no REPLAYGAIN_* (Opus).
// Throws AudioError naming the file when it cannot.
void WriteReplayGain(const QString &path, const ReplayGainValues &values);
