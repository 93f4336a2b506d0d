#include "base/OutputFormat.h"

#include <iterator>

namespace output_format {

namespace {
constexpr Row kRows[] = {
    {OutputFormat::Mp3, "MP3", "mp3"},   {OutputFormat::Wav, "WAV", "wav"},   {OutputFormat::Wma, "WMA", "wma"},
    {OutputFormat::Ogg, "OGG", "ogg"},   {OutputFormat::Flac, "FLAC", "flac"}, {OutputFormat::Opus, "OPUS", "opus"},
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
QString Extension(OutputFormat format) { return "." + Word(format); }
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
