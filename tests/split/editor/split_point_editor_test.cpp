#include "split/SplitPointEditor.h"

#include <gtest/gtest.h>

using namespace SplitPointEditor;

namespace {

// A hand-set plan for /music/show.mp3 with the given points, parts named
// "name1".."nameN", tips "tip1".."tipN" and the given flags.
SplitPlan PlanWith(const TimePointsArr &points, const QList<bool> &flags = {})
{
    SplitPlan plan;
    plan.SourcePath = "/music/show.mp3";
    plan.DurationSeconds = points.back();
    plan.Mode = SplitMode::BySettings;
    plan.TimePoints = points;
    plan.PartCount = int32_t(points.size()) - 1;
    plan.PartNames = {QString()};
    plan.PartTips = {QString()};
    plan.PartSaveFlags = {false};
    for (int32_t k = 1; k <= plan.PartCount; ++k) {
        plan.PartNames << QString("name%1.mp3").arg(k);
        plan.PartTips << QString("tip%1").arg(k);
        plan.PartSaveFlags << (flags.isEmpty() ? true : flags[k - 1]);
    }
    return plan;
}

SplitPlan FiveMinutePlan()
{
    SplitPlan plan;
    plan.SourcePath = "/music/show.mp3";
    plan.DurationSeconds = 300;
    plan.Mode = SplitMode::BySettings;
    plan.ResetManualPlan("mp3");
    return plan;
}

} // namespace

TEST(SetSplitPoint, SplitsThePartThatHoldsTheTimeAndNamesTheNewLastPart)
{
    SplitPlan plan = FiveMinutePlan();
    SetSplitPoint(plan, 60, "mp3");
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 60, 300}));
    EXPECT_EQ(plan.PartCount, 2);
    EXPECT_EQ(plan.PartNames[2], "show-02.mp3");
    EXPECT_EQ(plan.PartTips[2], "No tip");
    EXPECT_TRUE(plan.PartSaveFlags[2]);
    const QList<SplitPartRow> rows = plan.PartRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].startText + rows[0].endText + rows[0].lengthText, "00:0001:0001:00");
    EXPECT_EQ(rows[1].startText + rows[1].endText + rows[1].lengthText, "01:0005:0004:00");
}

namespace {

// Points at 60 s (hand-set) and at 2:00.25 (exact) of a 5-minute source at
// 1000 frames a second; a point set at `frame`, and the points after it.
struct AtFrame {
    int64_t frame;
    TimePointsArr seconds;
    std::vector<int64_t> frames;
};

class SetSplitPointAtFrame : public ::testing::TestWithParam<AtFrame> {};

} // namespace

TEST_P(SetSplitPointAtFrame, InsertsTheExactFrameBetweenItsNeighbours)
{
    SplitPlan plan = FiveMinutePlan();
    SetSplitPoint(plan, 60, "mp3");
    ASSERT_TRUE(MoveSplitPointTo(plan, 1, 60000, 1000));
    SetSplitPointAt(plan, 120250, 1000, "mp3");
    SetSplitPointAt(plan, GetParam().frame, 1000, "mp3");
    EXPECT_EQ(plan.TimePoints, GetParam().seconds);
    EXPECT_EQ(plan.PointFrames, GetParam().frames);
    EXPECT_EQ(plan.PartNames.last(), QStringLiteral("show-0%1.mp3").arg(plan.PartCount));
}

constexpr int64_t None = NoExactFrame;
INSTANTIATE_TEST_SUITE_P(
    Frames, SetSplitPointAtFrame,
    ::testing::Values(AtFrame{90500, {0, 60, 90, 120, 300}, {None, 60000, 90500, 120250, None}},
                      AtFrame{120100, {0, 60, 120, 120, 300}, {None, 60000, 120100, 120250, None}},
                      AtFrame{120250, {0, 60, 120, 300}, {None, 60000, 120250, None}}, // on a point
                      AtFrame{300400, {0, 60, 120, 300}, {None, 60000, 120250, None}}, // in the last second
                      AtFrame{0, {0, 60, 120, 300}, {None, 60000, 120250, None}}));

TEST(SetSplitPoint, TheListShowsAPointBetweenTwoSecondsToTheMillisecond)
{
    SplitPlan plan = FiveMinutePlan();
    SetSplitPointAt(plan, 150 * 44100 + 22712, 44100, "mp3"); // 150.51501 s
    SetSplitPointAt(plan, 60 * 44100, 44100, "mp3");
    QStringList shown;
    for (const SplitPartRow &row : plan.PartRows())
        shown << row.startText + " " + row.endText + " " + row.lengthText;
    EXPECT_EQ(shown, (QStringList{"00:00 01:00 01:00", "01:00 02:30.515 01:30.515", "02:30.515 05:00 02:29.485"}));
}

