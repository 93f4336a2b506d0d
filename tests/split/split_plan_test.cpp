#include "split/SplitPlan.h"

#include <gtest/gtest.h>

namespace {

SplitPlan PlanFor(const QString &source, int32_t durationSeconds = 0)
{
    SplitPlan plan;
    plan.SourcePath = source;
    plan.DurationSeconds = durationSeconds;
    return plan;
}

std::vector<long double> Points(std::initializer_list<long double> v) { return v; }

} // namespace

TEST(FormatMinutesSeconds, PadsBothFieldsToTwoDigitsAndLetsMinutesGrow)
{
    EXPECT_EQ(FormatMinutesSeconds(0), "00:00");
    EXPECT_EQ(FormatMinutesSeconds(59), "00:59");
    EXPECT_EQ(FormatMinutesSeconds(60), "01:00");
    EXPECT_EQ(FormatMinutesSeconds(65), "01:05");
    EXPECT_EQ(FormatMinutesSeconds(600), "10:00");
    EXPECT_EQ(FormatMinutesSeconds(6000), "100:00");
    EXPECT_EQ(FormatMinutesSeconds(671), "11:11");
}

TEST(PartNames, NumberHasAtLeastTwoDigitsAndNoMorePadding)
{
    const SplitPlan plan = PlanFor("/music/concert.mp3");
    EXPECT_EQ(plan.NumberedPartName(3, "mp3"), "concert-03.mp3");
    EXPECT_EQ(plan.NumberedPartName(9, "mp3"), "concert-09.mp3");
    EXPECT_EQ(plan.NumberedPartName(10, "mp3"), "concert-10.mp3");
    EXPECT_EQ(plan.NumberedPartName(100, "mp3"), "concert-100.mp3");
}

TEST(PartNames, BaseNameCutsOnlyFromTheLastDot)
{
    EXPECT_EQ(PlanFor("/x/a.b.c.wav").NumberedPartName(1, "ogg"), "a.b.c-01.ogg");
    EXPECT_EQ(PlanFor("/x/live.set.mp3").PartBaseName(), "live.set");
    EXPECT_EQ(PlanFor("/x/noextension").PartBaseName(), "noextension");
    EXPECT_EQ(PlanFor("/dir.with.dots/song").PartBaseName(), "song");
}

TEST(PartNames, HandSetNameTakesTheCurrentOutputExtension)
{
    SplitPlan plan = PlanFor("/x/a.wav", 10);
    plan.ResetManualPlan("mp3");
    EXPECT_EQ(plan.ManualPartFileName(1, "mp3"), "a-01.mp3");
    EXPECT_EQ(plan.ManualPartFileName(1, "ogg"), "a-01.ogg");
    plan.PartNames[1] = "intro.v2.wma";
    EXPECT_EQ(plan.ManualPartFileName(1, "wav"), "intro.v2.wav");
    plan.PartNames[1] = "plain";
    EXPECT_EQ(plan.ManualPartFileName(1, "wav"), "plain.wav");
}

TEST(ResetManualPlan, MakesOneCheckedPartCoveringTheWholeFile)
{
    SplitPlan plan = PlanFor("/x/show.mp3", 125);
    plan.TimePoints = {0, 10, 20, 125};
    plan.PartCount = 3;
    plan.ResetManualPlan("OGG");
    EXPECT_EQ(plan.PartCount, 1);
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 125}));
    ASSERT_EQ(plan.PartNames.size(), 2);
    EXPECT_EQ(plan.PartNames[1], "show-01.ogg");
    EXPECT_EQ(plan.PartTips[1], "No tip");
    EXPECT_TRUE(plan.PartSaveFlags[1]);

    const QList<SplitPartRow> rows = plan.PartRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].startText, "00:00");
    EXPECT_EQ(rows[0].endText, "02:05");
    EXPECT_EQ(rows[0].lengthText, "02:05");
    EXPECT_EQ(rows[0].fileName, "show-01.ogg");
    EXPECT_TRUE(rows[0].checked);
}

TEST(ResizeParts, KeepsEntriesAndFillsNewOnesEmpty)
{
    SplitPlan plan = PlanFor("/x/a.mp3", 60);
    plan.ResetManualPlan("mp3");
    plan.ResizeParts(3);
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 60, 0, 0}));
    EXPECT_EQ(plan.PartNames[1], "a-01.mp3");
    EXPECT_EQ(plan.PartNames[3], "");
    EXPECT_FALSE(plan.PartSaveFlags[3]);
}

TEST(BuildSamplePoints, ByAmountDividesInWholeFramesAndGivesTheRemainderToTheLastPart)
{
    SplitPlan plan;
    plan.BuildSamplePoints(SplitMode::ByAmount, 3, 1000, 1000);
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.SamplePoints, Points({0, 333, 666, 1000}));

    plan.BuildSamplePoints(SplitMode::ByAmount, 1, 1000, 1000);
    EXPECT_EQ(plan.PartCount, 1);
    EXPECT_EQ(plan.SamplePoints, Points({0, 1000}));
}

