// Reading every input format: made by independent encoders, checked against
// their known lengths and against ffmpeg's own decode.
#include "tests/audio/read/ReadFixtures.h"

#include "audio/AudioError.h"
#include "audio/Decoder.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "tests/common/AudioFixtures.h"

#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>
#include <cmath>

using audio_detail::Decoder;

namespace {

std::vector<float> readAll(Decoder &dec, int64_t chunk)
{
    std::vector<float> all;
    for (PcmArray a; !(a = dec.read(chunk)).empty();) {
        EXPECT_EQ(a.size() % size_t(dec.channels()), 0u);
        all.insert(all.end(), a.begin(), a.end());
    }
    return all;
}

// Largest difference between a[aFrom..] and b[bFrom..] over `frames` frames.
float maxDiff(const std::vector<float> &a, size_t aFrom, const std::vector<float> &b, size_t bFrom, size_t samples)
{
    float worst = 0;
    for (size_t i = 0; i < samples; ++i)
        worst = std::max(worst, std::fabs(a[aFrom + i] - b[bFrom + i]));
    return worst;
}

class ReadFormat : public ::testing::TestWithParam<readfix::Case> {
protected:
    void SetUp() override
    {
        if (!fx().unavailable.isEmpty())
            GTEST_SKIP() << fx().unavailable.toStdString();
    }
    const readfix::Fixture &fx() { return readfix::Get(GetParam()); }
};

TEST_P(ReadFormat, DecodesEveryFrameOnceInOrder)
{
    const auto &f = fx();
    Decoder dec(f.path);
    EXPECT_EQ(dec.sampleRate(), f.rate);
    EXPECT_EQ(dec.channels(), f.channels);
    const int64_t announced = dec.length();
    // Odd chunk sizes cross every frame boundary of the codec.
    const std::vector<float> ours = readAll(dec, 1001);
    const int64_t frames = int64_t(ours.size()) / f.channels;

    EXPECT_NEAR(double(frames), double(f.trueLength), double(f.tolerance)) << "frames decoded";
    if (f.tolerance == 0)
        EXPECT_EQ(announced, frames) << "length() before reading";
    else
        EXPECT_NEAR(double(announced), double(frames), double(f.tolerance)) << "length() before reading";
    EXPECT_EQ(dec.length(), frames) << "length() once the end is reached";
    EXPECT_TRUE(dec.read(100).empty()) << "nothing after the end";

    // Same audio as ffmpeg, shifted by the delay ffmpeg leaves in place.
    const std::vector<float> ref = fixtures::DecodedSamples(f.path);
    const size_t skip = size_t(f.ffmpegLead) * f.channels;
    ASSERT_GE(ref.size(), skip);
    const size_t common = std::min(ours.size(), ref.size() - skip);
    EXPECT_GE(common + size_t(f.tolerance) * f.channels, ours.size());
    EXPECT_LT(maxDiff(ours, 0, ref, skip, common), 1e-4f);
}

TEST_P(ReadFormat, SeekLandsOnTheExactFrame)
{
    const auto &f = fx();
    std::vector<float> whole;
    {
        Decoder dec(f.path);
        whole = readAll(dec, 65536);
    }
    const int64_t total = int64_t(whole.size()) / f.channels;
    ASSERT_GT(total, 50000);
    Decoder dec(f.path);
    // Forward far, back, near the start, forward a little, near the end.
    for (int64_t target : {total / 2 + 7, total / 5 + 3, int64_t(11), int64_t(20000), total - 3000}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(dec.seek(target), target);
        const PcmArray got = dec.read(2000);
        ASSERT_EQ(got.size(), size_t(2000) * f.channels);
        EXPECT_LT(maxDiff(got, 0, whole, size_t(target) * f.channels, got.size()), 1e-4f);
    }
    EXPECT_EQ(dec.seek(total + 100000), dec.length()) << "a seek past the end stops at the end";
    EXPECT_TRUE(dec.read(10).empty());
}

// Parts of a split are read by readers of their own, each starting with a
// seek, where the decoder promises the samples of a reading through.
TEST_P(ReadFormat, ExactSeekGivesTheSamplesOfAReadingThrough)
{
    const auto &f = fx();
    Decoder dec(f.path);
    if (!dec.seeksExactly())
        GTEST_SKIP() << "reading through only";
    std::vector<float> whole;
    {
        Decoder through(f.path);
        whole = readAll(through, 22050);
    }
    const int64_t total = int64_t(whole.size()) / f.channels;
    for (int64_t target : {total / 2 + 7, total / 5 + 3, int64_t(22050), total / 3}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(dec.seek(target), target);
        const PcmArray got = dec.read(22050);
        ASSERT_FALSE(got.empty());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin() + target * f.channels));
    }
}

