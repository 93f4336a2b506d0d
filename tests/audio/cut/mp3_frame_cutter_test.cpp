#include "audio/AudioError.h"
#include "audio/Mp3FrameCutter.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

struct Source {
    const char *name;
    int rate;
    int channels;
    QStringList encoder; // ffmpeg output arguments
    bool gogoTag = false; // the info frame names an encoder FFmpeg takes no delay from
    bool cover = false;   // an ID3v2 tag with a picture in front
};

void PrintTo(const Source &s, std::ostream *os) { *os << s.name; }

// Noise, so that every granule borrows from the bit reservoir as real music does.
void MakeMp3(const QString &path, const Source &s)
{
    QStringList args{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "anoisesrc=d=6:a=0.4:c=pink:seed=7"};
    if (s.cover)
        args << "-f" << "lavfi" << "-i" << "color=c=red:s=64x64:d=1" << "-map" << "0:a" << "-map" << "1:v"
             << "-frames:v" << "1" << "-c:v" << "png" << "-disposition:v" << "attached_pic" << "-id3v2_version" << "3";
    args << "-ar" << QString::number(s.rate) << "-ac" << QString::number(s.channels) << "-c:a" << "libmp3lame";
    ASSERT_EQ(fixtures::Run("ffmpeg", args + s.encoder + QStringList{path}), 0);
    if (s.gogoTag) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.indexOf("Lavc");
        ASSERT_GT(at, 0);
        bytes.replace(at, 4, "GOGO");
        f.seek(0);
        f.write(bytes);
    }
}

class Mp3FrameCutterTest : public ::testing::TestWithParam<Source> {
protected:
    QTemporaryDir dir;
};

// Cuts in the middle of a frame, on a frame edge, in the first and in the
// last frame: every part (but one shorter than a frame that no copy can
// make exact, which is refused) decodes (by ffmpeg, from the file) to exactly the
// source's samples over its range, so the parts together are the source.
TEST_P(Mp3FrameCutterTest, EveryPartDecodesToExactlyItsStretchOfTheSource)
{
    const Source &s = GetParam();
    const QString source = dir.filePath("source.mp3");
    MakeMp3(source, s);
    const std::vector<float> whole = fixtures::DecodedSamples(source);

    Mp3FrameCutter cutter(source);
    const int64_t length = cutter.length();
    ASSERT_EQ(length * s.channels, int64_t(whole.size())) << "the cutter must count what ffmpeg decodes";

    const int64_t spf = s.rate >= 32000 ? 1152 : 576;
    std::vector<int64_t> points{0, 30, spf * 5, spf * 9 + spf / 2 + 3, length / 2 + 7, length - 50, length};
    std::sort(points.begin(), points.end());
    for (size_t k = 1; k < points.size(); ++k) {
        const QString part = dir.filePath(QStringLiteral("part%1.mp3").arg(k));
        if (cutter.insideOneFrame(points[k - 1], points[k])) {
            // Only a part shorter than a frame can be refused; FFmpeg could not trim it.
            EXPECT_LT(points[k] - points[k - 1], spf);
            EXPECT_THROW(cutter.writePart(part, points[k - 1], points[k], {}), AudioError);
            continue;
        }
        cutter.writePart(part, points[k - 1], points[k], {});
        const std::vector<float> got = fixtures::DecodedSamples(part);
        const auto from = whole.begin() + points[k - 1] * s.channels, to = whole.begin() + points[k] * s.channels;
        ASSERT_EQ(int64_t(got.size()), int64_t(to - from)) << "part " << k << " from " << points[k - 1];
        int64_t differing = 0;
        for (size_t i = 0; i < got.size(); ++i)
            differing += std::memcmp(&got[i], &*(from + int64_t(i)), sizeof(float)) != 0;
        EXPECT_EQ(differing, 0) << "part " << k << " from " << points[k - 1] << " to " << points[k];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Mp3FrameCutterTest,
    ::testing::Values(Source{"cbr128", 44100, 2, {"-b:a", "128k"}}, Source{"vbrV2", 44100, 2, {"-q:a", "2"}},
                      Source{"mpeg2mono32", 22050, 1, {"-b:a", "32k"}}, Source{"mpeg25at8k", 8000, 2, {"-b:a", "16k"}},
                      Source{"lowRateNeedsACarrier", 32000, 2, {"-b:a", "32k"}},
                      Source{"noInfoFrame", 44100, 2, {"-b:a", "128k", "-write_xing", "0"}},
                      Source{"otherEncodersTag", 48000, 2, {"-b:a", "96k"}, true},
                      Source{"id3v2WithCover", 44100, 2, {"-b:a", "128k", "-metadata", "title=With cover"}, false, true}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(Mp3FrameCutter, DamagedOrForeignSourcesAreRefusedNamingTheFile)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.mp3");
    MakeMp3(good, Source{"cbr128", 44100, 2, {"-b:a", "128k"}});
    QFile in(good);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QByteArray bytes = in.readAll();
    bytes.insert(bytes.size() / 2, QByteArray(3000, 'x'));
    const QString damaged = dir.filePath("damaged.mp3");
    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    const QString wav = dir.filePath("tone.wav");
    fixtures::MakeTone(wav, 1.0, 44100, 2, {"-c:a", "pcm_s16le"});

    for (const QString &path : {damaged, wav}) {
        try {
            Mp3FrameCutter cutter(path);
            ADD_FAILURE() << path.toStdString() << " was accepted";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(path)) << e.what();
            EXPECT_TRUE(e.text().contains("cannot be cut without re-encoding")) << e.what();
        }
    }
}

} // namespace

namespace {

TEST(Mp3FrameCutter, AStoppedCopyLeavesTheFileItWouldReplaceAsItWas)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("source.mp3");
    MakeMp3(source, Source{"cbr320", 44100, 2, {"-b:a", "320k"}});
    const Mp3FrameCutter cutter(source);

    const QString part = dir.filePath("part.mp3");
    QFile older(part);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    // Stopped in the copy, when the part's file has been begun.
    EXPECT_THROW(cutter.writePart(part, 0, cutter.length(), {},
                                  [](int64_t done, int64_t total) { return done < total * 3 / 4; }),
                 Mp3FrameCutter::Cancelled);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"part.mp3", "source.mp3"}));
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), "older");
}

} // namespace
