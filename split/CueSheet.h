#pragma once
#include "split/SplitPlan.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

// A CUE sheet that cannot be used. The text names the sheet and, where one
// line is at fault, that line ("album.cue, line 12: ...").
class CueSheetError : public std::runtime_error {
public:
    explicit CueSheetError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

struct CueTrack {
    int32_t number = 0;  // as the TRACK line gives it
    int64_t index01 = 0; // INDEX 01 in CD frames (1/75 s) from the start of the audio file
    int32_t line = 0;    // the INDEX 01 line, for messages
    QString title;
    QString performer;   // the track's own; empty when the sheet gives only the album's
    QString date;        // REM DATE of the track, else of the album
    QString genre;       // REM GENRE of the track, else of the album
};

// What a split needs of a sheet, texts decoded. Tracks are in sheet order,
// each starting strictly after the one before.
struct CueSheet {
    QString path;
    QString fileEntry;   // the FILE entry as written (may hold a folder)
    QString title;       // album TITLE
    QString performer;   // album PERFORMER
    std::vector<CueTrack> tracks;
};

// Reads and checks a sheet: one audio file, at least one track, every track
// with an INDEX 01 later than the track before. Throws CueSheetError.
CueSheet ReadCueSheet(const QString &path);

// The sheet's bytes as text: UTF-8 when the whole sheet is valid UTF-8 (a BOM
// is dropped), else Windows-1252, which most older rippers wrote (Latin-1 is
// its subset but for the control range 0x80-0x9F).
QString DecodeCueText(const QByteArray &bytes);

// The sample frame of a CUE position at sampleRate, to the nearest frame
// (halves up), in integers: exact for every rate.
int64_t CueToFrame(int64_t cueFrames, int sampleRate);

// A CUE position (in CD frames, 1/75 s) as a sheet writes it: mm:ss:ff.
QString CueTime(int64_t cueFrames);

// Whether the sheet's FILE entry names the source: the same file name, case
// ignored (sheets made on Windows often differ in case).
bool CueNamesSource(const CueSheet &sheet, const QString &sourcePath);

// Replaces the plan's hand-set parts by the sheet's tracks, each starting at
// its INDEX 01 exactly. Part names "NN - Title.extension" (made safe for file
// names), tips from the performer, and each part's tag. Audio before the
// first track becomes an unchecked part of its own. Throws CueSheetError,
// leaving the plan as it was, when a track starts at or after the end of a
// source of totalFrames frames.
void ApplyCueSheet(SplitPlan &plan, const CueSheet &sheet, int64_t totalFrames, int sampleRate,
                   const QString &extension);

// name with every character a file name cannot hold replaced by "_", and
// without the trailing dots and spaces Windows drops.
QString SafeFileNamePart(const QString &name);
