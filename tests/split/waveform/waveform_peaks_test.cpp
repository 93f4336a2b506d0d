#include "split/WaveformPeaks.h"
#include "split/WaveformPeaksWorker.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int Rate = 8000;

// Stereo silence of `seconds` with a 0.5 sine in the right channel only
// from burstFrom to burstTo seconds.
std::vector<float> Burst(double seconds, double burstFrom, double burstTo)
{
    const int frames = int(seconds * Rate);
    std::vector<float> pcm(size_t(frames) * 2, 0.0f);
    for (int i = int(burstFrom * Rate); i < int(burstTo * Rate); ++i)
        pcm[size_t(i) * 2 + 1] = 0.5f * float(std::sin(2 * M_PI * 440.0 * i / Rate));
    return pcm;
}

std::vector<PeakRange> Build(const std::vector<float> &pcm, int64_t framesPerBucket, size_t arrayFrames)
{
    PeakBuilder builder(framesPerBucket, 2);
    for (size_t at = 0; at < pcm.size(); at += arrayFrames * 2)
        builder.Add(pcm.data() + at, std::min(arrayFrames * 2, pcm.size() - at));
    builder.Finish();
    return builder.Buckets();
}

} // namespace

TEST(WaveformPeaks, ToneBurstAppearsWhereItIs)
{
    const std::vector<float> pcm = Burst(5.0, 2.0, 2.5);
    // Arrays that end in the middle of buckets, as a decoder hands them out.
    const std::vector<PeakRange> buckets = Build(pcm, 40, 777);
    const std::vector<PeakRange> columns = PeakColumns(buckets, 40, 5 * Rate, 100);
    ASSERT_EQ(columns.size(), 100u);
    for (int c = 0; c < 100; ++c) {
        if (c >= 40 && c < 50) {
            EXPECT_GT(columns[c].hi, 0.45f) << c;
            EXPECT_LT(columns[c].lo, -0.45f) << c;
        } else {
            EXPECT_EQ(columns[c].hi, 0.0f) << c;
            EXPECT_EQ(columns[c].lo, 0.0f) << c;
        }
    }
}

TEST(WaveformPeaks, NeverAveragesAwayExtremes)
{
    std::vector<float> pcm(size_t(Rate) * 2 * 10, 0.01f);
    pcm[size_t(12345) * 2 + 1] = 0.9f;   // one sample, right channel
    pcm[size_t(54321) * 2] = -0.8f;      // one sample, left channel
    const std::vector<PeakRange> buckets = Build(pcm, PeakFramesPerBucket(10 * Rate), 4096);
    // However few columns show the file, the single samples stay visible.
    for (int columns : {1, 7, 480}) {
        PeakRange all;
        for (const PeakRange &c : PeakColumns(buckets, PeakFramesPerBucket(10 * Rate), 10 * Rate, columns))
            all.fold(c);
        EXPECT_EQ(all.hi, 0.9f) << columns;
        EXPECT_EQ(all.lo, -0.8f) << columns;
    }
}

TEST(WaveformPeaks, SparseInputDoesNotReadOutOfBounds)
{
    // Ten buckets of a long source (a run still in progress), and more
    // columns than frames: columns past the buckets stay empty.
    const std::vector<PeakRange> ten(10, PeakRange{-0.5f, 0.5f});
    const std::vector<PeakRange> wide = PeakColumns(ten, 1000, 1000000, 5000);
    EXPECT_FALSE(wide[0].empty());
    EXPECT_FALSE(wide[49].empty());
    EXPECT_TRUE(wide[50].empty());
    EXPECT_TRUE(wide[4999].empty());
    const std::vector<PeakRange> narrow =
        PeakColumns({PeakRange{-0.1f, 0.1f}, PeakRange{0, 0}, PeakRange{-0.2f, 0.2f}}, 1, 3, 100);
    EXPECT_EQ(narrow.size(), 100u);
    EXPECT_EQ(narrow[0].lo, -0.1f);
    EXPECT_EQ(narrow[99].hi, 0.2f);
    EXPECT_TRUE(PeakColumns({}, 1, 0, 10)[0].empty());
}

TEST(WaveformPeaks, AnHourKeepsTheFixedResolution)
{
    const int64_t hour = int64_t(3600) * 44100;
    EXPECT_LE((hour + PeakFramesPerBucket(hour) - 1) / PeakFramesPerBucket(hour), MaxPeakBuckets);
    EXPECT_EQ(PeakFramesPerBucket(1000), 1);
}

