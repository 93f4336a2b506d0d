// The encoder thread must hand every block over in order, surface the inner
// encoder's failure to the caller, and never lose or reorder audio.
#include "audio/AudioError.h"
#include "audio/PipelinedEncoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace audio_detail;

namespace {

// Records what reaches it; fails on the block numbered failAt.
struct Recorder final : Encoder {
    std::vector<float> *seen;
    bool *finished;
    int failAt;
    int blocks = 0;
    Recorder(std::vector<float> *s, bool *f, int fail) : seen(s), finished(f), failAt(fail) {}
    int sampleRate() const override { return 48000; }
    int channels() const override { return 2; }
    void write(const float *pcm, int64_t frames) override
    {
        if (blocks++ == failAt)
            throw AudioError(QStringLiteral("Cannot write \"x.flac\": disk full"));
        seen->insert(seen->end(), pcm, pcm + frames * 2);
    }
    void finish() override { *finished = true; }
};

std::vector<float> Block(int n, float first)
{
    std::vector<float> b(size_t(n) * 2);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = first + float(i);
    return b;
}

} // namespace

TEST(PipelinedEncoder, PassesEveryBlockInOrderAndFinishes)
{
    std::vector<float> seen, sent;
    bool finished = false;
    PipelinedEncoder e(std::make_unique<Recorder>(&seen, &finished, -1));
    for (int k = 0; k < 50; ++k) {
        const std::vector<float> b = Block(100 + k, float(k * 1000));
        sent.insert(sent.end(), b.begin(), b.end());
        e.write(b.data(), int64_t(b.size() / 2)); // the caller may reuse its buffer at once
    }
    e.finish();
    EXPECT_TRUE(finished);
    EXPECT_EQ(seen, sent);
}

TEST(PipelinedEncoder, InnerFailureReachesTheCallerAndTheFileIsNotFinished)
{
    std::vector<float> seen;
    bool finished = false;
    PipelinedEncoder e(std::make_unique<Recorder>(&seen, &finished, 3));
    const std::vector<float> b = Block(64, 0);
    QString message;
    try {
        for (int k = 0; k < 100; ++k)
            e.write(b.data(), 64);
        e.finish();
    } catch (const AudioError &error) {
        message = error.text();
    }
    EXPECT_EQ(message, "Cannot write \"x.flac\": disk full");
    EXPECT_FALSE(finished);
    EXPECT_EQ(seen.size(), 3u * b.size());
}

TEST(PipelinedEncoder, DestroyedUnfinishedStopsWithoutFinishing)
{
    std::vector<float> seen;
    bool finished = false;
    {
        PipelinedEncoder e(std::make_unique<Recorder>(&seen, &finished, -1));
        const std::vector<float> b = Block(64, 0);
        for (int k = 0; k < 20; ++k)
            e.write(b.data(), 64);
    }
    EXPECT_FALSE(finished);
}