TEST(SetSplitPoint, AnEarlierPointLeavesNamesWithTheirNumbers)
{
    SplitPlan plan = FiveMinutePlan();
    SetSplitPoint(plan, 60, "mp3");
    plan.PartNames[2] = "chorus.mp3";
    plan.PartTips[2] = "the chorus";
    SetSplitPoint(plan, 30, "mp3");
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 30, 60, 300}));
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.PartNames[1], "show-01.mp3");
    // The name given to 1:00-5:00 now belongs to part 2, 0:30-1:00.
    EXPECT_EQ(plan.PartNames[2], "chorus.mp3");
    EXPECT_EQ(plan.PartTips[2], "the chorus");
    EXPECT_EQ(plan.PartNames[3], "show-03.mp3");
    EXPECT_EQ(plan.PartTips[3], "No tip");
}

TEST(SetSplitPoint, AnExistingPointInsertsNothingButResetsTheLastPart)
{
    SplitPlan plan = FiveMinutePlan();
    SetSplitPoint(plan, 60, "mp3");
    SetSplitPoint(plan, 30, "mp3");
    plan.PartNames[3] = "outro.mp3";
    plan.PartTips[3] = "the end";
    plan.PartSaveFlags[3] = false;
    SetSplitPoint(plan, 60, "mp3");
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 30, 60, 300}));
    EXPECT_EQ(plan.PartCount, 3);
    EXPECT_EQ(plan.PartNames[3], "show-03.mp3");
    EXPECT_EQ(plan.PartTips[3], "No tip");
    EXPECT_TRUE(plan.PartSaveFlags[3]);
}

TEST(SetSplitPoint, ExtensionIsLowerCaseAndNumbersKeepTwoDigitsAtLeast)
{
    SplitPlan plan = FiveMinutePlan();
    for (int32_t t = 10; t <= 100; t += 10)
        SetSplitPoint(plan, t, "OGG");
    EXPECT_EQ(plan.PartCount, 11);
    EXPECT_EQ(plan.PartNames[11], "show-11.ogg");
    EXPECT_EQ(plan.PartNames.size(), 12);
    EXPECT_EQ(plan.PartTips.size(), 12);
    EXPECT_EQ(plan.PartSaveFlags.size(), 12);
}

TEST(InsertSplitPoint, InsertsBetweenAppendsAfterAndIgnoresExistingPoints)
{
    SplitPlan plan = PlanWith({0, 10, 20});
    EXPECT_FALSE(InsertSplitPoint(plan, 0));
    EXPECT_FALSE(InsertSplitPoint(plan, 10));
    EXPECT_FALSE(InsertSplitPoint(plan, 20));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 20}));
    EXPECT_TRUE(InsertSplitPoint(plan, 15));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 15, 20}));
    EXPECT_TRUE(InsertSplitPoint(plan, 25));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 15, 20, 25}));
    EXPECT_TRUE(InsertSplitPoint(plan, 5));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 5, 10, 15, 20, 25}));
    EXPECT_EQ(plan.PartCount, 5);
}

TEST(InsertSplitPoint, PointsBetweenEqualNeighboursAreLeftAlone)
{
    // A zero-length part made in the edit dialog.
    SplitPlan plan = PlanWith({0, 10, 10, 30});
    EXPECT_FALSE(InsertSplitPoint(plan, 10));
    EXPECT_TRUE(InsertSplitPoint(plan, 20));
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 10, 10, 20, 30}));
}

struct RemoveCase {
    int row;
    TimePointsArr points;
    QList<bool> flags; // parts 1..n
};

class RemoveSplitPointTest : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveSplitPointTest, JoinsNeighboursMovingFlagsButNotNames)
{
    // Flags A, B, C are true, false, true.
    SplitPlan plan = PlanWith({0, 10, 20, 30}, {true, false, true});
    ASSERT_TRUE(RemoveSplitPoint(plan, GetParam().row));
    EXPECT_EQ(plan.TimePoints, GetParam().points);
    EXPECT_EQ(plan.PartCount, 2);
    EXPECT_EQ(plan.PartSaveFlags.mid(1), GetParam().flags);
    EXPECT_EQ(plan.PartNames, (QList<QString>{QString(), "name1.mp3", "name2.mp3"}));
    EXPECT_EQ(plan.PartTips, (QList<QString>{QString(), "tip1", "tip2"}));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveSplitPointTest,
                         ::testing::Values(RemoveCase{0, {0, 20, 30}, {false, true}},
                                           RemoveCase{1, {0, 20, 30}, {false, true}},
                                           RemoveCase{2, {0, 10, 30}, {true, true}}));

