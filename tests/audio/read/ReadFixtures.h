#pragma once
// Source files of every readable format, made once per test run by ffmpeg,
// sox, mpcenc, flac, opusenc and jmac in a temporary folder.
#include <QFileInfo>
#include <QString>
#include <cstdint>
#include <vector>

namespace readfix {

enum class Case {
    Mp3CbrTagged, Mp3VbrTagged, Mp3Untagged, Mp3Mpeg2Mono, Mp2, Wma, Ogg, Musepack, Wav8, Wav16Mono, Wav24, Wav32, WavFloat,
    Flac, FlacCli, Opus, OpusEnc, AacM4a, AacItunes, AacAdts, AlacM4a, Aiff, WavPack, Ape
};

struct Fixture {
    QString path;
    int rate = 44100;
    int channels = 2;
    int64_t trueLength = 0; // frames every correct reader yields
    int64_t tolerance = 0;  // frames of estimate allowed where the container records no exact length
    int64_t ffmpegLead = 0; // frames ffmpeg decodes before the true start
    QString formatPrefix;   // how FormatText begins
    QString title, artist;  // the tag its encoder wrote (empty: none)
    bool takesTags = true;  // false: the format has no place for a tag
    QString unavailable;    // why it could not be made here (its encoder is missing)
};

std::vector<Case> AllCases();
const char *Name(Case c);
const Fixture &Get(Case c); // made on first use; fails the test if a tool is missing

enum class Damage { TruncatedHalf, HeaderOnly, GarbageInside, Empty };
QString Damaged(const Fixture &f, Damage how);
QString CopyOf(const Fixture &f, const QString &suffix);
QString TempPath(const QString &fileName);

} // namespace readfix
