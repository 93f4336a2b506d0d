#include "split/WaveformEditorModel.h"
#include "split/WaveformViewAxis.h"

#include <gtest/gtest.h>
#include <cmath>
#include <functional>

namespace {

constexpr int Rate = 44100;

// Three parts of a 30-second source, cut at 10 s and 20 s.
WaveformEditorModel ThreeParts()
{
    SplitPlan plan;
    plan.SourcePath = "/music/show.mp3";
    plan.DurationSeconds = 30;
    plan.Mode = SplitMode::BySettings;
    plan.SetExactPoints({10 * Rate, 20 * Rate}, Rate);
    plan.PartNames = {"", "intro.mp3", "song.mp3", "outro.mp3"};
    plan.PartSaveFlags = {false, true, true, true};
    WaveformEditorModel model(30 * Rate, Rate, "mp3");
    model.Load(plan);
    return model;
}

struct Snapshot {
    std::vector<int64_t> points;
    QStringList names;
    QList<bool> checks;
    bool operator==(const Snapshot &) const = default;
};

Snapshot Take(const WaveformEditorModel &m)
{
    Snapshot s{m.Points(), {}, {}};
    for (int p = 0; p < m.PartCount(); ++p) {
        s.names << m.ShownName(p);
        s.checks << m.Part(p).checked;
    }
    return s;
}

struct Change {
    const char *name;
    std::function<bool(WaveformEditorModel &)> apply;
};

class EveryChangeIsUndone : public ::testing::TestWithParam<Change> {};

} // namespace

TEST_P(EveryChangeIsUndone, UndoRestoresAndRedoRepeats)
{
    WaveformEditorModel model = ThreeParts();
    const Snapshot before = Take(model);
    ASSERT_TRUE(GetParam().apply(model));
    const Snapshot after = Take(model);
    ASSERT_NE(after, before);
    ASSERT_TRUE(model.CanUndo());
    model.Undo();
    EXPECT_EQ(Take(model), before);
    EXPECT_FALSE(model.CanUndo());
    model.Redo();
    EXPECT_EQ(Take(model), after);
    EXPECT_FALSE(model.CanRedo());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, EveryChangeIsUndone,
    ::testing::Values(Change{"Add", [](WaveformEditorModel &m) { return m.AddPoint(15 * Rate + 7) == 1; }},
                      Change{"Remove", [](WaveformEditorModel &m) { return m.RemovePoint(0); }},
                      Change{"Move", [](WaveformEditorModel &m) { return m.MovePoint(1, 21 * Rate) == 21 * Rate; }},
                      Change{"Rename", [](WaveformEditorModel &m) { return m.Rename(1, "Ballad"); }},
                      Change{"Check", [](WaveformEditorModel &m) { return m.SetChecked(2, false); }}),
    [](const ::testing::TestParamInfo<Change> &p) { return std::string(p.param.name); });

TEST(WaveformEditorModel, NamesFollowTheirStretchAndANewPartIsNamedByNumber)
{
    WaveformEditorModel model = ThreeParts();
    ASSERT_EQ(model.AddPoint(5 * Rate), 0);
    EXPECT_EQ(model.ShownName(0), "intro");
    EXPECT_EQ(model.ShownName(1), "show-02");
    EXPECT_EQ(model.ShownName(2), "song");
    // A change after an undo forgets what could have been redone.
    model.Undo();
    model.SetChecked(0, false);
    EXPECT_FALSE(model.CanRedo());
}

TEST(WaveformEditorModel, APointStaysStrictlyBetweenItsNeighbours)
{
    WaveformEditorModel model = ThreeParts();
    EXPECT_EQ(model.MovePoint(0, 25 * Rate), 20 * Rate - 1);
    EXPECT_EQ(model.MovePoint(0, -5), 1);
    EXPECT_EQ(model.AddPoint(20 * Rate), -1);
    EXPECT_EQ(model.AddPoint(30 * Rate), -1);
}

TEST(WaveformEditorModel, WritesExactFramesNamesAndChecksIntoThePlan)
{
    WaveformEditorModel model = ThreeParts();
    model.AddPoint(25 * Rate + 3);
    model.SetChecked(0, false);
    SplitPlan plan;
    plan.SourcePath = "/music/show.mp3";
    plan.DurationSeconds = 30;
    model.WriteTo(plan);
    EXPECT_EQ(plan.PartCount, 4);
    EXPECT_EQ(plan.PointFrames[3], 25 * Rate + 3);
    EXPECT_EQ(plan.TimePoints[3], 25);
    EXPECT_EQ(plan.PartNames[1], "intro.mp3");
    EXPECT_EQ(plan.PartNames[4], "show-04.mp3");
    EXPECT_FALSE(plan.PartSaveFlags[1]);
    EXPECT_TRUE(plan.PartSaveFlags[4]);
}

