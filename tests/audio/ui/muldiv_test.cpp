#include "audio/MulDiv.h"

#include <gtest/gtest.h>

#include <climits>

TEST(MulDiv, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(MulDiv(1, 1, 2), 1);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-1, 1, 2), -1);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(1, -3, 2), -2);
    EXPECT_EQ(MulDiv(-3, -1, 2), 2);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
}

TEST(MulDiv, RoundsToNearestBelowAndAboveHalf)
{
    EXPECT_EQ(MulDiv(10, 1, 3), 3);   // 3.33
    EXPECT_EQ(MulDiv(20, 1, 3), 7);   // 6.67
    EXPECT_EQ(MulDiv(-20, 1, 3), -7);
    EXPECT_EQ(MulDiv(499, 1, 1000), 0);
    EXPECT_EQ(MulDiv(500, 1, 1000), 1);
}

TEST(MulDiv, UsesA64BitIntermediateProduct)
{
    // 44100 * 3600 * 1000 overflows 32 bits, the quotient does not.
    EXPECT_EQ(MulDiv(44100 * 3600, 1000, 1000), 44100 * 3600);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(500, 158760000, 1000), 79380000);
}

TEST(MulDiv, ZeroDivisorGivesMinusOne)
{
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(0, 0, 0), -1);
}

TEST(MulDiv, ResultBeyond32BitsGivesMinusOne)
{
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
}

TEST(MulDiv, SixtyFourBitVariantKeepsLongPositions)
{
    const int64_t total = int64_t(3) << 32; // a source far beyond 2^31 frames
    EXPECT_EQ(MulDiv64(500, total, 1000), total / 2);
    EXPECT_EQ(MulDiv64(total, 1000, total), 1000);
    EXPECT_EQ(MulDiv64(INT64_MAX, INT64_MAX, INT64_MAX), INT64_MAX);
    EXPECT_EQ(MulDiv64(INT64_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv64(7, 1, 0), -1);
    EXPECT_EQ(MulDiv64(-3, 1, 2), -2);
}

TEST(PerMille, TruncatesAndStaysWithinTheSliderRange)
{
    EXPECT_EQ(PerMille(45000, 90000), 500);
    EXPECT_EQ(PerMille(1999, 2000), 999);
    EXPECT_EQ(PerMille(3000, 2000), 1000);
    EXPECT_EQ(PerMille(-5, 2000), 0);
    EXPECT_EQ(PerMille(5, 0), 0);
    // A part starting after 2147 s: seconds * 1000 * 1000 would overflow 32 bits.
    EXPECT_EQ(PerMille(int64_t(3000) * 1000, int64_t(6000) * 1000), 500);
    EXPECT_EQ(PerMille(INT64_MAX / 2, INT64_MAX), 499);
}
