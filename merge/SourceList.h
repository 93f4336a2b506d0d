#pragma once
#include "base/FileNames.h"
#include "base/TimeFormat.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class TAudioInformation2;


// The Format column's text from the information component's description:
// "MPEG 1.0 layer-3: 44100 Hz" -> "MP3  44100 Hz". Only descriptions holding
// "MPEG" (exact case) get the layer shortened (first occurrence, any case);
// then the first ":" becomes a blank.
QString DeriveFormatText(const QString &description);

// What the list needs to know about one file. A file the information
// component cannot read is kept in the list with readable false and zeros.
struct SourceFileFacts {
    bool readable = false;
    QString formatText;       // the component's description, underived
    int64_t durationMs = 0;
    int64_t totalSamples = 0; // sample frames
    int64_t fileSize = 0;     // bytes
    QString title;            // the title tag; empty when it has none
    bool pending = false;     // not read yet: shown as being read, counted as nothing
};
using SourceInfoProbe = std::function<SourceFileFacts(const QString &path)>;

// Asks `info` (LoadFile, then its properties) for every file; a file it
// throws on comes back unreadable.
SourceInfoProbe InformationProbe(TAudioInformation2 &info);

// One row of the list as the user sees it; texts only, rebuilt on every change.
struct SourceFileEntry {
    QString number;    // row number from 1, decimal
    QString fileName;  // without folder
    QString format;    // derived format text, "Unreadable" when unknown
    QString length;    // FormatMinutesSeconds(duration ms div 1000)
    QString sizeKb;    // bytes div 1000, decimal
    QString directory; // folder part with its trailing separator
    QString status;    // empty after a refresh; written by the runs
    QString chapterTitle; // the user's, else the title tag, else the file name without extension
};

// The ordered source files of a merge or conversion. Rows are numbered from 1;
// duplicates are allowed and nothing is checked when paths are added.
class MergeSourceList {
public:
    const QStringList &Paths() const { return paths_; }
    int Count() const { return int(paths_.size()); }
    QString Path(int row) const { return paths_.value(row - 1); }

    void Add(const QStringList &paths);
    // Each returns false when it changed nothing (no row, first/last row).
    bool Remove(int row);
    void Clear();
    bool MoveUp(int row);   // row becomes row - 1
    bool MoveDown(int row); // row becomes row + 1

    // Rebuilds the rows and the totals from zero, asking `probe` for each path.
    void Refresh(const SourceInfoProbe &probe);

    // The title of row's chapter mark in a merge; empty goes back to the
    // default. It moves with its row.
    void SetChapterTitle(int row, const QString &title);
    // Every row's chapter title as the rows show it, first row first.
    QStringList ChapterTitles() const;

    const QList<SourceFileEntry> &Entries() const { return entries_; }
    // " 3 file(s); Total Length:12:07; Total Size:11234kb"
    QString TotalsLine() const;

    // Each file is divided before it is added: two files of 999 bytes give 0 kb.
    int32_t TotalSizeKb = 0;
    int32_t TotalSeconds = 0;
    int64_t ListTotalSamples = 0; // sample frames; the runs' progress denominator
    int Pending = 0;              // rows whose facts the last refresh did not have yet

private:
    QStringList paths_;
    QStringList titles_;        // the user's chapter titles, one per path ("" none)
    QStringList defaultTitles_; // one per row, from the last refresh
    QList<SourceFileEntry> entries_;
};

// File name and folder parts of a path as the list shows them.
