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
