#include "audio/AudioError.h"
#include "audio/LosslessCutter.h"
#include "audio/Mp4AacCutter.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

struct AacSource {
    const char *name;
    const char *file;
    QStringList args; // ffmpeg's output arguments
    // Without noise substitution a part is the source's samples bit for bit;
    // with it the bands coded as noise are drawn afresh from the decoder's
    // generator, which starts anew in a part: alike in power, not in samples.
    bool exact;
};

void PrintTo(const AacSource &s, std::ostream *os) { *os << s.name; }

// Pink noise through a slow sweep, as music varies, encoded by ffmpeg's AAC encoder.
void MakeAac(const QString &out, const QStringList &args, double seconds = 7)
{
    QStringList all{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                    QStringLiteral("anoisesrc=d=%1:a=0.3:c=pink:seed=3,volume='0.5+0.4*sin(t)':eval=frame").arg(seconds),
                    "-ar", "44100", "-ac", "2", "-c:a", "aac", "-b:a", "128k"};
    ASSERT_EQ(fixtures::Run("ffmpeg", all + args + QStringList{out}), 0);
}

// Where ffprobe puts the 60th packet: an edge between two packets, found by an independent demuxer.
int64_t PacketEdge(const QString &path)
{
    QByteArray out;
    fixtures::Run("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=pts", "-of", "csv=p=0",
                              path},
                  &out);
    const QList<QByteArray> lines = out.split('\n');
    return lines.size() > 60 ? lines[60].trimmed().toLongLong() : -1;
}

class Mp4AacCutterTest : public ::testing::TestWithParam<AacSource> {
protected:
    QTemporaryDir dir;
};

// Split points in the middle of a packet, on a packet edge, in the first and
// in the last packet move to where FFmpeg can end a part; each part then
// decodes in ffmpeg to exactly its range (the last with the source's own
// padding, as the whole file), so the parts join to the source's length. A
// start inside a packet is honoured exactly; a part inside one packet is refused.
TEST_P(Mp4AacCutterTest, EveryPartDecodesToExactlyItsStretchOfTheSource)
{
    const AacSource &s = GetParam();
    const QString source = dir.filePath(s.file);
    MakeAac(source, s.args);
    const std::vector<float> whole = fixtures::DecodedSamples(source);
    const int ch = 2;
    const int64_t decoded = int64_t(whole.size()) / ch;
    ASSERT_EQ(LosslessSaveFormat(source), "m4a");
    std::unique_ptr<LosslessCutter> cutter = OpenLosslessCutter(source);
    const int64_t length = cutter->length();
    EXPECT_EQ(length, 7 * 44100) << "the priming skipped, the padding cut off";
    EXPECT_EQ(cutter->sampleRate(), 44100);

    const int64_t edge = PacketEdge(source);
    ASSERT_GT(edge, 0);
    std::vector<int64_t> points{0, 30, edge, edge + 4000, length / 2 + 7, length - 50, length};
    for (int64_t &p : points) {
        const int64_t moved = cutter->partStart(p);
        EXPECT_TRUE(moved <= p && p - moved < 1024 && (p != edge || moved == p)) << p;
        p = moved;
    }
    // One part more, from inside a packet: its start is kept to the sample.
    std::vector<std::pair<int64_t, int64_t>> parts{{edge + 4000, points[4]}};
    for (size_t k = 1; k < points.size(); ++k)
        if (points[k] > points[k - 1])
            parts.emplace_back(points[k - 1], points[k]);
    int64_t joined = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        const int64_t a = parts[k].first, b = parts[k].second;
        const QString part = dir.filePath(QStringLiteral("part%1.m4a").arg(k));
        ASSERT_TRUE(cutter->tooShort(a, b).isEmpty());
        cutter->writePart(part, a, b, {});
        const std::vector<float> got = fixtures::DecodedSamples(part);
        const int64_t want = (b == length ? decoded : b) - a;
        ASSERT_EQ(int64_t(got.size()) / ch, want) << "part " << a << ".." << b;
        joined += k > 0 ? want : 0;
        // Players that read iTunes' comment instead of the edit list: priming (the
        // lead-in and the offset into the first packet) and the exact length.
        const QStringList gapless = fixtures::ProbeFile(part).tags.value("itunsmpb").toString().split(' ', Qt::SkipEmptyParts);
        ASSERT_GE(gapless.size(), 4);
        EXPECT_EQ(gapless[3].toLongLong(nullptr, 16), b - a);
        EXPECT_EQ(gapless[1].toLongLong(nullptr, 16) % 1024, a % 1024) << "priming " << gapless[1].toStdString();
        double signal = 0, power = 0, noise = 0, largest = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            const double w = whole[size_t(a * ch) + i], diff = got[i] - w;
            signal += w * w;
            power += double(got[i]) * got[i];
            noise += diff * diff;
            largest = std::max(largest, std::abs(diff));
        }
        const double snr = 10 * std::log10(signal / std::max(noise, 1e-30));
        std::cout << s.name << " part " << a << ".." << b << ": max difference " << largest << ", SNR " << snr << " dB\n";
        if (s.exact)
            EXPECT_EQ(largest, 0.0) << "part " << a << ".." << b;
        else
            EXPECT_NEAR(10 * std::log10(power / signal), 0.0, 0.5) << "part " << a << ".." << b;
    }
    EXPECT_EQ(joined, decoded);

    const QString inside = dir.filePath("inside.m4a");
    EXPECT_FALSE(cutter->tooShort(edge + 10, edge + 20).isEmpty());
    EXPECT_FALSE(cutter->tooShort(edge, edge).isEmpty()) << "two split points in one packet";
    EXPECT_THROW(cutter->writePart(inside, edge + 10, edge + 20, {}), AudioError);
    EXPECT_FALSE(QFile::exists(inside));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Mp4AacCutterTest,
    ::testing::Values(AacSource{"ffmpegAac", "source.m4a", {}, false},
                      AacSource{"ffmpegAacMoovFirst", "source.mp4", {"-movflags", "+faststart", "-aac_pns", "0"}, true}),
    [](const auto &p) { return std::string(p.param.name); });

} // namespace
namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The file with its track's sample description given twice: how an MP4
// says that the stream's format changes. Its movie box is last, so no
// offset into the audio moves.
QByteArray WithTwoDescriptions(QByteArray f)
{
    const auto be32 = [&](qsizetype at) { return qsizetype(qFromBigEndian<quint32>(f.constData() + at)); };
    std::vector<qsizetype> path;
    qsizetype from = 0, to = f.size();
    for (const char *name : {"moov", "trak", "mdia", "minf", "stbl", "stsd"}) {
        qsizetype at = from;
        while (at + 8 <= to && f.mid(at + 4, 4) != name)
            at += std::max<qsizetype>(8, be32(at));
        if (at + 8 > to)
            return {};
        path.push_back(at);
        from = at + 8;
        to = at + be32(at);
    }
    const qsizetype entry = path.back() + 16, bytes = be32(entry);
    f.insert(entry + bytes, f.mid(entry, bytes));
    qToBigEndian<quint32>(2, f.data() + path.back() + 12);
    for (const qsizetype box : path)
        qToBigEndian<quint32>(quint32(be32(box) + bytes), f.data() + box);
    return f;
}