TEST(WaveformPeaks, UnknownLengthStaysWithinTheCapAndKeepsExtremes)
{
    // Ten million frames of a source whose length was not known: one frame
    // a bucket at first, as for a short file.
    const int64_t total = 10000000, high = 1234567, low = 9876543;
    PeakBuilder builder(PeakFramesPerBucket(0), 2);
    std::vector<float> block;
    size_t most = 0;
    for (int64_t at = 0; at < total; at += 4096) {
        const int64_t n = std::min<int64_t>(4096, total - at);
        block.assign(size_t(n) * 2, 0.01f);
        if (high >= at && high < at + n)
            block[size_t(high - at) * 2 + 1] = 0.9f;
        if (low >= at && low < at + n)
            block[size_t(low - at) * 2] = -0.8f;
        builder.Add(block.data(), block.size());
        most = std::max(most, builder.Buckets().size());
    }
    builder.Finish();
    const std::vector<PeakRange> &buckets = builder.Buckets();
    const int64_t width = builder.FramesPerBucket();
    EXPECT_LE(int64_t(most), MaxPeakBuckets);
    EXPECT_GT(int64_t(buckets.size()), MaxPeakBuckets / 2);
    EXPECT_EQ(builder.FramesAdded(), total);
    EXPECT_EQ(int64_t(buckets.size()), (total + width - 1) / width);
    // Each extreme is in the bucket that holds its frame, and only there.
    EXPECT_EQ(buckets[size_t(high / width)].hi, 0.9f);
    EXPECT_EQ(buckets[size_t(low / width)].lo, -0.8f);
    EXPECT_EQ(buckets[size_t(high / width) + 1].hi, 0.01f);
    EXPECT_EQ(buckets[size_t(low / width) - 1].lo, 0.01f);
}

namespace {

class PeaksWorkerTest : public ::testing::TestWithParam<const char *> {
protected:
    // 6 s of 44.1 kHz stereo: silence with a 0.5 tone from 3 s to 4 s.
    QString MakeBurst(const QString &extension, double seconds = 6.0)
    {
        const QString path = dir.path() + "/burst." + extension;
        fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                 QString("aevalsrc=if(between(t\\,3\\,4)\\,0.5*sin(2*PI*440*t)\\,0)|0:s=44100:d=%1")
                                     .arg(seconds),
                                 path});
        return path;
    }

    static WaveformPeaksWorker::Status WaitUntilFinished(WaveformPeaksWorker &worker, std::vector<PeakRange> &peaks)
    {
        WaveformPeaksWorker::Status status;
        while (!(status = worker.Poll(peaks)).finished)
            QTest::qWait(20);
        return status;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_P(PeaksWorkerTest, DeliversCompletePeaksOfAFileWithABurst)
{
    const QString path = MakeBurst(GetParam());
    WaveformPeaksWorker worker;
    worker.Start(path);
    std::vector<PeakRange> peaks;
    const WaveformPeaksWorker::Status status = WaitUntilFinished(worker, peaks);
    ASSERT_TRUE(status.error.isEmpty()) << status.error.toStdString();
    EXPECT_EQ(status.framesRead, fixtures::DecodedFrames(path));
    EXPECT_EQ(status.Percent(), 100);
    ASSERT_EQ(int64_t(peaks.size()), (status.framesRead + status.framesPerBucket - 1) / status.framesPerBucket);
    // Twelve columns of half a second: the seventh and eighth hold the tone.
    const std::vector<PeakRange> columns = PeakColumns(peaks, status.framesPerBucket, status.totalFrames, 12);
    for (int c = 0; c < 12; ++c) {
        const float level = std::max(columns[c].hi, -columns[c].lo);
        if (c == 6 || c == 7) {
            EXPECT_GT(level, 0.4f) << c;
        } else if (c != 5 && c != 8) { // a lossy codec smears the edges a little
            EXPECT_LT(level, 0.02f) << c;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PeaksWorkerTest, ::testing::Values("wav", "mp3", "flac"));

// Opus in WebM written to a pipe records no duration: the reader reports a
// length of 0 and the peaks widen as the file turns out longer.
TEST(PeaksWorker, ASourceOfUnknownLengthStaysWithinTheCap)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/piped.webm";
    QByteArray webm;
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                       "aevalsrc=if(between(t\\,3\\,4)\\,0.5*sin(2*PI*440*t)\\,0):s=48000:d=6",
                                       "-c:a", "libopus", "-f", "webm", "pipe:1"},
                            &webm),
              0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(webm) == webm.size());
    file.close();

    WaveformPeaksWorker worker;
    worker.Start(path);
    std::vector<PeakRange> peaks;
    size_t most = 0;
    WaveformPeaksWorker::Status status;
    while (!(status = worker.Poll(peaks)).finished) {
        most = std::max(most, peaks.size());
        QTest::qWait(5);
    }
    ASSERT_TRUE(status.error.isEmpty()) << status.error.toStdString();
    EXPECT_EQ(status.totalFrames, 0);
    EXPECT_LE(int64_t(std::max(most, peaks.size())), MaxPeakBuckets);
    EXPECT_EQ(status.framesRead, fixtures::DecodedFrames(path));
    ASSERT_EQ(int64_t(peaks.size()), (status.framesRead + status.framesPerBucket - 1) / status.framesPerBucket);
    const std::vector<PeakRange> columns = PeakColumns(peaks, status.framesPerBucket, status.framesRead, 12);
    EXPECT_GT(columns[6].hi, 0.4f);
    EXPECT_LT(columns[2].hi, 0.02f);
    EXPECT_LT(columns[10].hi, 0.02f);
}
