#pragma once
#include <QString>
#include <QStringList>

// The output formats, in the order of every format list: the items "MP3",
// "WAV", "WMA", "OGG", "FLAC", "OPUS" (index 0 to 5), stored in saveformat as
// the lower-case words, which are also the output files' extensions.
namespace output_format {

QStringList Items();              // "MP3" ... "OPUS"
QStringList Words();              // "mp3" ... "opus"
int Count();
// The word of list item `index`; `fallback` when the index is outside the list.
QString WordAt(int index, const QString &fallback = QStringLiteral("mp3"));
// The list index of a stored word (any case); -1 when it names no output format.
int IndexOf(const QString &word);

} // namespace output_format
