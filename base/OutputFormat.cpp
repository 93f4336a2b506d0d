#include "base/OutputFormat.h"

#include <iterator>

namespace output_format {

namespace {
constexpr Row kRows[] = {
    {OutputFormat::Mp3, "MP3", "mp3", "mp3"},
    {OutputFormat::Wav, "WAV", "wav", "wav"},
    {OutputFormat::Wma, "WMA", "wma", "wma"},
    {OutputFormat::Ogg, "OGG", "ogg", "ogg"},
    {OutputFormat::Flac, "FLAC", "flac", "flac"},
    {OutputFormat::Opus, "OPUS", "opus", "opus"},
    {OutputFormat::M4a, "M4A", "m4a", "m4a"},
    {OutputFormat::Alac, "ALAC", "alac", "m4a"},
    {OutputFormat::M4b, "M4B (audiobook)", "m4b", "m4b"},
};
constexpr int kCount = int(std::size(kRows));

// The table is indexed by the enum: a row out of order would give a format another's word.
constexpr bool InEnumOrder()
{
    for (int i = 0; i < kCount; ++i)
        if (int(kRows[i].format) != i)
            return false;
    return true;
}
static_assert(InEnumOrder() && kCount == kOutputFormatCount);

const Row &RowOf(OutputFormat format) { return kRows[int(format)]; }
} // namespace

const Row *Rows() { return kRows; }
int Count() { return kCount; }

QString Item(OutputFormat format) { return QString::fromLatin1(RowOf(format).item); }
QString Word(OutputFormat format) { return QString::fromLatin1(RowOf(format).word); }
QString Extension(OutputFormat format) { return "." + QString::fromLatin1(RowOf(format).extension); }
int IndexOf(OutputFormat format) { return int(format); }

std::optional<OutputFormat> AtIndex(int index)
{
    if (index < 0 || index >= kCount)
        return std::nullopt;
    return kRows[index].format;
}

std::optional<OutputFormat> FromWord(const QString &word)
{
    const QString lower = word.toLower();
    for (const Row &row : kRows)
        if (lower == QLatin1String(row.word))
            return row.format;
    return std::nullopt;
}

QString ExtensionOfWord(const QString &word)
{
    // Appended unchanged where the two agree, in the case it is stored in.
    const std::optional<OutputFormat> format = FromWord(word);
    if (!format || QLatin1String(RowOf(*format).extension) == QLatin1String(RowOf(*format).word))
        return word;
    return QString::fromLatin1(RowOf(*format).extension);
}

QStringList Items()
{
    QStringList items;
    for (const Row &row : kRows)
        items << QString::fromLatin1(row.item);
    return items;
}

QStringList Words()
{
    QStringList words;
    for (const Row &row : kRows)
        words << QString::fromLatin1(row.word);
    return words;
}

QString WordAt(int index, const QString &fallback)
{
    const std::optional<OutputFormat> format = AtIndex(index);
    return format ? Word(*format) : fallback;
}

int IndexOf(const QString &word)
{
    const std::optional<OutputFormat> format = FromWord(word);
    return format ? IndexOf(*format) : -1;
}

} // namespace output_format
