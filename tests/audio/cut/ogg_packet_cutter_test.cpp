#include "audio/AudioError.h"
#include "audio/OggPacketCutter.h"
#include "audio/TAudioFile2.h"
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct OggSource {
    const char *name;
    bool opus;
    QStringList encode; // a program and its arguments; %1 = the WAV input, %2 = the output
};

void PrintTo(const OggSource &s, std::ostream *os) { *os << s.name; }

// Pink noise through a slow sweep, so that packets and blocks vary as they do with music.
void MakeOgg(const QString &dir, const OggSource &s, const QString &out)
{
    const QString wav = QDir(dir).filePath("in.wav");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       "anoisesrc=d=7:a=0.3:c=pink:seed=3,volume='0.5+0.4*sin(t)':eval=frame",
                                       "-ar", "44100", "-ac", "2", "-c:a", "pcm_s16le", wav}),
              0);
    if (s.encode.front() == "ours") {
        // Our own writers, fed the same noise as the other encoders.
        TAudioFile2 in;
        in.OpenFile(wav);
        ASSERT_EQ(in.LastError(), 0);
        PcmArray pcm;
        for (PcmArray block; !(block = in.ReadArray(44100)).empty();)
            pcm.insert(pcm.end(), block.begin(), block.end());
        in.CloseFile();
        TAudioFile2 file;
        if (s.opus)
            file.SetOpusFormat(96, 0, 10);
        else
            file.SetOggFormat(44100, 2, 128, 0, 0, -1);
        file.SetInputFormat(44100, 2);
        file.CreateFile(out, 0);
        ASSERT_EQ(file.LastError(), 0) << file.LastErrorText().toStdString();
        file.WriteArray(pcm);
        file.CloseFile();
        return;
    }
    QStringList args = s.encode.mid(1);
    for (QString &a : args)
        a = a == "%1" ? wav : a == "%2" ? out : a;
    ASSERT_EQ(fixtures::Run(s.encode.front(), args), 0) << s.name;
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

class OggPacketCutterTest : public ::testing::TestWithParam<OggSource> {
protected:
    QTemporaryDir dir;
};

