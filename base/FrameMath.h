#pragma once
#include <cstdint>

// count * 100 div total, truncating, for any 64-bit count (sources of days);
// 0 when total is not positive.
int ProgressPercent(int64_t count, int64_t total);
// value * numerator div denominator, truncating, without overflowing 64 bits
// in between; 0 when denominator is not positive.
int64_t ScaleFrames(int64_t value, int64_t numerator, int64_t denominator);
