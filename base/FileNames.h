#pragma once
#include <QSet>
#include <QString>

// A file name or path without its extension: everything from the last "."
// of the file name on is cut ("live.set.mp3" -> "live.set"); a name without
// "." stays whole, and a "." in a folder name is not an extension.
QString WithoutExtension(const QString &name);

// The last part of a path, and the folders before it with the trailing
// separator; "/" and "\\" both separate, so Windows-style paths split alike.
QString FileNameOfPath(const QString &path);
QString FolderOfPath(const QString &path);

// Makes the folder with its missing parents; true when it exists afterwards.
bool MakeFolder(const QString &path);

// The path a run writes for `output` (a converted file, a split's part, a
// stopped merge kept beside the old output), never one where something
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
