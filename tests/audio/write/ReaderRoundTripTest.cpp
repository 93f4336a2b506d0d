// What we write, our own reader gets back: same length, no lag.
#include "WriteTestUtil.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace writetest;

namespace {

struct ReadBackCase {
    const char *name;
    const char *extension;
    std::function<void(TAudioFile2 &)> configure;
    int64_t tolerance; // frames the length may be off (padding the format cannot record)
};

const ReadBackCase kReadBack[] = {
    {"Mp3Cbr", "mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 3); }, 0},
    {"Mp3Vbr",
     "mp3",
     [](TAudioFile2 &f) {
         TAudioFile2LameEnc e;
         e.SampleRate = 44100;
         e.Mode = 1;
         f.SetMp3Encoder(e);
     },
     0},
    {"Ogg", "ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 160, 0, 0, -1); }, 0},
    {"Wma", "wma", [](TAudioFile2 &f) { f.SetWmaProfile(38); }, 2048},
    {"Wav", "wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 16); }, 0},
};

class ReaderRoundTrip : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(ReaderRoundTrip, ReadsBackTheSameFramesWithoutLag)
{
    const ReadBackCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rt.") + c.extension);
    const int64_t frames = 88200;
    TAudioFile2 writer;
    c.configure(writer);
    ASSERT_TRUE(WriteAll(writer, path, Sine(44100, 2, frames, 220.0, 0.5), 44100, 2)) << writer.LastErrorText().toStdString();

    TAudioFile2 reader;
    reader.OpenFile(path, 0, 1);
    ASSERT_EQ(reader.LastError(), 0) << reader.LastErrorText().toStdString();
    ASSERT_EQ(reader.SampleRate(), 44100);
    ASSERT_EQ(reader.Channels(), 2);
    PcmArray all;
    for (;;) {
        const PcmArray block = reader.ReadArray(44100);
        if (block.empty())
            break;
        all.insert(all.end(), block.begin(), block.end());
    }
    reader.CloseFile();
    const int64_t got = int64_t(all.size()) / 2;
    EXPECT_LE(std::llabs(got - frames), c.tolerance) << "read " << got << " of " << frames;
    // Lossy, but in time: the written sine fits best at lag 0.
    int bestLag = 99;
    double bestError = 1e300;
    for (int lag = -8; lag <= 8; ++lag) {
        double error = 0;
        for (int64_t i = 4096; i < std::min(got, frames) - 4096; ++i) {
            const double d = all[size_t(2 * i)] - 0.5 * std::sin(2.0 * M_PI * 220.0 * double(i + lag) / 44100.0);
            error += d * d;
        }
        if (error < bestError) {
            bestError = error;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ReaderRoundTrip, ::testing::ValuesIn(kReadBack),
                         [](const auto &tpi) { return std::string(tpi.param.name); });

} // namespace
