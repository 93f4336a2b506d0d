#pragma once
#include <QString>

// The name without its extension: the part from the last "." that follows
// the last path separator is dropped; a name without such a dot is kept whole.
// "a.b.c" -> "a.b", "dir.x/name" -> "dir.x/name".
QString RemoveExtension(const QString &name);

// The merge's file name: "song.wav" with "mp3" -> "song.mp3", "Untitled" -> "Untitled.mp3".
QString MergeOutputName(const QString &fileNameText, const QString &saveformat);

// A converted source's first-choice output: savepath + the source's file name
// with the format's extension. savepath ends with a separator.
QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension);

// The path actually written for `output`: itself when no file exists there,
// else the same folder with "New_" before the file name (tested once: the
// prefix is never added twice, whatever exists under the New_ name).
QString WrittenPath(const QString &output);

// Whether two paths name the same file (after making them absolute and
// resolving links when the files exist).
bool SameFile(const QString &a, const QString &b);