TEST(RemoveSplitPoint, SinglePartOrNoSelectionChangesNothing)
{
    SplitPlan one = PlanWith({0, 30});
    EXPECT_FALSE(RemoveSplitPoint(one, 0));
    EXPECT_EQ(one.TimePoints, (TimePointsArr{0, 30}));
    SplitPlan three = PlanWith({0, 10, 20, 30});
    EXPECT_FALSE(RemoveSplitPoint(three, -1));
    EXPECT_FALSE(RemoveSplitPoint(three, 3));
    EXPECT_EQ(three.TimePoints, (TimePointsArr{0, 10, 20, 30}));
    EXPECT_EQ(three.PartCount, 3);
}

struct EditCase {
    const char *what;
    int row;
    int64_t start;
    int64_t stop;
    QString name;
    QString message; // empty: accepted
};

class CheckSelectionEditTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(CheckSelectionEditTest, GivesTheFirstFailingMessage)
{
    const SplitPlan plan = PlanWith({0, 10, 20, 30});
    const EditCase &c = GetParam();
    EXPECT_EQ(CheckSelectionEdit(plan, c.row, {c.start, c.stop, c.name, "tip"}), c.message) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CheckSelectionEditTest,
    ::testing::Values(
        EditCase{"inside the neighbours", 1, 5, 25, "a", ""},
        EditCase{"part before shrinks to 0 s", 1, 0, 25, "a", ""},
        EditCase{"part after shrinks to 0 s", 1, 5, 30, "a", ""},
        EditCase{"stop beyond the part after", 1, 5, 31, "a", "The Stop Time is not appropriate!"},
        EditCase{"start after stop", 1, 25, 20, "a", "The Start Time should be smaller than Stop Time!"},
        EditCase{"start equal to stop", 1, 20, 20, "a", "The Start Time should be smaller than Stop Time!"},
        EditCase{"start before the part before", 2, 9, 30, "a", "The Start Time is not appropriate!"},
        EditCase{"order: start/stop before bounds", 2, 40, 35, "", "The Start Time should be smaller than Stop Time!"},
        EditCase{"order: bounds before name", 0, 0, 31, "", "The Stop Time is not appropriate!"},
        EditCase{"blank name", 0, 0, 10, "", "File name can not be blank!"},
        EditCase{"only an extension", 0, 0, 10, ".mp3", "File name can not be blank!"},
        EditCase{"last row, any stop", 2, 20, 30, "a.wav", ""},
        EditCase{"huge minutes do not wrap", 1, 10, int64_t(35791395) * 60 + 20, "a",
                 "The Stop Time is not appropriate!"}));

class UnsafeNameTest : public ::testing::TestWithParam<const char *> {};

TEST_P(UnsafeNameTest, IsRefusedSoNoPartLeavesTheSaveFolder)
{
    const SplitPlan plan = PlanWith({0, 10, 20, 30});
    EXPECT_EQ(CheckSelectionEdit(plan, 1, {10, 20, GetParam(), ""}),
              "File name can not contain \\ / : * ? \" < > |");
}

INSTANTIATE_TEST_SUITE_P(Characters, UnsafeNameTest,
                         ::testing::Values("../escape", "sub/part", "..\\up", "C:part", "what?", "star*", "say\"hi\"",
                                           "<a>", "a|b", "tab\there"));

TEST(CheckSelectionEdit, OrdinaryNamesWithDotsAndBlanksAreAccepted)
{
    const SplitPlan plan = PlanWith({0, 10, 20, 30});
    for (const char *name : {"live.set", "Part two", "été", "a-b_c (1)", "x.mp3"})
        EXPECT_EQ(CheckSelectionEdit(plan, 1, {10, 20, name, ""}), "") << name;
}

