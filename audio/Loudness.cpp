#include "audio/Loudness.h"

#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"

#include <QDir>
#include <algorithm>
#include <cmath>

#include <ebur128.h>

struct LoudnessMeter::State {
    ebur128_state *st = nullptr;
    ~State() { ebur128_destroy(&st); }
};

LoudnessMeter::LoudnessMeter(int sampleRate, int channels, bool withRange)
    : state_(std::make_unique<State>()), sampleRate_(sampleRate), channels_(channels)
{
    int mode = EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK;
    if (withRange)
        mode |= EBUR128_MODE_LRA;
    if (sampleRate > 0 && channels > 0)
        state_->st = ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate), mode);
    if (!state_->st)
        throw AudioError(QStringLiteral("Cannot measure loudness of audio at %1 Hz with %2 channels")
                             .arg(sampleRate)
                             .arg(channels));
    // The library's default map reads a sixth channel as a surround one; in
    // the 5.1 order decoders give (L R C LFE Ls Rs) the fourth is the LFE,
    // which R128 leaves out.
    if (channels == 6) {
        const int map[6] = {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                            EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
        for (unsigned c = 0; c < 6; ++c)
            ebur128_set_channel(state_->st, c, map[c]);
    }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const float *pcm, int64_t frames)
{
    if (frames <= 0)
        return;
    if (ebur128_add_frames_float(state_->st, pcm, size_t(frames)) != EBUR128_SUCCESS)
        throw AudioError(QStringLiteral("Cannot measure loudness: out of memory"));
}

namespace {

double Peak(ebur128_state *st, unsigned channels, int (*get)(ebur128_state *, unsigned, double *))
{
    double peak = 0;
    for (unsigned c = 0; c < channels; ++c) {
        double p = 0;
        if (get(st, c, &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    return peak;
}

LoudnessResult Silence()
{
    LoudnessResult r;
    r.integrated = -HUGE_VAL;
    return r;
}

} // namespace

LoudnessResult LoudnessMeter::Result() const
{
    LoudnessResult r = Silence();
    ebur128_state *st = state_->st;
    double value = 0;
    if (ebur128_loudness_global(st, &value) == EBUR128_SUCCESS && std::isfinite(value))
        r.integrated = value;
    if ((st->mode & EBUR128_MODE_LRA) == EBUR128_MODE_LRA && ebur128_loudness_range(st, &value) == EBUR128_SUCCESS)
        r.range = value;
    r.truePeak = Peak(st, unsigned(channels_), ebur128_true_peak);
    r.samplePeak = Peak(st, unsigned(channels_), ebur128_sample_peak);
    // The true peak is never below the samples it is computed from.
    r.truePeak = std::max(r.truePeak, r.samplePeak);
    return r;
}

LoudnessResult LoudnessMeter::Combined(const std::vector<const LoudnessMeter *> &meters)
{
    LoudnessResult r = Silence();
    std::vector<ebur128_state *> states;
    for (const LoudnessMeter *m : meters) {
        states.push_back(m->state_->st);
        const LoudnessResult one = m->Result();
        r.truePeak = std::max(r.truePeak, one.truePeak);
        r.samplePeak = std::max(r.samplePeak, one.samplePeak);
    }
    double value = 0;
    if (!states.empty() && ebur128_loudness_global_multiple(states.data(), states.size(), &value) == EBUR128_SUCCESS &&
        std::isfinite(value))
        r.integrated = value;
    return r;
}

double GainToTarget(double integrated, double target)
{
    return std::isfinite(integrated) ? target - integrated : 0.0;
}

QString ReplayGainText(double gainDb)
{
    return QString::number(gainDb, 'f', 2) + QStringLiteral(" dB");
}

QString ReplayGainPeakText(double peak)
{
    return QString::number(peak, 'f', 6);
}

int OpusR128Gain(double integrated)
{
    const double q78 = std::round(GainToTarget(integrated, kOpusGainReference) * 256.0);
    return int(std::clamp(q78, -32768.0, 32767.0));
}

double LevelDb(double linear)
{
    return linear > 0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

LoudnessResult MeasureFile(const QString &path)
{
    TAudioFile2 reader;
    reader.OpenFile(path, 0, 1);
    if (reader.LastError() != 0)
        throw AudioError(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(path), reader.LastErrorText()));
    try {
        LoudnessMeter meter(reader.SampleRate(), reader.Channels(), true);
        for (;;) {
            const PcmArray block = reader.ReadArray(int64_t(reader.SampleRate()));
            if (block.empty())
                break;
            meter.Add(block.data(), int64_t(block.size()) / std::max(1, reader.ElementsPerSample()));
        }
        reader.CloseFile();
        return meter.Result();
    } catch (const AudioError &e) {
        // The reader's messages name the file already; the meter's do not.
        const QString name = QDir::toNativeSeparators(path);
        throw AudioError(e.text().contains(name) ? e.text() : QStringLiteral("%1: %2").arg(name, e.text()));
    }
}
