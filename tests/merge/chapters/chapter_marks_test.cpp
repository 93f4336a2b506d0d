#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"

#include "audio/Chapters.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/MergeEngine.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Chapter {
    double start = 0; // seconds
    QString title;
};

// The chapters as ffprobe reads them.
QList<Chapter> ProbeChapters(const QString &path)
{
    QByteArray out;
    EXPECT_EQ(fixtures::Run("ffprobe", {"-v", "error", "-show_chapters", "-of", "json", path}, &out), 0);
    QList<Chapter> chapters;
    for (const QJsonValue &v : QJsonDocument::fromJson(out).object().value("chapters").toArray()) {
        const QJsonObject c = v.toObject();
        chapters << Chapter{c.value("start_time").toString().toDouble(), c.value("tags").toObject().value("title").toString()};
    }
    return chapters;
}

QString CliPath() { return QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli"; }

int RunCli(const QStringList &args, QString *out = nullptr, QString *err = nullptr)
{
    QProcess p;
    p.start(CliPath(), args);
    EXPECT_TRUE(p.waitForFinished(300000));
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

struct Form {
    const char *format;  // the merge's format box
    int outputRate;      // the output's rate with default settings
};

class ChapterMarks : public ::testing::TestWithParam<Form> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
};

// Three sources at three rates, so the marks of a resampled merge are checked
// too: the first titled by its tag, the second by the request, the third by its name.
TEST_P(ChapterMarks, MarkWhereEachSourceBeginsWithItsTitle)
{
    const Form form = GetParam();
    const QString a = dir.filePath("a.wav"), b = dir.filePath("b.wav"), c = dir.filePath("Third piece.wav");
    fixtures::MakeTone(a, 1.3, 44100, 2, {"-metadata", "title=First"}, 300);
    fixtures::MakeTone(b, 0.77, 22050, 1, {"-metadata", "title=Ignored"}, 500);
    fixtures::MakeTone(c, 1.1, 48000, 2, {}, 700);
    const QStringList sources{a, b, c};

    TAudioFile2 fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    RecordingObserver observer;
    MergeEngine engine(fileW, info, encoder, observer);
    MergeSourceList list;
    list.Add(sources);
    list.Refresh(InformationProbe(info));
    MergeRequest request;
    request.sources = sources;
    request.fileNameText = "book";
    request.savePath = dir.path() + "/";
    request.formatText = form.format;
    request.listTotalSamples = list.ListTotalSamples;
    request.chapterMarks = true;
    request.chapterTitles = {QString(), "Second"};
    TProgramSettings settings;
    const MergeResult result = engine.Run(request, settings);
    ASSERT_FALSE(result.failed) << observer.texts("error").join('\n').toStdString();
    const QString output = request.savePath + result.name;

    // Each source's exact length at the output's rate, added up.
    QList<double> expected{0.0};
    double frames = 0;
    for (int i = 0; i < 2; ++i) {
        info.LoadFile(sources[i]);
        frames += double(info.TotalSamples()) * form.outputRate / info.SampleRate();
        expected << std::round(frames) / form.outputRate;
    }
    const QStringList titles{"First", "Second", "Third piece"};
    const QList<Chapter> probed = ProbeChapters(output);
    ASSERT_EQ(probed.size(), 3) << output.toStdString();
    const ChapterList read = ReadChapters(output);
    ASSERT_EQ(read.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        // Both forms keep milliseconds.
        EXPECT_NEAR(probed[i].start, expected[i], 0.0011) << i;
        EXPECT_EQ(probed[i].title, titles[i]);
        EXPECT_EQ(read[size_t(i)].title, titles[i]);
        EXPECT_EQ(read[size_t(i)].sampleRate, form.outputRate);
        EXPECT_LE(std::abs(double(read[size_t(i)].startFrame) - expected[i] * form.outputRate),
                  form.outputRate / 2000.0 + 1) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, ChapterMarks,
                         ::testing::Values(Form{"MP3", 44100}, Form{"OGG", 44100}, Form{"OPUS", 48000},
                                           Form{"FLAC", 44100}, Form{"M4A", 44100}, Form{"M4B", 44100},
                                           Form{"ALAC", 44100}),
                         [](const auto &p) { return std::string(p.param.format); });

// merge --chapters, info --json, split --chapters: the parts are the sources
// again, to the frame (whole milliseconds long), and carry no chapters.
class ChapterRoundTrip : public ::testing::TestWithParam<QStringList> {};

TEST_P(ChapterRoundTrip, SplitAtTheChaptersOfAMergeGivesTheSourcesBack)
{
    if (!QFile::exists(CliPath()))
        GTEST_SKIP() << "quorvis-cli is not built";
    QTemporaryDir dir;
    const QStringList mergeArgs = GetParam().mid(0, 2), splitArgs = GetParam().mid(2);
    const QString format = mergeArgs[1];
    const QList<double> seconds{1.25, 0.6, 2.0};
    QStringList sources;
    QList<int64_t> lengths;
    for (int i = 0; i < 3; ++i) {
        sources << dir.filePath(QString("s%1.wav").arg(i + 1));
        fixtures::MakeTone(sources.last(), seconds[i], 44100, 2, {"-metadata", QString("title=Part %1").arg(i + 1)},
                           300 + 200 * i);
        lengths << fixtures::DecodedFrames(sources.last());
    }
    QString out, err;
    ASSERT_EQ(RunCli(QStringList{"merge"} + sources + QStringList{"--output", "mix", "--out", dir.path(), "--chapters", "--quiet"}
                         + mergeArgs, &out, &err), 0) << err.toStdString();
    const QString merged = dir.filePath("mix." + format);

    ASSERT_EQ(RunCli({"info", "--json", merged}, &out), 0);
    const QJsonArray chapters = QJsonDocument::fromJson(out.toUtf8()).array()[0].toObject().value("chapters").toArray();
    ASSERT_EQ(chapters.size(), 3) << out.toStdString();
    EXPECT_EQ(chapters[1].toObject().value("start_frame").toInteger(), lengths[0]);
    EXPECT_DOUBLE_EQ(chapters[2].toObject().value("start").toDouble(), double(lengths[0] + lengths[1]) / 44100);
    EXPECT_EQ(chapters[2].toObject().value("title").toString(), "Part 3");

    const QString parts = dir.filePath("parts");
    ASSERT_EQ(RunCli(QStringList{"split", merged, "--chapters", "--out", parts, "--format", format, "--quiet"} + splitArgs,
                     &out, &err), 0) << err.toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString part = QString("%1/0%2 - Part %2.%3").arg(parts).arg(i + 1).arg(format);
        ASSERT_TRUE(QFile::exists(part)) << part.toStdString();
        EXPECT_EQ(fixtures::DecodedFrames(part), lengths[i]) << part.toStdString();
        EXPECT_TRUE(ProbeChapters(part).isEmpty()) << part.toStdString();
        EXPECT_EQ(fixtures::ProbeFile(part).tags.value("title").toString(), QString("Part %1").arg(i + 1));
    }

    // A file without chapters is named, and nothing is written.
    EXPECT_EQ(RunCli({"split", sources[0], "--chapters", "--out", parts + "2"}, &out, &err), 1);
    EXPECT_TRUE(err.contains(QDir::toNativeSeparators(sources[0]) + " has no chapters")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(parts + "2/s1-01.wav"));
}

INSTANTIATE_TEST_SUITE_P(Forms, ChapterRoundTrip,
                         ::testing::Values(QStringList{"--format", "flac"}, QStringList{"--format", "ogg"},
                                           QStringList{"--format", "mp3"},
                                           QStringList{"--format", "mp3", "--lossless"}),
                         [](const auto &p) { return (p.param.join('_').remove('-')).toStdString(); });

TEST(ChapterMarksCli, WavMergeSaysItsFormatCarriesNone)
{
    if (!QFile::exists(CliPath()))
        GTEST_SKIP() << "quorvis-cli is not built";
    QTemporaryDir dir;
    const QString a = dir.filePath("a.wav");
    fixtures::MakeTone(a, 0.5);
    QString err;
    EXPECT_EQ(RunCli({"merge", a, a, "--output", "m", "--format", "wav", "--out", dir.path(), "--chapters", "--quiet"},
                     nullptr, &err), 0);
    EXPECT_TRUE(err.contains("WAV files carry no chapters")) << err.toStdString();
    EXPECT_TRUE(ProbeChapters(dir.filePath("m.wav")).isEmpty());
}

} // namespace
