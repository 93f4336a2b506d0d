#pragma once
#include <QString>
#include <cstdint>

// Minutes:seconds text of a count of whole seconds (never negative in use):
// at least two digits each, minutes unbounded (6000 s -> "100:00").
inline QString FormatMinutesSeconds(int32_t seconds)
{
    const int32_t minutes = seconds / 60;
    const int32_t rest = seconds % 60;
    const QString m = minutes <= 9 ? QString("0%1").arg(minutes) : QString::number(minutes);
    const QString s = rest <= 9 ? QString("0%1").arg(rest) : QString::number(rest);
    return m + ':' + s;
}

// Minutes:seconds.milliseconds of a count of milliseconds, for a point that
// does not lie on a whole second: the minutes and seconds as above, then
// always three digits (1666 ms -> "00:01.666").
inline QString FormatMinutesSecondsMs(int64_t ms)
{
    const int64_t whole = ms / 1000;
    const int32_t seconds = whole > INT32_MAX ? INT32_MAX : int32_t(whole);
    return FormatMinutesSeconds(seconds) + '.' + QString::number(ms % 1000).rightJustified(3, '0');
}
