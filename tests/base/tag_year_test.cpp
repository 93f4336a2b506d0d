#include "base/TagYear.h"

#include <gtest/gtest.h>

TEST(TagYear, AcceptsDecimalAndHexadecimalWithSignAndLeadingBlanks)
{
    EXPECT_EQ(ParseTagYear("2005"), 2005);
    EXPECT_EQ(ParseTagYear("$7D5"), 2005);
    EXPECT_EQ(ParseTagYear("0x7D5"), 2005);
    EXPECT_EQ(ParseTagYear("0X7d5"), 2005);
    EXPECT_EQ(ParseTagYear("x7d5"), 2005);
    EXPECT_EQ(ParseTagYear("  2005"), 2005);
    EXPECT_EQ(ParseTagYear("+2005"), 2005);
    EXPECT_EQ(ParseTagYear("-1"), -1);
    EXPECT_EQ(ParseTagYear("0"), 0);
    EXPECT_EQ(ParseTagYear("2147483647"), 2147483647);
    EXPECT_EQ(ParseTagYear("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseTagYear("$FFFFFFFF"), -1); // a 32-bit pattern
    EXPECT_EQ(ParseTagYear("-$10"), -16);
}

TEST(TagYear, RefusesEverythingElse)
{
    for (const char *text : {"", " ", "2005a", "2005 ", "20 05", "$", "0x", "+", "-", "2147483648", "-2147483649",
                             "$100000000", "$G1", "1.5", "1e3", "--1", "0x-1"})
        EXPECT_FALSE(ParseTagYear(text).has_value()) << text;
}