// Cuts in the middle of a packet, on a packet edge, in the first and in the
// last packet: each part ffmpeg decodes to exactly its range's length, so the
// parts together are the source's length; Vorbis parts are the source's
// samples bit for bit, Opus parts close to them (Opus converges after a cut
// but promises no identity). A part inside one packet is refused.
TEST_P(OggPacketCutterTest, EveryPartDecodesToExactlyItsStretchOfTheSource)
{
    const OggSource &s = GetParam();
    const QString source = dir.filePath(s.opus ? "source.opus" : "source.ogg");
    MakeOgg(dir.path(), s, source);
    const fixtures::Probe probe = fixtures::ProbeFile(source);
    const std::vector<float> whole = fixtures::DecodedSamples(source);
    const int ch = probe.channels;

    OggPacketCutter cutter(source);
    EXPECT_EQ(cutter.format(), s.opus ? "opus" : "ogg");
    EXPECT_EQ(cutter.sampleRate(), probe.sampleRate);
    const int64_t length = cutter.length();
    ASSERT_EQ(length * ch, int64_t(whole.size())) << "the cutter must count what ffmpeg decodes";

    const int64_t edge = PacketEdge(source);
    ASSERT_GT(edge, 0);
    std::vector<int64_t> points{0, 30, edge, edge + 4000, length / 2 + 7, length - 50, length};
    std::sort(points.begin(), points.end());
    for (size_t k = 1; k < points.size(); ++k) {
        const int64_t a = points[k - 1], b = points[k];
        const QString part = dir.filePath(QStringLiteral("part%1.%2").arg(k).arg(cutter.format()));
        if (!cutter.tooShort(a, b).isEmpty()) {
            EXPECT_TRUE(a < 1000 || b == length) << "only the parts inside the first or last packet: " << a;
            EXPECT_THROW(cutter.writePart(part, a, b, {}), AudioError);
            EXPECT_FALSE(QFile::exists(part));
            continue;
        }
        cutter.writePart(part, a, b, {});
        // A Vorbis part begins at most one packet early, where that packet's output begins.
        const int64_t from = cutter.partStart(a);
        EXPECT_TRUE(s.opus ? from == a : (from <= a && a - from < 2048 && (a != edge || from == a))) << a;
        const std::vector<float> got = fixtures::DecodedSamples(part);
        ASSERT_EQ(int64_t(got.size()), (b - from) * ch) << "part " << k << " from " << a << " to " << b;
        double signal = 0, noise = 0, largest = 0;
        int64_t differing = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            const double want = whole[size_t(from * ch) + i], diff = got[i] - want;
            signal += want * want;
            noise += diff * diff;
            largest = std::max(largest, std::abs(diff));
            differing += diff != 0;
        }
        const double snr = 10 * std::log10(signal / std::max(noise, 1e-30));
        std::cout << s.name << " part " << a << ".." << b << ": max difference " << largest << ", SNR " << snr
                  << " dB\n";
        if (s.opus)
            EXPECT_GT(snr, 30.0) << "part " << k << " from " << a;
        else
            EXPECT_EQ(differing, 0) << "part " << k << " from " << a;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, OggPacketCutterTest,
    ::testing::Values(OggSource{"opusenc", true, {"opusenc", "--quiet", "--bitrate", "96", "%1", "%2"}},
                      OggSource{"ffmpegLibopus", true,
                                {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "%1", "-c:a", "libopus", "-b:a",
                                 "64k", "-frame_duration", "40", "%2"}},
                      OggSource{"ourOpusEncoder", true, {"ours"}}, OggSource{"ourVorbisEncoder", false, {"ours"}},
                      OggSource{"ffmpegLibvorbis", false,
                                {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "%1", "-c:a", "libvorbis", "-q:a",
                                 "4", "%2"}}),
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

TEST(OggPacketCutter, DamagedIncompleteChainedOrForeignSourcesAreRefusedNamingTheFile)
{
    QTemporaryDir dir;
    const QString opus = dir.filePath("good.opus"), vorbis = dir.filePath("good.ogg");
    MakeOgg(dir.path(), OggSource{"opusenc", true, {"opusenc", "--quiet", "%1", "%2"}}, opus);
    MakeOgg(dir.path(), OggSource{"vorbis", false, {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "%1", "-c:a",
                                                    "libvorbis", "%2"}},
            vorbis);
    const QByteArray o = ReadAll(opus), v = ReadAll(vorbis);
    QByteArray flipped = v;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
    const QString damaged = dir.filePath("damaged.ogg"), truncated = dir.filePath("truncated.opus"),
                  chained = dir.filePath("chained.ogg"), wav = dir.filePath("tone.wav"),
                  flac = dir.filePath("flac.oga"), twoStreams = dir.filePath("two.ogg");
    WriteAll(damaged, flipped);
    WriteAll(truncated, o.left(o.size() - 700));
    WriteAll(chained, v + v);
    fixtures::MakeTone(wav, 1.0, 44100, 2, {"-c:a", "pcm_s16le"});
    fixtures::MakeTone(flac, 1.0, 44100, 2, {"-c:a", "flac"});
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-i", vorbis, "-i", vorbis, "-map", "0:a",
                                       "-map", "1:a", "-c", "copy", twoStreams}),
              0);

    for (const QString &path : {damaged, truncated, chained, wav, flac, twoStreams}) {
        try {
            OggPacketCutter cutter(path);
            ADD_FAILURE() << path.toStdString() << " was accepted";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(path)) << e.what();
            EXPECT_TRUE(e.text().contains("cannot be cut without re-encoding")) << e.what();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 9);
}

TEST(OggPacketCutter, AStoppedCopyLeavesTheFileItWouldReplaceAsItWas)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("source.opus");
    MakeOgg(dir.path(), OggSource{"opusenc", true, {"opusenc", "--quiet", "%1", "%2"}}, source);
    const OggPacketCutter cutter(source);
    const QString part = dir.filePath("part.opus");
    WriteAll(part, "older");
    EXPECT_THROW(cutter.writePart(part, 1000, cutter.length(), {},
                                  [](int64_t done, int64_t total) { return done < total; }),
                 OggPacketCutter::Cancelled);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"in.wav", "part.opus", "source.opus"}));
    EXPECT_EQ(ReadAll(part), "older");
}

} // namespace
