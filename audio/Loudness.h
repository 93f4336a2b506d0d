#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// EBU R128 loudness of a stream of interleaved float samples (full scale
// +-1.0), fed block by block: what ReplayGain 2.0 and the merge's
// normalisation are computed from.
struct LoudnessResult {
    // LUFS; -HUGE_VAL when nothing reached the absolute gate (silence).
    double integrated = 0;
    double range = 0;      // LU; 0 unless the meter was made with range
    double truePeak = 0;   // linear, 1.0 = full scale; 4x oversampled
    double samplePeak = 0; // linear
};

class LoudnessMeter {
public:
    // Throws AudioError when the library refuses the format (0 channels or
    // rate, or more channels than it handles).
    LoudnessMeter(int sampleRate, int channels, bool withRange = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter &) = delete;
    LoudnessMeter &operator=(const LoudnessMeter &) = delete;

    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    // `frames` frames of Channels() floats each.
    void Add(const float *pcm, int64_t frames);
    LoudnessResult Result() const;

    // Several tracks as one programme (an album): integrated loudness over
    // all their gated blocks, the highest peaks. Empty input gives silence.
    static LoudnessResult Combined(const std::vector<const LoudnessMeter *> &meters);

private:
    struct State;
    std::unique_ptr<State> state_;
    int sampleRate_ = 0;
    int channels_ = 0;
};

// ReplayGain 2.0's reference level, LUFS.
constexpr double kReplayGainReference = -18.0;
// RFC 7845's reference for R128_*_GAIN in Opus, LUFS.
constexpr double kOpusGainReference = -23.0;

// dB to bring `integrated` to `target` LUFS; 0 for silence.
double GainToTarget(double integrated, double target);
// "-6.52 dB"
QString ReplayGainText(double gainDb);
// "0.988312"
QString ReplayGainPeakText(double peak);
// An R128_*_GAIN value: Q7.8 dB relative to -23 LUFS, clamped to 16 bits.
int OpusR128Gain(double integrated);
// dB of a linear level (dBTP for a true peak); -HUGE_VAL for 0.
double LevelDb(double linear);

// Measures a whole file through the reader: integrated loudness, loudness
// range and peaks. Throws AudioError naming the file when it cannot be read.
LoudnessResult MeasureFile(const QString &path);
