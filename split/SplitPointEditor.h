#pragma once
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>

// Editing rules for the hand-set (BySettings) parts of a SplitPlan, apart from
// any window: the list and chart are rebuilt by the caller after each change.
//
// Rows are 0-based (row r shows part r + 1); times are whole seconds.
// Part attributes (names, tips, save flags) belong to part numbers, so they do
// not follow a stretch of time when points are inserted; only Remove moves
// save flags, and only it drops the last name and tip.
namespace SplitPointEditor {

// Inserts t between the two points it lies strictly between, or appends it
// when it lies after the last point. A time equal to an existing point
// (including 0) or before the first inserts nothing. PartCount follows the
// number of points. Returns whether a point was inserted.
bool InsertSplitPoint(SplitPlan &plan, int32_t t);

// "Set as split point" at t: inserts t, resizes the attribute arrays to the
// new part count, and gives the LAST part number its default name
// (base-NN.extension in lower case), the tip "No tip" and a set save flag,
// even when nothing was inserted.
void SetSplitPoint(SplitPlan &plan, int32_t t, const QString &extension);

// "Set as split point" at the play position: as SetSplitPoint, but the point
// is the exact `frame` of a source at sampleRate (the list shows it to the
// millisecond) and the neighbours are compared by their frames. A frame on
// or before a point, or within the last point's second, inserts nothing.
void SetSplitPointAt(SplitPlan &plan, int64_t frame, int sampleRate, const QString &extension);

// Removes the split point at the start of part row + 1 (for row 0, the point
// after part 1), joining two neighbouring parts; no time is lost. Save flags
// move down with the times; names and tips stay with their numbers and the
// last ones are dropped. Nothing happens for a single part or row < 0.
// Returns whether the plan changed.
bool RemoveSplitPoint(SplitPlan &plan, int row);

// Moves inner point `point` (1..PartCount-1, the end of part `point`) to
// the exact `frame` of a source at sampleRate, as dragging its line does; the
// list shows it at its whole second. Like the edit dialog it cannot reach or
// pass its neighbours (hand-set ones at their whole seconds): a frame not
// strictly between them, or any other point, leaves the plan unchanged.
// Returns whether the point moved.
bool MoveSplitPointTo(SplitPlan &plan, int32_t point, int64_t frame, int sampleRate);

// Where point k (0..PartCount) lies in frames of a source at sampleRate: its
// exact frame, else its whole second; what the neighbour checks above use.
int64_t PointFrameAt(const SplitPlan &plan, int32_t point, int sampleRate);

// Default name of part k: base + "-" + at least two digits + "." + extension
// in lower case.
QString DefaultPartName(const SplitPlan &plan, int32_t k, const QString &extension);

// A file name without everything from its last "." on.

// True when name contains no path separator, no character that a file name
// cannot hold on any of our platforms (\ / : * ? " < > |) and no control
// character, so a part can never be written outside the save folder.
bool IsSafeFileName(const QString &name);

// Message of the edit dialog for an unsafe name.
inline constexpr char UnsafeNameMessage[] = "File name can not contain \\ / : * ? \" < > |";

// The edit dialog's entries, times in seconds (64 bits: typed minutes may be
// large, and minutes * 60 must not wrap).
struct SelectionEdit {
    int64_t start = 0;
    int64_t stop = 0;
    QString name; // as typed, extension optional
    QString tip;
};

// The edit dialog's checks, in the order the user meets them. Returns the
// message to show, or an empty string when the edit can be applied.
QString CheckSelectionEdit(const SplitPlan &plan, int row, const SelectionEdit &edit);

// Applies an edit that passed CheckSelectionEdit: moves the part's start and
// stop (and with them the neighbours' shared points), stores the name with
// the output extension and the tip.
void ApplySelectionEdit(SplitPlan &plan, int row, const SelectionEdit &edit, const QString &extension);

// Preview slider position (0..1000) of the start of part row + 1 for a source
// of durationMs milliseconds; computed in 64 bits so starts beyond 2147 s
// work. 0 when the duration is unknown.
int SeekPositionForRow(const SplitPlan &plan, int row, int64_t durationMs);

// The hint of a row: the part number, or the part's tip when tips are on.
QString RowHint(const SplitPlan &plan, int row, bool tipsEnabled);

} // namespace SplitPointEditor