TEST(BuildSamplePoints, ByAmountProductDoesNotOverflowThirtyTwoBits)
{
    SplitPlan plan;
    plan.BuildSamplePoints(SplitMode::ByAmount, 2, 2000000000, 45351473);
    EXPECT_EQ(plan.SamplePoints[1], 1000000000.0L);
    EXPECT_EQ(plan.SamplePoints[2], 2000000000.0L);
}

TEST(BuildSamplePoints, ByTimeCountsPartsFromMillisecondsSoAFractionMakesOneMore)
{
    SplitPlan plan = PlanFor("/x/a.mp3", 120);
    plan.BuildSamplePoints(SplitMode::ByTime, 60, 5292000, 120000);
    EXPECT_EQ(plan.PartCount, 2);
    plan.BuildSamplePoints(SplitMode::ByTime, 60, 5314050, 120500);
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.SamplePoints[3], 5314050.0L);
    // The chart counts whole seconds and shows one part fewer.
    EXPECT_EQ(plan.TimePieCount(60), 2);
}

TEST(BuildSamplePoints, ByTimeAtFortyEightKilohertzHitsExactFramePositions)
{
    SplitPlan plan;
    plan.BuildSamplePoints(SplitMode::ByTime, 60, 6000000, 125000);
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.SamplePoints, Points({0, 2880000, 5760000, 6000000}));
}

TEST(BuildSamplePoints, ByTimeLongPartsDoNotOverflow)
{
    SplitPlan plan;
    // 40 days a part: s * 1000 does not fit 32 bits.
    plan.BuildSamplePoints(SplitMode::ByTime, 3456000, 44100, 1000);
    EXPECT_EQ(plan.PartCount, 1);
    EXPECT_EQ(plan.SamplePoints, Points({0, 44100}));
}

TEST(BuildSamplePoints, BySettingsUsesTheHandSetSecondsAndRunsTheLastPartToTheEnd)
{
    SplitPlan plan = PlanFor("/x/a.mp3", 10);
    plan.TimePoints = {0, 2, 5, 9};
    plan.BuildSamplePoints(SplitMode::BySettings, 0, 441000, 10000);
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.SamplePoints, Points({0, 88200, 220500, 441000}));
}

TEST(BuildSamplePoints, ZeroNumberComputesNothing)
{
    SplitPlan plan;
    plan.BuildSamplePoints(SplitMode::ByAmount, 3, 1000, 1000);
    plan.BuildSamplePoints(SplitMode::ByAmount, 0, 5000, 5000);
    plan.BuildSamplePoints(SplitMode::ByTime, 0, 5000, 5000);
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.SamplePoints, Points({0, 333, 666, 1000}));
}

TEST(BuildSamplePoints, EmptySourceBecomesOnePartWithoutDividingByZero)
{
    for (SplitMode mode : {SplitMode::ByAmount, SplitMode::ByTime, SplitMode::BySettings}) {
        SplitPlan plan;
        plan.TimePoints = {0, 1, 2};
        plan.BuildSamplePoints(mode, 4, 0, 0);
        EXPECT_EQ(plan.PartCount, 1);
        EXPECT_EQ(plan.SamplePoints, Points({0, 0}));
        plan.BuildSamplePoints(mode, 4, 1000, 0);
        EXPECT_EQ(plan.PartCount, 1);
        EXPECT_EQ(plan.SamplePoints, Points({0, 1000}));
    }
}

TEST(TimePieCount, RoundsUpWholeSecondsAndLeavesTheChartForZero)
{
    const SplitPlan plan = PlanFor("/x/a.mp3", 125);
    EXPECT_EQ(plan.TimePieCount(60), 3);
    EXPECT_EQ(plan.TimePieCount(125), 1);
    EXPECT_EQ(plan.TimePieCount(5), 25);
    EXPECT_FALSE(plan.TimePieCount(0).has_value());
    EXPECT_FALSE(plan.TimePieCount(-30).has_value());
}

TEST(ParseWholeNumber, AcceptsSignedDecimalsOnly)
{
    EXPECT_EQ(ParseWholeNumber("12"), 12);
    EXPECT_EQ(ParseWholeNumber("-3"), -3);
    EXPECT_FALSE(ParseWholeNumber("").has_value());
    EXPECT_FALSE(ParseWholeNumber("x").has_value());
    EXPECT_FALSE(ParseWholeNumber("1.5").has_value());
    EXPECT_FALSE(ParseWholeNumber("99999999999").has_value());
    EXPECT_EQ(InvalidIntegerText("abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerText(""), "'' is not a valid integer value");
}
