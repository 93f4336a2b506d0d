#include "audio/AudioError.h"
#include "audio/FlacEncoder.h"
#include "audio/FlacFrameCutter.h"
#include "audio/LosslessCutter.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

enum class Maker { FlacTool, OurWriter, CutOfACut };

struct FlacSource {
    const char *name;
    Maker maker;
    int bits;
    int block; // samples a frame
};

void PrintTo(const FlacSource &s, std::ostream *os) { *os << s.name; }

// Pink noise, so that the frames differ as real music's do.
void MakeFlac(const QTemporaryDir &dir, const QString &path, const FlacSource &s)
{
    const QString wav = dir.filePath("noise.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       "anoisesrc=d=4:a=0.4:c=pink:seed=5", "-ar", "44100", "-ac", "2", "-c:a",
                                       s.bits == 24 ? "pcm_s24le" : "pcm_s16le", wav}),
              0);
    if (s.maker == Maker::OurWriter) {
        const std::vector<float> pcm = fixtures::DecodedSamples(wav);
        audio_detail::FlacEncoder enc(path, {44100, 2, s.bits, 5});
        enc.write(pcm.data(), int64_t(pcm.size() / 2));
        enc.finish();
        return;
    }
    const QString tool = s.maker == Maker::CutOfACut ? dir.filePath("whole.flac") : path;
    ASSERT_EQ(fixtures::Run("flac", {"-s", "-f", "--blocksize", QString::number(s.block), "-T", "TITLE=Noise",
                                     "-o", tool, wav}),
              0);
    if (s.maker == Maker::CutOfACut) // a variable-blocksize stream: our own part of a longer file
        FlacFrameCutter(tool).writePart(path, 1000, 44100 * 4 - 3000, {});
}

std::vector<float> Range(const std::vector<float> &all, int64_t from, int64_t to)
{
    return std::vector<float>(all.begin() + from * 2, all.begin() + to * 2);
}

class FlacFrameCutterTest : public ::testing::TestWithParam<FlacSource> {
protected:
    QTemporaryDir dir;
};

// Cuts in the first and the last frame, on a frame edge, in the middle of
// frames and a few samples before an edge: every part decodes (ffmpeg) to
// exactly the source's samples over its range and passes `flac -t`.
TEST_P(FlacFrameCutterTest, EveryPartDecodesToExactlyItsStretchOfTheSource)
{
    const FlacSource &s = GetParam();
    const QString source = dir.filePath("source.flac");
    MakeFlac(dir, source, s);
    if (HasFatalFailure())
        return;
    ASSERT_EQ(LosslessSaveFormat(source), "flac");
    const std::vector<float> whole = fixtures::DecodedSamples(source);
    const std::unique_ptr<LosslessCutter> cutter = OpenLosslessCutter(source);
    const int64_t length = cutter->length(), b = s.block;
    ASSERT_EQ(length * 2, int64_t(whole.size())) << "the cutter must count what ffmpeg decodes";
    EXPECT_FALSE(cutter->takesRenderedTag());

    std::vector<int64_t> points{0, 30, b * 5, b * 9 + b / 2 + 3, b * 12 - 5, b * 13 + 4, length / 2 + 7, length - 50, length};
    std::sort(points.begin(), points.end());
    for (size_t k = 1; k < points.size(); ++k) {
        EXPECT_TRUE(cutter->tooShort(points[k - 1], points[k]).isEmpty());
        const QString part = dir.filePath(QStringLiteral("part%1.flac").arg(k));
        cutter->writePart(part, points[k - 1], points[k], {});
        EXPECT_TRUE(fixtures::DecodedSamples(part) == Range(whole, points[k - 1], points[k]))
            << "part " << k << " from " << points[k - 1] << " to " << points[k];
        QByteArray err;
        EXPECT_EQ(fixtures::Run("flac", {"-s", "-t", part}, &err), 0) << "part " << k << err.toStdString();
    }
    // A part inside one frame, and one of the whole file.
    cutter->writePart(dir.filePath("inner.flac"), b * 2 + 100, b * 2 + 107, {});
    EXPECT_TRUE(fixtures::DecodedSamples(dir.filePath("inner.flac")) == Range(whole, b * 2 + 100, b * 2 + 107));
    cutter->writePart(dir.filePath("all.flac"), 0, length, {});
    EXPECT_EQ(fixtures::Run("flac", {"-s", "-t", dir.filePath("all.flac")}), 0);
    EXPECT_TRUE(fixtures::DecodedSamples(dir.filePath("all.flac")) == whole);
}

INSTANTIATE_TEST_SUITE_P(Sources, FlacFrameCutterTest,
                         ::testing::Values(FlacSource{"flacTool16", Maker::FlacTool, 16, 4096},
                                           FlacSource{"flacTool24", Maker::FlacTool, 24, 1152},
                                           FlacSource{"ourWriter16", Maker::OurWriter, 16, 4096},
                                           FlacSource{"ourWriter24", Maker::OurWriter, 24, 4096},
                                           FlacSource{"variableBlocksize", Maker::CutOfACut, 16, 4096}),
                         [](const auto &p) { return std::string(p.param.name); });

QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(FlacFrameCutter, DamagedOrIncompleteSourcesAreRefusedNamingTheFileAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.flac");
    MakeFlac(dir, good, {"flacTool16", Maker::FlacTool, 16, 4096});
    const QByteArray bytes = Bytes(good);
    QByteArray flipped = bytes;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
    const QMap<QString, QByteArray> damaged{{"flipped.flac", flipped},
                                            {"truncated.flac", bytes.left(bytes.size() * 2 / 3)},
                                            {"headless.flac", bytes.mid(4)}};
    for (auto it = damaged.cbegin(); it != damaged.cend(); ++it) {
        const QString path = dir.filePath(it.key());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(it.value()) == it.value().size());
        f.close();
        try {
            FlacFrameCutter cutter(path);
            ADD_FAILURE() << it.key().toStdString() << " was accepted";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << e.what();
            EXPECT_TRUE(e.text().contains("cannot be cut without re-encoding")) << e.what();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"*.flac"}, QDir::Files).size(), 4);
}

TEST(FlacFrameCutter, AStoppedCopyLeavesTheFileItWouldReplaceAsItWas)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("source.flac");
    MakeFlac(dir, source, {"flacTool16", Maker::FlacTool, 16, 4096});
    const FlacFrameCutter cutter(source);
    const QString part = dir.filePath("part.flac");
    QFile older(part);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    EXPECT_THROW(cutter.writePart(part, 10, cutter.length(), {}, [](int64_t, int64_t) { return false; }),
                 LosslessCutter::Cancelled);
    EXPECT_EQ(Bytes(part), "older");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3); // noise.wav, source, part
}

} // namespace