TEST(ApplySelectionEdit, MovesSharedPointsAndStoresNameWithOutputExtension)
{
    SplitPlan plan = PlanWith({0, 10, 20, 30});
    ApplySelectionEdit(plan, 1, {5, 25, "chorus.wav", "the chorus"}, "ogg");
    EXPECT_EQ(plan.TimePoints, (TimePointsArr{0, 5, 25, 30}));
    EXPECT_EQ(plan.PartNames[2], "chorus.ogg");
    EXPECT_EQ(plan.PartTips[2], "the chorus");
    EXPECT_EQ(plan.PartNames[1], "name1.mp3");
    EXPECT_EQ(plan.PartNames[3], "name3.mp3");
    ApplySelectionEdit(plan, 0, {0, 5, "live.set", ""}, "mp3");
    EXPECT_EQ(plan.PartNames[1], "live.mp3");
}

TEST(SeekPositionForRow, IsPerMilleOfTheDurationWithoutOverflowForLongSources)
{
    const SplitPlan plan = PlanWith({0, 45, 3000, 7200});
    EXPECT_EQ(SeekPositionForRow(plan, 0, 90000), 0);
    EXPECT_EQ(SeekPositionForRow(plan, 1, 90000), 500);
    // 3000 s * 10^6 does not fit 32 bits.
    EXPECT_EQ(SeekPositionForRow(plan, 2, 7200000), 416);
    EXPECT_EQ(SeekPositionForRow(plan, 3, 7200000), 1000);
    EXPECT_EQ(SeekPositionForRow(plan, 1, 0), 0);
}

TEST(MoveSplitPointTo, MovesToTheExactFrameButNeverReachesANeighbour)
{
    constexpr int rate = 44100;
    SplitPlan plan = PlanWith({0, 10, 20, 30});
    plan.PointFrames = {NoExactFrame, NoExactFrame, 20 * rate + 500, NoExactFrame};

    EXPECT_TRUE(MoveSplitPointTo(plan, 1, 5 * rate + 123, rate));
    EXPECT_EQ(plan.PointFrames[1], 5 * rate + 123);
    EXPECT_EQ(plan.TimePoints[1], 5); // the list's whole second

    // Hand-set neighbours count at their whole seconds, exact ones at their frames.
    for (const int64_t refused : {int64_t(0), int64_t(-7), int64_t(20 * rate + 500), int64_t(25 * rate)})
        EXPECT_FALSE(MoveSplitPointTo(plan, 1, refused, rate)) << refused;
    EXPECT_TRUE(MoveSplitPointTo(plan, 1, 20 * rate + 499, rate));
    EXPECT_FALSE(MoveSplitPointTo(plan, 2, 30 * rate, rate));
    EXPECT_TRUE(MoveSplitPointTo(plan, 2, 30 * rate - 1, rate));
    // The start of the file and the end of the last part are not split points.
    EXPECT_FALSE(MoveSplitPointTo(plan, 0, 100, rate));
    EXPECT_FALSE(MoveSplitPointTo(plan, 3, 29 * rate, rate));
    EXPECT_EQ(plan.PointFrames, (std::vector<int64_t>{NoExactFrame, 20 * rate + 499, 30 * rate - 1, NoExactFrame}));

    // The cut lands on the frames, not on the seconds the list shows.
    plan.BuildSamplePoints(SplitMode::BySettings, 0, 30 * rate, 30000);
    EXPECT_EQ(plan.SamplePoints[1], 20 * rate + 499);
    EXPECT_EQ(plan.SamplePoints[2], 30 * rate - 1);
}

TEST(ExactFrames, FollowTheirPointsThroughInsertRemoveAndEdit)
{
    SplitPlan plan = PlanWith({0, 10, 20, 30});
    plan.PointFrames = {NoExactFrame, 441005, 882007, NoExactFrame};

    SetSplitPoint(plan, 15, "mp3"); // a hand-set point between the two exact ones
    EXPECT_EQ(plan.PointFrames, (std::vector<int64_t>{NoExactFrame, 441005, NoExactFrame, 882007, NoExactFrame}));
    ASSERT_TRUE(RemoveSplitPoint(plan, 1)); // the point at 10 s
    EXPECT_EQ(plan.PointFrames, (std::vector<int64_t>{NoExactFrame, NoExactFrame, 882007, NoExactFrame}));

    // A renamed part keeps its exact points; a typed time becomes hand-set.
    ApplySelectionEdit(plan, 1, {15, 20, "renamed", "tip"}, "mp3");
    EXPECT_EQ(plan.PointFrames[2], 882007);
    ApplySelectionEdit(plan, 1, {15, 21, "renamed", "tip"}, "mp3");
    EXPECT_EQ(plan.PointFrames[2], NoExactFrame);
    EXPECT_FALSE(plan.HasExactPoints());
}
