#pragma once
#include <QString>

// A file name or path without its extension: everything from the last "."
// of the file name on is cut ("live.set.mp3" -> "live.set"); a name without
// "." stays whole, and a "." in a folder name is not an extension.
QString WithoutExtension(const QString &name);

// Makes the folder with its missing parents; true when it exists afterwards.
bool MakeFolder(const QString &path);
