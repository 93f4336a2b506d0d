#pragma once
#include "base/FileNames.h"

#include <QString>

// The merge's file name: "song.wav" with "mp3" -> "song.mp3", "Untitled" -> "Untitled.mp3".
QString MergeOutputName(const QString &fileNameText, const QString &saveformat);

// A converted source's first-choice output: savepath + the source's file name
// with the format's extension. savepath ends with a separator.
QString ConvertOutputPath(const QString &savepath, const QString &source, const QString &extension);
