#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// The output formats, in the order of every format list (index 0 to 8). The
// enum is the key the engines, the writer and the settings agree on; the
// items, the stored saveformat words and the extensions all come from one table.
// M4A is AAC in MP4; ALAC is lossless in the same container and extension;
// M4B is M4A under the audiobook extension.
enum class OutputFormat { Mp3, Wav, Wma, Ogg, Flac, Opus, M4a, Alac, M4b };
inline constexpr int kOutputFormatCount = int(OutputFormat::M4b) + 1;

namespace output_format {

// One row of the table: what a format list shows, the lower-case word stored
// in saveformat, and the output files' extension (no dot), which is the word
// for every format but ALAC.
struct Row {
    OutputFormat format;
    const char *item;
    const char *word;
    const char *extension;
};

// Every format, in list order: Rows()[i].format has index i.
const Row *Rows();
int Count();

QString Item(OutputFormat format);       // "MP3"
QString Word(OutputFormat format);       // "mp3"
QString Extension(OutputFormat format);  // ".mp3"; ".m4a" for ALAC
int IndexOf(OutputFormat format);

// The format of list item `index`; nothing when the index is outside the list.
std::optional<OutputFormat> AtIndex(int index);
// The format a stored word or a file's extension (any case, no dot) names;
// nothing when it names no output format. ".m4a" names M4A: an extension
// cannot tell AAC from ALAC, and AAC is what the extension usually holds.
std::optional<OutputFormat> FromWord(const QString &word);
// The extension (no dot) of files of the format a stored word names; a word
// that names no output format is its own extension, as it always was.
QString ExtensionOfWord(const QString &word);

QStringList Items();              // "MP3" ... "OPUS"
QStringList Words();              // "mp3" ... "opus"
// The word of list item `index`; `fallback` when the index is outside the list.
QString WordAt(int index, const QString &fallback = QStringLiteral("mp3"));
// The list index of a stored word (any case); -1 when it names no output format.
int IndexOf(const QString &word);

} // namespace output_format
