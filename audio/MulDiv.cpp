#include "audio/MulDiv.h"

#include <limits>

namespace {

// Rounds n / d to nearest, halves away from zero; d != 0.
__int128 RoundedQuotient(__int128 n, __int128 d)
{
    if (d < 0) {
        n = -n;
        d = -d;
    }
    // Odd divisors have no exact half, so comparing 2*remainder with d decides.
    __int128 q = n / d;
    const __int128 r = n % d; // same sign as n
    const __int128 twice = r < 0 ? -2 * r : 2 * r;
    if (twice >= d)
        q += n < 0 ? -1 : 1;
    return q;
}

} // namespace

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const __int128 q = RoundedQuotient(static_cast<__int128>(static_cast<int64_t>(a) * b), c);
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(q);
}

int64_t MulDiv64(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return -1;
    const __int128 q = RoundedQuotient(static_cast<__int128>(a) * b, c);
    if (q > std::numeric_limits<int64_t>::max() || q < std::numeric_limits<int64_t>::min())
        return -1;
    return static_cast<int64_t>(q);
}

int PerMille(int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0)
        return 0;
    const __int128 v = static_cast<__int128>(part) * 1000 / whole;
    return v > 1000 ? 1000 : static_cast<int>(v);
}