TEST(WaveformEditorModel, TheQuietestColumnIsTheNearestTheMiddleAmongEquals)
{
    std::vector<PeakRange> columns(7, PeakRange{-0.5f, 0.5f});
    columns[1] = {-0.01f, 0.01f};
    columns[5] = {-0.01f, 0.01f};
    columns[4] = {-0.01f, 0.01f};
    columns[0] = {};
    EXPECT_EQ(QuietestColumn(columns), 4);
    EXPECT_EQ(QuietestColumn(std::vector<PeakRange>(3)), -1);
    // A pause from column 5 to 8: the cut goes in its middle, not at its edge.
    std::vector<PeakRange> pause(9, PeakRange{-0.5f, 0.5f});
    for (int c = 5; c <= 8; ++c)
        pause[size_t(c)] = {0.f, 0.f};
    EXPECT_EQ(QuietestColumn(pause), 6);
}

namespace {

struct AxisCase {
    int64_t totalFrames;
    int rate;
    int width;
};

class AxisAtExtremes : public ::testing::TestWithParam<AxisCase> {};

} // namespace

TEST_P(AxisAtExtremes, PixelsAndFramesRoundTripAtEveryZoomWithoutOverflow)
{
    const AxisCase c = GetParam();
    WaveformViewAxis axis;
    axis.SetWidth(c.width);
    axis.SetSource(c.totalFrames, c.rate);
    EXPECT_LE(axis.FrameAt(c.width), double(std::max<int64_t>(c.totalFrames, 1)) + 1e-6);
    for (double fpp : {axis.FitFramesPerPixel(), 1000.0, 1.0, WaveformViewAxis::MinFramesPerPixel}) {
        // Zoomed about the last pixel at the source's end, where values are largest.
        axis.ScrollTo(double(c.totalFrames));
        axis.ZoomAbout(c.width - 1, fpp);
        EXPECT_GE(axis.FramesPerPixel(), WaveformViewAxis::MinFramesPerPixel);
        EXPECT_LE(axis.FirstFrame() + axis.VisibleFrames(), double(c.totalFrames) + axis.FramesPerPixel());
        for (double x : {0.0, 1.0, c.width / 2.0, c.width - 1.0})
            EXPECT_NEAR(axis.XOf(axis.FrameAt(x)), x, 1e-6);
        const double last = double(c.totalFrames - 1);
        EXPECT_DOUBLE_EQ(axis.FrameAt(axis.XOf(last)), last);
        // A frame far out of view stays a finite x the painter can take.
        EXPECT_TRUE(std::isfinite(axis.XOf(0)));
        EXPECT_GE(axis.ClampedXOf(0), -70000);
    }
}

TEST_P(AxisAtExtremes, ZoomKeepsTheFrameUnderThePixelAndScrollStaysInTheFile)
{
    const AxisCase c = GetParam();
    WaveformViewAxis axis;
    axis.SetWidth(c.width);
    axis.SetSource(c.totalFrames, c.rate);
    const double x = c.width * 0.3;
    axis.ZoomAbout(x, 4);
    const double anchor = axis.FrameAt(x);
    axis.ZoomAbout(x, 0.5);
    EXPECT_NEAR(axis.FrameAt(x), anchor, 0.5);
    axis.ScrollTo(-1e18);
    EXPECT_EQ(axis.FirstFrame(), 0);
    axis.ScrollTo(1e18);
    EXPECT_NEAR(axis.FirstFrame() + axis.VisibleFrames(), double(c.totalFrames), 1e-3);
}

TEST_P(AxisAtExtremes, RulerTicksAreSpacedAndTurnToSampleNumbersAtTheDeepestZoom)
{
    const AxisCase c = GetParam();
    WaveformViewAxis axis;
    axis.SetWidth(c.width);
    axis.SetSource(c.totalFrames, c.rate);
    const std::vector<AxisTick> whole = axis.Ticks(80);
    ASSERT_FALSE(whole.empty());
    for (size_t i = 1; i < whole.size(); ++i)
        EXPECT_GE(whole[i].x - whole[i - 1].x, 80 - 1e-6);
    EXPECT_TRUE(whole.front().label.contains(':'));
    axis.ZoomAbout(c.width / 2.0, WaveformViewAxis::MinFramesPerPixel);
    const std::vector<AxisTick> deepest = axis.Ticks(80);
    ASSERT_FALSE(deepest.empty());
    EXPECT_FALSE(deepest.front().label.contains(':'));
    EXPECT_EQ(deepest.front().label.toLongLong(), int64_t(deepest.front().frame));
}

INSTANTIATE_TEST_SUITE_P(Lengths, AxisAtExtremes,
                         ::testing::Values(AxisCase{441000, 44100, 800},                      // ten seconds
                                           AxisCase{int64_t(24) * 3600 * 192000, 192000, 3840}, // a day at 192 kHz
                                           AxisCase{1000, 8000, 1920}));                     // shorter than the width

TEST(WaveformViewAxis, ClockTextRoundTripsThroughTheTimeBox)
{
    const int64_t frame = (int64_t(3) * 3600 + 25 * 60 + 7) * Rate + 441 * 12;
    EXPECT_EQ(FormatClock(frame, Rate), "3:25:07.120");
    EXPECT_EQ(ParseClock("3:25:07.120", Rate), frame);
    EXPECT_EQ(ParseClock("90.5", Rate), 90 * Rate + Rate / 2);
    EXPECT_EQ(ParseClock("1:30", Rate), 90 * Rate);
    EXPECT_FALSE(ParseClock("1:x0", Rate));
}
