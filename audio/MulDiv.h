#pragma once
#include <cstdint>

// a * b / c rounded to the nearest integer, halves away from zero, with a
// 64-bit intermediate product. Returns -1 when c is 0 or when the result does
// not fit 32 bits (so -1 is also an ordinary result of e.g. MulDiv(-1, 1, 1)).
int MulDiv(int a, int b, int c);

// The same rounding with 64-bit operands and a 128-bit intermediate, for frame
// positions of sources longer than 2^31 frames. -1 when c is 0 or the result
// does not fit 64 bits.
int64_t MulDiv64(int64_t a, int64_t b, int64_t c);

// Slider position (0..1000) of `part` within `whole`: part * 1000 div whole,
// truncating, computed without overflow and clamped to 0..1000. 0 when whole
// is not positive. Units of part and whole only need to agree (frames, ms).
int PerMille(int64_t part, int64_t whole);