TEST(Mp4AacCutter, DamagedIncompleteOrForeignSourcesAreRefusedNamingTheFile)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.m4a"), moovFirst = dir.filePath("first.m4a");
    MakeAac(good, {}, 3);
    MakeAac(moovFirst, {"-movflags", "+faststart"}, 3);
    const QByteArray g = ReadAll(good), f = ReadAll(moovFirst);
    const QString cutEnd = dir.filePath("cut-end.m4a"), cutAudio = dir.filePath("cut-audio.m4a"),
                  mp3 = dir.filePath("mp3.mp4"), alac = dir.filePath("alac.m4a"), two = dir.filePath("two.m4a"),
                  changing = dir.filePath("changing.m4a");
    const QByteArray twice = WithTwoDescriptions(g);
    ASSERT_FALSE(twice.isEmpty());
    WriteAll(changing, twice);
    ASSERT_EQ(fixtures::DecodedFrames(changing), fixtures::DecodedFrames(good)) << "still a good file";
    WriteAll(cutEnd, g.left(g.size() - 500));      // its movie box, at the end, is cut short
    WriteAll(cutAudio, f.left(f.size() - 20000));  // its audio is cut short
    fixtures::MakeTone(mp3, 1.0, 44100, 2, {"-c:a", "libmp3lame"});
    fixtures::MakeTone(alac, 1.0, 44100, 2, {"-c:a", "alac"});
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-i", good, "-i", good, "-map", "0:a", "-map",
                                       "1:a", "-c", "copy", two}),
              0);
    EXPECT_EQ(LosslessSaveFormat(alac), "");

    for (const QString &path : {cutEnd, cutAudio, mp3, alac, two, changing}) {
        try {
            Mp4AacCutter cutter(path);
            ADD_FAILURE() << path.toStdString() << " was accepted";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(path)) << e.what();
            EXPECT_TRUE(e.text().contains("cannot be cut without re-encoding")) << e.what();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 8);
}

TEST(Mp4AacCutter, AStoppedCopyLeavesTheFileItWouldReplaceAsItWas)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("source.m4a"), part = dir.filePath("part.m4a");
    MakeAac(source, {}, 60);
    const Mp4AacCutter cutter(source);
    WriteAll(part, "older");
    EXPECT_THROW(cutter.writePart(part, 1024, cutter.length(), {},
                                  [](int64_t done, int64_t total) { return done < total / 2; }),
                 Mp4AacCutter::Cancelled);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"part.m4a", "source.m4a"}));
    EXPECT_EQ(ReadAll(part), "older");
}

} // namespace
