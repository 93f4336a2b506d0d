#pragma once
#include <QString>
#include <cstdint>

// The process-wide settings record, loaded once from setup.ini at start-up and
// then changed in memory by the windows. Field order and names follow the file:
// general keys by their name, format keys as section_key.
struct TProgramSettings {
    QString savepath;
    QString saveformat;
    int32_t mp3_channels = 3;
    int32_t mp3_frequency = 44100;
    int32_t mp3_bitrate = 128;
    int32_t mp3_fvbr = 0;
    int32_t mp3_maxbitrate = 192;
    int32_t mp3_vbrquality = 7;
    uint32_t wav_frequency = 44100;
    uint32_t wav_channels = 2;
    uint32_t wav_bps = 16;
    int32_t wma_wmaprofile = 38;
    int32_t ogg_frequency = 44100;
    int32_t ogg_channels = 2;
    int32_t ogg_bitrate = 128;
    int32_t ogg_vbr = 0;
    int32_t ogg_fquality = 0;
    int32_t ogg_minbitrate = 128;
    int32_t ogg_maxbitrate = 192;
    int32_t ogg_quality = 300;
    // A rate, channel count or sample width of 0 is "Same as source"
    // (config/OutputSetup.h); FLAC keeps the source's by default, so that a
    // lossless conversion loses nothing unless asked to.
    int32_t flac_frequency = 0;
    int32_t flac_channels = 0;
    int32_t flac_bps = 0;      // 16 or 24, or 0
    int32_t flac_level = 5;    // compression 0..8
    int32_t opus_bitrate = 128; // kbps
    int32_t opus_mode = 0;      // 0 VBR, 1 constrained VBR, 2 CBR
    int32_t opus_complexity = 10;
    // AAC for M4A and M4B: the rate and layout follow the source by default.
    int32_t m4a_bitrate = 128; // kbps, 32..320
    int32_t m4a_frequency = 0;
    int32_t m4a_channels = 0;
    // ALAC keeps the source's rate, layout and width by default, as FLAC does.
    int32_t alac_frequency = 0;
    int32_t alac_channels = 0;
    int32_t alac_bps = 0; // 16 or 24, or 0
    // [general] losslessmp3: the split wizard copies MP3 frames instead of
    // re-encoding when the source allows it (0 or 1; off by default).
    int32_t losslessmp3 = 0;
    // [general] jobs: files a conversion works on at once; 0 (the default)
    // takes every core.
    int32_t jobs = 0;
    // [general] chaptermarks: a merge marks where each source begins (0 or 1; off by default).
    int32_t chaptermarks = 0;
    // [general] losslessjoin: a merge copies MP3 or FLAC audio without
    // re-encoding where the sources allow it (0 or 1; off by default).
    int32_t losslessjoin = 0;
    // [general] keepstructure, skipexisting (0 or 1) and nametemplate: the
    // convert page's choices for whole libraries (off and empty by default).
    int32_t keepstructure = 0;
    int32_t skipexisting = 0;
    QString nametemplate;
    // [general] replaygain (0 or 1): a conversion writes ReplayGain tags.
    int32_t replaygain = 0;
    // [general] normalise: the loudness a merge brings each source to, in
    // LUFS (-23, -18, -16 or -14); 0, the default, leaves sources as they are.
    int32_t normalise = 0;
};

// The most files a conversion works on at once, as setup.ini and the window take it.
inline constexpr int32_t kMaxJobs = 64;

// The one record of the running program.
extern TProgramSettings ProgramSettings;

// Full path of setup.ini: beside the executable, or in the user's configuration
// folder for an installed copy (the rule is in config/ProgramFiles.h).
QString ConfigFilePath();
// Directory of the running executable, ending in the platform's separator.
// Tests point it elsewhere; setup.ini then always lies in it.
QString ProgramDirectory();
void SetProgramDirectoryForTesting(const QString &dir);
// The platform's path delimiter: "\" on Windows, "/" elsewhere.
QString PathDelimiter();
// "C:\My Music\" on Windows; elsewhere the user's music folder + "/".
QString DefaultSavePath();

void LoadProgramSettings();
// Throw std::runtime_error("Unable to write to <path>") when the file cannot be written.
void SaveFormatSettings();
void SaveGeneralSettings(const QString &mergeFileName);
// Writes [general] losslessmp3 alone; the other keys stay as they are in the file.
void SaveLosslessMp3Setting();
// Writes [general] jobs alone, the same way.
void SaveJobsSetting();
// Writes [general] chaptermarks and losslessjoin, the merge's choices, alone, the same way.
void SaveChapterMarksSetting();
// Writes [general] keepstructure, skipexisting, nametemplate and replaygain alone.
void SaveLibrarySettings();
// Writes [general] normalise alone.
void SaveNormaliseSetting();
// The loudness targets a merge offers, LUFS; a stored value outside them is off (0).
bool IsNormaliseTarget(int32_t lufs);
