#include "base/TagYear.h"

std::optional<int32_t> ParseTagYear(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;

    // Accumulated as unsigned 64-bit; each step is checked against the limit,
    // so no overflow can happen on the way.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t value = 0;
    for (; i < n; ++i) {
        const int digit = QChar(text[i]).digitValue();
        int d = -1;
        if (digit >= 0 && digit <= 9)
            d = digit;
        else if (base == 16 && text[i].toLower() >= QLatin1Char('a') && text[i].toLower() <= QLatin1Char('f'))
            d = 10 + (text[i].toLower().unicode() - 'a');
        if (d < 0 || d >= base || text[i].unicode() > 127)
            return std::nullopt;
        value = value * uint64_t(base) + uint64_t(d);
        if (value > limit)
            return std::nullopt;
    }
    // Hex digits are a 32-bit pattern; decimal values are already in range.
    const int64_t signedValue = base == 16 ? int64_t(int32_t(uint32_t(value))) : int64_t(value);
    return int32_t(uint32_t(negative ? -signedValue : signedValue));
}
