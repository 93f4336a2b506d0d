// Files that are not one clean stream: several joined end to end (as download
// and recording tools write them) and files with a damaged stretch inside.
// Audio is never cut short and keeps its place in time; ffmpeg is the judge.
#include "tests/audio/read/ReadFixtures.h"

#include "audio/Decoder.h"
#include "audio/TAudioInformation2.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/InChild.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sys/resource.h>

using audio_detail::Decoder;

namespace {

std::vector<float> readAll(Decoder &dec)
{
    std::vector<float> all;
    for (PcmArray a; !(a = dec.read(7777)).empty();)
        all.insert(all.end(), a.begin(), a.end());
    return all;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QString writeBytes(const QString &name, const QByteArray &data)
{
    const QString p = readfix::TempPath(name);
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    return p;
}

// Largest difference between a[aFrom..] and b[bFrom..] over `samples` samples.
float maxDiff(const std::vector<float> &a, size_t aFrom, const std::vector<float> &b, size_t bFrom, size_t samples)
{
    EXPECT_LE(aFrom + samples, a.size());
    EXPECT_LE(bFrom + samples, b.size());
    float worst = 0;
    for (size_t i = 0; i < samples && aFrom + i < a.size() && bFrom + i < b.size(); ++i)
        worst = std::max(worst, std::fabs(a[aFrom + i] - b[bFrom + i]));
    return worst;
}

struct Join {
    const char *name;
    const char *ext;
    QStringList codec;
    int64_t tolerance; // frames per join
};

class JoinedFiles : public ::testing::TestWithParam<Join> {};

// `cat a b`: each part decodes as it does alone, so the whole is the sum of the
// parts, the second with its own delay and padding (and no silence for its
// info frame); the information component says the same length.
TEST_P(JoinedFiles, YieldTheSumOfTheirParts)
{
    const Join &j = GetParam();
    const QString a = readfix::TempPath(QStringLiteral("%1_a.%2").arg(j.name, j.ext));
    const QString b = readfix::TempPath(QStringLiteral("%1_b.%2").arg(j.name, j.ext));
    fixtures::MakeTone(a, 3.1, 44100, 2, j.codec + QStringList{"-metadata", "title=First"}, 440);
    fixtures::MakeTone(b, 1.7, 44100, 2, j.codec + QStringList{"-metadata", "title=Second"}, 660);
    const QString joined = writeBytes(QStringLiteral("%1_joined.%2").arg(j.name, j.ext), bytesOf(a) + bytesOf(b));
    const std::vector<float> refA = fixtures::DecodedSamples(a), refB = fixtures::DecodedSamples(b);
    const int64_t lenA = int64_t(refA.size()) / 2, lenB = int64_t(refB.size()) / 2;

    TAudioInformation2 info;
    info.LoadFile(joined);
    EXPECT_NEAR(double(info.TotalSamples()), double(lenA + lenB), double(j.tolerance));

    Decoder dec(joined);
    EXPECT_NEAR(double(dec.length()), double(lenA + lenB), double(j.tolerance)) << "length before reading";
    const std::vector<float> ours = readAll(dec);
    const int64_t frames = int64_t(ours.size()) / 2;
    EXPECT_NEAR(double(frames), double(lenA + lenB), double(j.tolerance));
    EXPECT_EQ(dec.length(), frames);
    EXPECT_TRUE(dec.damage().isEmpty()) << dec.damage().toStdString();
    // Each part's audio, at the start and at the end of the whole.
    ASSERT_GE(frames, lenB);
    EXPECT_LT(maxDiff(ours, 0, refA, 0, size_t(std::min(lenA, frames)) * 2), 1e-4f) << "first part";
    EXPECT_LT(maxDiff(ours, size_t(frames - lenB) * 2, refB, 0, size_t(lenB) * 2), 1e-4f) << "second part";

    // A seek into the second part lands where reading through it does.
    const int64_t target = frames - lenB / 2;
    ASSERT_EQ(dec.seek(target), target);
    const PcmArray got = dec.read(3000);
    ASSERT_EQ(got.size(), size_t(3000 * 2));
    EXPECT_LT(maxDiff(got, 0, ours, size_t(target) * 2, got.size()), 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JoinedFiles,
    ::testing::Values(Join{"Mp3Lame", "mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 1152},
                      // ID3v1 of the first and ID3v2 of the second between the streams.
                      Join{"Mp3Tags", "mp3", {"-c:a", "libmp3lame", "-q:a", "3", "-write_id3v1", "1"}, 1152},
                      // Chained Ogg Vorbis, as stream recorders write it.
                      Join{"OggChain", "ogg", {"-c:a", "libvorbis", "-q:a", "4"}, 2048},
                      // Each Opus chain with its own pre-skip and end trim.
                      Join{"OpusChain", "opus", {"-c:a", "libopus", "-b:a", "96k"}, 0}),
    [](const auto &p) { return std::string(p.param.name); });

struct Damaged {
    const char *name;
    const char *ext;
    QStringList codec;
};

class DamagedStretch : public ::testing::TestWithParam<Damaged> {};

// Where the lost time is known, silence of its length stands in for it: what
// follows plays at its own time, and the reader says what was lost and where.
TEST_P(DamagedStretch, IsSilenceOfItsLengthAndReported)
{
    const Damaged &c = GetParam();
    const QString clean = readfix::TempPath(QStringLiteral("%1_clean.%2").arg(c.name, c.ext));
    fixtures::MakeTone(clean, 10.0, 44100, 2, c.codec);
    QByteArray data = bytesOf(clean);
    std::mt19937 rng(99);
    const qsizetype from = data.size() * 2 / 5;
    for (qsizetype i = from; i < from + 4000; ++i)
        data[i] = char(rng());
    const QString bad = writeBytes(QStringLiteral("%1_damaged.%2").arg(c.name, c.ext), data);

    const std::vector<float> ref = fixtures::DecodedSamples(clean);
    const int64_t length = int64_t(ref.size()) / 2;
    Decoder dec(bad);
    const std::vector<float> ours = readAll(dec);
    EXPECT_EQ(int64_t(ours.size()) / 2, length);
    TAudioInformation2 info;
    info.LoadFile(bad);
    EXPECT_EQ(info.TotalSamples(), length);
    // The last two seconds, well after the damage, as in the clean file.
    const size_t tail = size_t(2 * 44100) * 2;
    ASSERT_GE(ours.size(), tail);
    EXPECT_LT(maxDiff(ours, ours.size() - tail, ref, ref.size() - tail, tail), 1e-4f);
    // The stretch begins about 4 s in; a container loses the whole page or
    // packet it starts in.
    const QString damage = dec.damage();
    EXPECT_TRUE(damage.contains(QRegularExpression("could not be decoded \\(at 0:0[234]\\)$"))) << damage.toStdString();

    // A seek past the damage lands where reading through it does; reading it
    // again tells of it once.
    const int64_t target = length - 44100;
    ASSERT_EQ(dec.seek(target), target);
    const PcmArray got = dec.read(2000);
    ASSERT_EQ(got.size(), size_t(2000 * 2));
    EXPECT_LT(maxDiff(got, 0, ours, size_t(target) * 2, got.size()), 1e-4f);
    dec.seek(0);
    readAll(dec);
    EXPECT_EQ(dec.damage(), damage);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedStretch,
                         ::testing::Values(Damaged{"Mp3Cbr", "mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
                                           // Damaged bytes of float samples are absurd values, not audio.
                                           Damaged{"WavFloat", "wav", {"-c:a", "pcm_f32le"}},
                                           // The container's timestamps tell what its demuxer skipped.
                                           Damaged{"Ogg", "ogg", {"-c:a", "libvorbis", "-q:a", "4"}},
                                           Damaged{"Wma", "wma", {"-c:a", "wmav2", "-b:a", "128k"}},
                                           Damaged{"Opus", "opus", {"-c:a", "libopus", "-b:a", "128k"}}),
                         [](const auto &p) { return std::string(p.param.name); });

class TimestampJump : public ::testing::TestWithParam<Damaged> {};

// One absurd timestamp, an hour ahead, in the middle of a file: at most ten
// seconds of silence stand in for it, handed out as the reader asks (not an
// hour built in memory), and the reader says how much it left out.
TEST_P(TimestampJump, FillsAtMostTenSecondsAndReportsTheRest)
{
    const Damaged &c = GetParam();
    const QString path = readfix::TempPath(QStringLiteral("%1_jump.%2").arg(c.name, c.ext));
    ASSERT_EQ(fixtures::Run("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                                  "sine=f=440:sample_rate=8000:d=4", "-af",
                                                  "asetpts=PTS+gte(PTS\\,2*SR)*3600*SR"}
                                          + c.codec + QStringList{path}),
              0);
    // Read in a child, whose peak memory is its own.
    const QByteArray got = InChild([&] {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        Decoder dec(path);
        int64_t frames = 0;
        for (PcmArray a; !(a = dec.read(4096)).empty();)
            frames += int64_t(a.size()) / dec.channels();
        getrusage(RUSAGE_SELF, &after);
        return QByteArray::number(frames) + '\n' + QByteArray::number(after.ru_maxrss - before.ru_maxrss) + '\n' +
               dec.damage().toUtf8();
    });
    const QList<QByteArray> lines = got.split('\n');
    ASSERT_EQ(lines.size(), 3) << got.toStdString();
    const QString damage = QString::fromUtf8(lines[2]);
    // The audio ffmpeg decodes (it skips the jump) and ten seconds of silence,
    // to a WMA frame.
    EXPECT_NEAR(double(lines[0].toLongLong()), double(fixtures::DecodedFrames(path) + 10 * 8000), 512.0) << damage.toStdString();
    // An hour of 8 kHz float is 115 MB.
    EXPECT_LT(lines[1].toLongLong(), 48 * 1024) << "KiB more at the peak";
    EXPECT_TRUE(damage.contains(QRegularExpression("^360\\d s could not be decoded \\(at 0:0[12]\\); 359\\d s of it left out")))
        << damage.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, TimestampJump,
                         ::testing::Values(Damaged{"Wma", "wma", {"-c:a", "wmav2", "-b:a", "24k"}},
                                           Damaged{"Ogg", "ogg", {"-c:a", "libvorbis"}}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(CleanFiles, ReportNoDamage)
{
    for (const readfix::Case c : readfix::AllCases()) {
        if (!readfix::Get(c).unavailable.isEmpty())
            continue;
        Decoder dec(readfix::Get(c).path);
        readAll(dec);
        EXPECT_TRUE(dec.damage().isEmpty()) << readfix::Name(c) << ": " << dec.damage().toStdString();
    }
}

} // namespace
