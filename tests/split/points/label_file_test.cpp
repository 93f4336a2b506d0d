#include "split/CueSheet.h"
#include "split/LabelFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

QString Write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// A plan of a 20 s source cut at three exact frames, on CD frames (1/75 s)
// or a few samples beside them.
class RoundTrip : public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        plan.SourcePath = dir.filePath("live set.flac");
        plan.DurationSeconds = 20;
        const int64_t cd = rate() / 75;
        const int64_t off = onCdFrame() ? 0 : 7;
        points = {1 * rate() + 10 * cd + off, 7 * rate() + off, 12 * rate() + 74 * cd + off};
        plan.SetExactPoints(points, rate());
        for (int32_t k = 1; k <= plan.PartCount; ++k)
            plan.PartNames[k] = QStringLiteral("Song %1.mp3").arg(k);
    }
    int rate() const { return std::get<0>(GetParam()); }
    bool onCdFrame() const { return std::get<1>(GetParam()); }
    int64_t total() const { return 20 * int64_t(rate()); }

    QTemporaryDir dir;
    SplitPlan plan;
    std::vector<int64_t> points;
};

} // namespace

TEST_P(RoundTrip, LabelsBringBackEveryPointToTheFrameAndEveryName)
{
    const QString path = dir.filePath("labels.txt");
    WriteLabelFile(path, PlanToLabels(plan, rate()));
    SplitPlan back;
    back.SourcePath = plan.SourcePath;
    back.DurationSeconds = plan.DurationSeconds;
    ApplyLabels(back, ReadLabelFile(path), path, total(), rate(), "MP3");
    ASSERT_EQ(back.PartCount, 4);
    EXPECT_EQ(std::vector<int64_t>(back.PointFrames.begin() + 1, back.PointFrames.end() - 1), points);
    EXPECT_EQ(back.PartNames.mid(1), plan.PartNames.mid(1));
    EXPECT_EQ(back.PartSaveFlags.mid(1), (QList<bool>{true, true, true, true}));
}

TEST_P(RoundTrip, CueSheetBringsBackEveryPointToTheNearestCdFrame)
{
    std::vector<int32_t> offCdFrame{99};
    const QString sheet = PlanToCueSheet(plan, rate(), &offCdFrame);
    const std::vector<int32_t> expected = onCdFrame() ? std::vector<int32_t>{} : std::vector<int32_t>{2, 3, 4};
    EXPECT_EQ(offCdFrame, expected);
    EXPECT_TRUE(sheet.startsWith("FILE \"live set.flac\" WAVE")) << sheet.toStdString();

    SplitPlan back = plan;
    ApplyCueSheet(back, ReadCueSheet(Write(dir, "live.cue", sheet.toUtf8())), total(), rate(), "mp3");
    ASSERT_EQ(back.PartCount, 4);
    for (size_t k = 1; k <= 3; ++k) {
        const int64_t nearest = CueToFrame((points[k - 1] * 75 + rate() / 2) / rate(), rate());
        EXPECT_EQ(back.PointFrames[k], nearest) << k;
        EXPECT_EQ(back.PointFrames[k] == points[k - 1], onCdFrame()) << k;
    }
    EXPECT_EQ(back.PartNames[2], "02 - Song 2.mp3");
}

INSTANTIATE_TEST_SUITE_P(Rates, RoundTrip, ::testing::Combine(::testing::Values(44100, 48000), ::testing::Bool()),
                         [](const auto &p) {
                             return std::to_string(std::get<0>(p.param)) + (std::get<1>(p.param) ? "_OnCdFrame" : "_OffCdFrame");
                         });