TEST_P(ReadFormat, InformationMatchesTheDecoder)
{
    const auto &f = fx();
    Decoder dec(f.path);
    const int64_t frames = int64_t(readAll(dec, 1 << 16).size()) / f.channels;

    TAudioInformation2 info;
    info.LoadFile(f.path);
    EXPECT_NEAR(double(info.TotalSamples()), double(frames), double(f.tolerance));
    EXPECT_EQ(info.Duration(), info.TotalSamples() * 1000 / f.rate);
    EXPECT_EQ(info.SampleRate(), f.rate);
    EXPECT_EQ(info.Channels(), f.channels);
    EXPECT_EQ(info.FileSize(), QFileInfo(f.path).size());
    EXPECT_TRUE(info.FormatText().startsWith(f.formatPrefix)) << info.FormatText().toStdString();
    // The tag its own encoder wrote.
    if (!f.title.isEmpty()) {
        EXPECT_EQ(info.infoTitle(), f.title);
        EXPECT_EQ(info.infoArtist(), f.artist);
    }
}

TEST_P(ReadFormat, TagRoundTripKeepsTheAudio)
{
    const auto &f = fx();
    const QString copy = readfix::CopyOf(f, "tagged");
    const std::vector<float> before = fixtures::DecodedSamples(copy);

    TAudioInformation2 info;
    info.LoadFile(copy);
    info.setInfoTitle(QStringLiteral("Über Title"));
    info.setInfoArtist("An Artist");
    info.setInfoAlbum("An Album");
    info.setInfoYear(1999);
    info.setInfoComments("A comment");
    info.setInfoGenre(17);
    if (!f.takesTags) {
        // Refused in words naming the file, and the file left as it was.
        try {
            info.SaveTag(copy);
            ADD_FAILURE() << "a tag was written where the format has no place for one";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(QFileInfo(copy).fileName())) << e.what();
        }
        EXPECT_EQ(fixtures::DecodedSamples(copy), before);
        return;
    }
    info.SaveTag(copy);

    const fixtures::Probe p = fixtures::ProbeFile(copy);
    EXPECT_EQ(p.tags.value("title").toString(), QStringLiteral("Über Title"));
    EXPECT_EQ(p.tags.value("artist").toString(), "An Artist");
    EXPECT_EQ(p.tags.value("album").toString(), "An Album");
    EXPECT_EQ(fixtures::DecodedSamples(copy), before) << "the audio is untouched";
    EXPECT_TRUE(QFileInfo(copy).dir().entryList({"*.tag*"}, QDir::Hidden | QDir::Files).isEmpty()) << "no work file left behind";

    TAudioInformation2 again;
    again.LoadFile(copy);
    EXPECT_EQ(again.infoTitle(), QStringLiteral("Über Title"));
    EXPECT_EQ(again.infoArtist(), "An Artist");
    EXPECT_EQ(again.infoAlbum(), "An Album");
    EXPECT_EQ(again.infoYear(), 1999);
    EXPECT_EQ(again.infoComments(), "A comment");
    EXPECT_EQ(again.infoGenre(), 17);
    EXPECT_EQ(again.GenreName(again.infoGenre()), "Rock");
    EXPECT_EQ(again.TotalSamples(), info.TotalSamples());
}

// Damaged copies must fail with a message or read to a shorter end, never crash or hang.
TEST_P(ReadFormat, DamagedFilesFailCleanly)
{
    const auto &f = fx();
    for (const readfix::Damage damage : {readfix::Damage::TruncatedHalf, readfix::Damage::HeaderOnly,
                                         readfix::Damage::GarbageInside, readfix::Damage::Empty}) {
        const QString bad = readfix::Damaged(f, damage);
        SCOPED_TRACE(bad.toStdString());
        int64_t decoded = -1;
        try {
            Decoder dec(bad);
            decoded = int64_t(readAll(dec, 4096).size()) / f.channels;
            EXPECT_LE(decoded, f.trueLength + 4 * f.tolerance + 100000);
            if (damage == readfix::Damage::Empty)
                ADD_FAILURE() << "an empty file opened";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(QFileInfo(bad).fileName())) << e.what();
        }
        try {
            TAudioInformation2 info;
            info.LoadFile(bad);
            // Where the length comes from the data itself, a cut-off file
            // reports what is really there.
            const QString ext = QFileInfo(bad).suffix();
            if (damage == readfix::Damage::TruncatedHalf && decoded >= 0 && (ext == "wav" || ext == "mp3" || ext == "mp2")) {
                EXPECT_NEAR(double(info.TotalSamples()), double(decoded), double(f.tolerance + 1152));
            }
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(QFileInfo(bad).fileName())) << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadFormat, ::testing::ValuesIn(readfix::AllCases()),
                         [](const auto &p) { return std::string(readfix::Name(p.param)); });

} // namespace
