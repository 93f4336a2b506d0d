#include "base/OutputFormat.h"

namespace output_format {

QStringList Items() { return {"MP3", "WAV", "WMA", "OGG", "FLAC", "OPUS"}; }
QStringList Words() { return {"mp3", "wav", "wma", "ogg", "flac", "opus"}; }
int Count() { return 6; }

QString WordAt(int index, const QString &fallback)
{
    const QStringList words = Words();
    return index >= 0 && index < words.size() ? words[index] : fallback;
}

int IndexOf(const QString &word) { return int(Words().indexOf(word.toLower())); }

} // namespace output_format
