#include "merge/LoudnessPass.h"

#include "audio/Loudness.h"
#include "audio/TAudioFile2.h"
#include "base/RunReport.h"
#include "merge/RunTexts.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <exception>
#include <numeric>

float SourceGain::Factor() const { return float(std::pow(10.0, gainDb / 20.0)); }

SourceGain GainFor(double integrated, double truePeak, double target)
{
    SourceGain g;
    g.integrated = integrated;
    g.gainDb = GainToTarget(integrated, target);
    const double peakDb = LevelDb(truePeak);
    if (std::isfinite(peakDb) && peakDb + g.gainDb > kNormalisePeakCeiling) {
        // Lowering a source never clips it; only a raise is held back.
        // A source already above the ceiling is not lowered for it.
        const double held = std::max(kNormalisePeakCeiling - peakDb, std::min(g.gainDb, 0.0));
        if (held < g.gainDb) {
            g.gainDb = held;
            g.limited = true;
        }
    }
    return g;
}

QStringList LoudnessPassResult::Notes(const QStringList &sources, double target) const
{
    QStringList lines;
    for (size_t k = 0; k < gains.size() && k < size_t(sources.size()); ++k) {
        const SourceGain &g = gains[k];
        if (!g.limited)
            continue;
        lines << QStringLiteral("Note: %1 was brought to %2 LUFS, not %3: a gain of %4 dB keeps its true peak at %5 dBTP.")
                     .arg(QDir::toNativeSeparators(sources[int(k)]))
                     .arg(g.integrated + g.gainDb, 0, 'f', 1)
                     .arg(target, 0, 'f', 0)
                     .arg(g.gainDb, 0, 'f', 2)
                     .arg(kNormalisePeakCeiling, 0, 'f', 0);
    }
    return lines;
}

LoudnessPassResult MeasureSources(TAudioFile2 &reader, RunReport &observer, const QStringList &sources,
                                  const std::vector<int64_t> &lengths, double target, const bool &running)
{
    LoudnessPassResult result;
    observer.Status(QStringLiteral("Measuring..."));
    observer.Progress(0);
    const int64_t total = std::accumulate(lengths.begin(), lengths.end(), int64_t(0));
    int64_t done = 0;
    for (int k = 0; k < sources.size(); ++k) {
        const QString &path = sources[k];
        observer.RowStatus(k + 1, QStringLiteral("Measuring"));
        reader.OpenFile(path, 0, 1);
        if (reader.LastError() != 0) {
            result.end = LoudnessPassResult::Failed;
            result.failure = FailureText(QStringLiteral("Cannot open"), path, reader.LastErrorText());
            return result;
        }
        const int64_t length = k < int(lengths.size()) ? lengths[size_t(k)] : 0;
        int64_t position = 0;
        try {
            LoudnessMeter meter(reader.SampleRate(), reader.Channels());
            for (;;) {
                const PcmArray block = reader.ReadArray(int64_t(reader.SampleRate()));
                if (block.empty())
                    break;
                const int64_t frames = int64_t(block.size()) / std::max(1, reader.ElementsPerSample());
                meter.Add(block.data(), frames);
                position = std::min(position + frames, length);
                if (total > 0)
                    observer.Progress(int((done + position) * 100 / total));
                observer.Breathe();
                if (!running) {
                    reader.CloseFile();
                    result.end = LoudnessPassResult::Stopped;
                    return result;
                }
            }
            const LoudnessResult measured = meter.Result();
            result.gains.push_back(GainFor(measured.integrated, measured.truePeak, target));
        } catch (const std::exception &e) {
            reader.CloseFile();
            result.end = LoudnessPassResult::Failed;
            result.failure = FailureText(QStringLiteral("Cannot read"), path, QString::fromStdString(e.what()));
            return result;
        }
        reader.CloseFile();
        done += length;
        observer.RowStatus(k + 1, QStringLiteral("0%"));
    }
    return result;
}
