#include "base/PlatformServices.h"

#include <gtest/gtest.h>

TEST(ErrorBoxText, AppendsFullStopOnlyAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(ErrorBoxText("Unable to write to /x/setup.ini"), "Unable to write to /x/setup.ini.");
    EXPECT_EQ(ErrorBoxText("Disk full."), "Disk full.");
    EXPECT_EQ(ErrorBoxText("Really?"), "Really?.");
    EXPECT_EQ(ErrorBoxText("Stopped!"), "Stopped!");   // '!' sorts before '.'
    EXPECT_EQ(ErrorBoxText("(see log)"), "(see log)"); // ')' sorts before '.'
    EXPECT_EQ(ErrorBoxText(""), "");
}
