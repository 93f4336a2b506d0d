#include "base/FrameMath.h"

int ProgressPercent(int64_t count, int64_t total)
{
    return total > 0 ? int(static_cast<__int128>(count) * 100 / total) : 0;
}

int64_t ScaleFrames(int64_t value, int64_t numerator, int64_t denominator)
{
    return denominator > 0 ? int64_t(static_cast<__int128>(value) * numerator / denominator) : 0;
}
