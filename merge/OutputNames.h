#pragma once
#include "base/FileNames.h"

#include <QSet>
#include <QString>

// The merge's file name: "song.wav" with "mp3" -> "song.mp3", "Untitled" -> "Untitled.mp3".
QString MergeOutputName(const QString &fileNameText, const QString &saveformat);

// A converted source's first-choice output: savepath + the source's file name
// with the format's extension. savepath ends with a separator.
QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension);

// The path a conversion writes for `output`, never one where something
// already is: `output` itself when free, else "New_" before the file name,
// else the first free of "New_2_", "New_3_", ... A name is taken by anything
// on disk there (a file, a folder, a link, even a broken one), so a file
// written earlier in the same run takes its name as well.
QString WrittenPath(const QString &output);
// The same when the names in `reserved` count as taken too: files of a run
// that are named before any of them is written.
QString WrittenPath(const QString &output, const QSet<QString> &reserved);

// Whether two paths name the same file (after making them absolute and
// resolving links when the files exist).
bool SameFile(const QString &a, const QString &b);