TEST(LabelFile, AudacityFilesWithPointsRegionsAndSpectralLinesMakeNamedParts)
{
    QTemporaryDir dir;
    // Audacity's own output (CRLF from Windows), a region with its frequency
    // line, a point, and a second region leaving a gap before it.
    const QString path = Write(dir, "labels.txt",
                               "1.000000\t3.500000\tIntro: live\r\n"
                               "\\\t120.000000\t4400.000000\r\n"
                               "\r\n"
                               "2.250000\t2.250000\tSolo\r\n"
                               "5,5\t8.000000\tOutro\r\n");
    const std::vector<AudioLabel> labels = ReadLabelFile(path);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0].text, "Intro: live");
    EXPECT_DOUBLE_EQ(labels[2].start, 5.5);

    SplitPlan plan;
    plan.SourcePath = dir.filePath("take.wav");
    plan.DurationSeconds = 10;
    ApplyLabels(plan, labels, path, 10 * 1000, 1000, "WAV");
    EXPECT_EQ(plan.PointFrames, (std::vector<int64_t>{NoExactFrame, 1000, 2250, 3500, 5500, 8000, NoExactFrame}));
    EXPECT_EQ(plan.PartNames.mid(1), (QList<QString>{"take-gap-01.wav", "Intro_ live.wav", "Solo.wav", "take-gap-02.wav",
                                                     "Outro.wav", "take-gap-03.wav"}));
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{false, true, true, false, true, false}));
    const QList<SplitPartRow> rows = plan.PartRows();
    EXPECT_EQ(rows[2].startText + " " + rows[2].endText + " " + rows[2].lengthText, "00:02.250 00:03.500 00:01.250");
}

TEST(LabelFile, PointLabelsNameThePartTheyStart)
{
    SplitPlan plan;
    plan.SourcePath = "/music/take.wav";
    plan.DurationSeconds = 10;
    ApplyLabels(plan, {{4.0, 4.0, ""}, {2.0, 2.0, "Verse"}, {30.0, 30.0, "late"}}, "p.txt", 10000, 1000, "ogg");
    EXPECT_EQ(plan.PartNames.mid(1), (QList<QString>{"take-01.ogg", "Verse.ogg", "take-03.ogg"}));
    EXPECT_EQ(plan.PartSaveFlags.mid(1), (QList<bool>{true, true, true}));
}

class BadLabelLine : public ::testing::TestWithParam<std::tuple<const char *, const char *>> {};

TEST_P(BadLabelLine, IsRefusedNamingTheFileAndLine)
{
    QTemporaryDir dir;
    const QString path = Write(dir, "bad.txt", QByteArray("1.0\t2.0\tfine\n") + std::get<0>(GetParam()));
    try {
        ReadLabelFile(path);
        FAIL() << "accepted";
    } catch (const LabelFileError &e) {
        EXPECT_TRUE(e.text().startsWith(path)) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(std::get<1>(GetParam()))) << e.text().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadLabelLine,
    ::testing::Values(std::make_tuple("abc\t2.0\tx\n", "line 2: \"abc\" is not a time in seconds"),
                      std::make_tuple("\n-1\t2\tx\n", "line 3: the label starts before the recording"),
                      std::make_tuple("5.0\t4.0\tx\r\n", "line 2: the label ends (4 s) before it starts (5 s)"),
                      std::make_tuple("nan\tnan\tx\n", "line 2: \"nan\" is not a time")));

TEST(LabelFile, LabelsOutsideTheSourceLeaveThePlanAsItWas)
{
    SplitPlan plan;
    plan.SourcePath = "/music/take.wav";
    plan.DurationSeconds = 10;
    plan.ResetManualPlan("wav");
    const SplitPlan before = plan;
    EXPECT_THROW(ApplyLabels(plan, {{0, 0, "start"}, {12, 15, "after"}}, "l.txt", 10000, 1000, "wav"), LabelFileError);
    EXPECT_EQ(plan.TimePoints, before.TimePoints);
    EXPECT_EQ(plan.PartNames, before.PartNames);
    EXPECT_THROW(ReadLabelFile("/nonexistent/labels.txt"), LabelFileError);
}
