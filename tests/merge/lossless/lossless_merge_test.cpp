#include "tests/common/AudioFixtures.h"
#include "tests/merge/EngineFixtures.h"
#include "tests/audio/write/WriteTestUtil.h"

#include "audio/Chapters.h"
#include "audio/LosslessJoin.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "merge/MergeEngine.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// How the sources of a case are made: by ffmpeg with these output
// arguments, or (no arguments) by our own MP3 writer.
struct Sources {
    const char *name;
    const char *format;
    QStringList ffmpegArgs;
};

class LosslessMerge : public testing::TestWithParam<Sources> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Three sources of unrelated lengths, so that no two MP3 grids line up.
    QStringList MakeSources()
    {
        const Sources s = GetParam();
        const double seconds[] = {3.31, 4.07, 2.93};
        QStringList paths;
        for (int i = 0; i < 3; ++i) {
            const QString path = dir.filePath(QStringLiteral("s%1.%2").arg(i).arg(s.format));
            if (s.ffmpegArgs.isEmpty()) {
                TAudioFile2 w;
                w.SetMp3Format(44100, 128, 3);
                const int64_t n = int64_t(seconds[i] * 44100);
                EXPECT_TRUE(writetest::WriteAll(w, path, writetest::Sine(44100, 2, n, 300.0 + 150 * i), 44100, 2));
            } else {
                const QString noise = QStringLiteral("anoisesrc=d=%1:a=0.3:c=pink:s=%2").arg(seconds[i]).arg(i + 1);
                EXPECT_EQ(fixtures::Run("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", noise,
                                                              "-ar", "44100", "-ac", "2"}
                                                      + s.ffmpegArgs + QStringList{path}),
                          0);
            }
            paths << path;
        }
        return paths;
    }

    // Runs the merge window's engine with the copy asked for.
    MergeResult Merge(const QStringList &sources, RecordingObserver &observer, bool chapters = false)
    {
        TAudioFile2 fileW;
        TAudioInformation2 info;
        TAudioFile2LameEnc encoder;
        MergeEngine engine(fileW, info, encoder, observer);
        MergeRequest request;
        request.sources = sources;
        request.fileNameText = "joined";
        request.savePath = dir.path() + "/";
        request.formatText = QString(GetParam().format).toUpper();
        request.lossless = true;
        request.chapterMarks = chapters;
        return engine.Run(request, TProgramSettings{});
    }

    QTemporaryDir dir;
};

// ffmpeg's decode of the join is each source's decode in turn: FLAC
// everywhere, MP3 everywhere but in the bridges; and as long as all of them.
TEST_P(LosslessMerge, CopiedAudioDecodesAsTheSourcesAndLengthsAddUp)
{
    const QStringList sources = MakeSources();
    const QString out = dir.filePath(QStringLiteral("joined.") + GetParam().format);
    const LosslessJoinResult joined = JoinLossless(sources, GetParam().format, out);
    const std::vector<float> merged = fixtures::DecodedSamples(out);
    int64_t sum = 0;
    for (const QString &s : sources)
        sum += fixtures::DecodedFrames(s);
    EXPECT_EQ(int64_t(merged.size()) / 2, sum);
    EXPECT_EQ(joined.length, sum);

    const auto inBridge = [&](int64_t at) {
        for (const auto &b : joined.bridges)
            if (at >= b.first && at < b.second)
                return true;
        return false;
    };
    for (int i = 0; i < sources.size(); ++i) {
        const std::vector<float> own = fixtures::DecodedSamples(sources[i]);
        const int64_t at = joined.starts[size_t(i)] + joined.shifts[size_t(i)];
        int64_t compared = 0, differing = 0;
        for (int64_t k = 0; k < int64_t(own.size()) / 2; ++k) {
            const int64_t o = at + k;
            if (o < 0 || 2 * o + 1 >= int64_t(merged.size()) || inBridge(o))
                continue;
            ++compared;
            differing += merged[size_t(2 * o)] != own[size_t(2 * k)] || merged[size_t(2 * o + 1)] != own[size_t(2 * k + 1)];
        }
        EXPECT_EQ(differing, 0) << sources[i].toStdString();
        EXPECT_GT(compared, int64_t(own.size()) / 2 / 2) << "the bridges cover most of " << sources[i].toStdString();
    }
    if (QString(GetParam().format) == "flac") {
        EXPECT_TRUE(joined.bridges.empty());
        EXPECT_EQ(fixtures::Run("flac", {"-s", "-t", out}), 0);
    } else {
        EXPECT_EQ(joined.bridges.size(), size_t(sources.size())); // two joins, and the end
        for (const auto &b : joined.bridges)
            EXPECT_LT(b.second - b.first, 44100) << "a bridge of " << b.second - b.first << " samples";
    }
}

TEST_P(LosslessMerge, RefusesMixedSampleRatesNamingTheFileAndWritesNothing)
{
    QStringList sources = MakeSources();
    const QString odd = dir.filePath(QStringLiteral("odd.") + GetParam().format);
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-i", sources[0], "-ar", "48000", odd}), 0);
    sources.insert(1, odd);
    RecordingObserver observer;
    const MergeResult result = Merge(sources, observer);
    EXPECT_TRUE(result.failed);
    const QString error = observer.texts("error").join('\n');
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(odd)) && error.contains("48000")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("joined.") + GetParam().format)));
}

TEST_P(LosslessMerge, CancelLeavesNoOutputAndChaptersMarkEachSourceExactly)
{
    const QStringList sources = MakeSources();
    const QString out = dir.filePath(QStringLiteral("joined.") + GetParam().format);
    RecordingObserver cancelled;
    {
        TAudioFile2 fileW;
        TAudioInformation2 info;
        TAudioFile2LameEnc encoder;
        MergeEngine engine(fileW, info, encoder, cancelled);
        cancelled.onBreathe = [&](int) { engine.Stop(); };
        MergeRequest request;
        request.sources = sources;
        request.fileNameText = "joined";
        request.savePath = dir.path() + "/";
        request.formatText = QString(GetParam().format).toUpper();
        request.lossless = true;
        engine.Run(request, TProgramSettings{});
    }
    EXPECT_TRUE(cancelled.texts("information").contains("Cancel merging files!"));
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), sources.size());

    RecordingObserver observer;
    const MergeResult result = Merge(sources, observer, true);
    ASSERT_FALSE(result.failed) << observer.texts("error").join('\n').toStdString();
    EXPECT_TRUE(observer.texts("information").contains("Complete merging files!"));
    const ChapterList marks = ReadChapters(out);
    ASSERT_EQ(marks.size(), size_t(sources.size()));
    int64_t start = 0;
    for (int i = 0; i < sources.size(); ++i) {
        // Chapter frames keep milliseconds.
        EXPECT_LE(std::abs(marks[size_t(i)].startFrame * 44100 / marks[size_t(i)].sampleRate - start), 45) << i;
        start += fixtures::DecodedFrames(sources[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessMerge,
                         testing::Values(Sources{"Flac", "flac", {"-c:a", "flac"}},
                                         Sources{"Mp3ByFfmpeg", "mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
                                         Sources{"Mp3VbrByFfmpeg", "mp3", {"-c:a", "libmp3lame", "-q:a", "0"}},
                                         Sources{"Mp3ByOurWriter", "mp3", {}}),
                         [](const auto &p) { return std::string(p.param.name); });

} // namespace
