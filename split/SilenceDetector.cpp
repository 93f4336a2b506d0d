#include "split/SilenceDetector.h"
#include "split/SplitPointEditor.h"

#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"

#include <QDir>
#include <algorithm>
#include <cmath>

SilenceFinder::SilenceFinder(int sampleRate, int channels, double thresholdDb, double minSeconds)
    : channels_(std::max(channels, 1)), threshold_(float(std::pow(10.0, thresholdDb / 20.0))),
      minFrames_(std::max<int64_t>(1, std::llround(std::max(minSeconds, 0.0) * std::max(sampleRate, 1))))
{
}

void SilenceFinder::Close(int64_t end)
{
    if (runStart_ >= 0 && end - runStart_ >= minFrames_)
        found_.push_back({runStart_, end});
    runStart_ = -1;
}

void SilenceFinder::Feed(const float *samples, int64_t frames)
{
    for (int64_t f = 0; f < frames; ++f) {
        const float *frame = samples + f * channels_;
        bool quiet = true;
        for (int c = 0; c < channels_ && quiet; ++c)
            quiet = std::fabs(frame[c]) < threshold_;
        if (quiet) {
            if (runStart_ < 0)
                runStart_ = position_ + f;
        } else if (runStart_ >= 0) {
            Close(position_ + f);
        }
    }
    position_ += frames;
}

std::vector<SilentStretch> SilenceFinder::Finish()
{
    Close(position_);
    return std::move(found_);
}

std::optional<std::vector<SilentStretch>> FindSilences(const QString &path, const SilenceSettings &settings,
                                                       const std::function<bool(int)> &progress)
{
    TAudioFile2 reader;
    reader.OpenFile(path, 0, 1);
    if (reader.LastError() != 0)
        throw AudioError("Unable to open the file " + QDir::toNativeSeparators(path) + "\n" + reader.LastErrorText());
    const int channels = std::max(reader.ElementsPerSample(), 1);
    const int64_t total = reader.Length();
    SilenceFinder finder(reader.SampleRate(), channels, settings.thresholdDb, settings.minSeconds);
    int64_t read = 0;
    for (;;) {
        const PcmArray block = reader.ReadArray(std::max(reader.SampleRate() / 2, 1024));
        if (block.empty())
            break;
        const int64_t frames = int64_t(block.size()) / channels;
        finder.Feed(block.data(), frames);
        read += frames;
        if (progress && !progress(total > 0 ? int(std::min<int64_t>(read, total) * 100 / total) : 0))
            return std::nullopt;
    }
    reader.CloseFile();
    return finder.Finish();
}

std::vector<SilentStretch> ChooseTrackSilences(const std::vector<SilentStretch> &silences, int64_t totalFrames,
                                               int32_t tracks)
{
    const auto inner = [totalFrames](const SilentStretch &s) { return s.start > 0 && s.end < totalFrames; };
    std::vector<size_t> between;
    for (size_t i = 0; i < silences.size(); ++i) {
        if (inner(silences[i]))
            between.push_back(i);
    }
    if (tracks <= 0 || size_t(tracks) > between.size())
        return silences;
    std::stable_sort(between.begin(), between.end(), [&silences](size_t a, size_t b) {
        return silences[a].end - silences[a].start > silences[b].end - silences[b].start;
    });
    between.resize(size_t(tracks) - 1);
    std::vector<bool> keep(silences.size(), false);
    for (const size_t i : between)
        keep[i] = true;
    std::vector<SilentStretch> chosen;
    for (size_t i = 0; i < silences.size(); ++i) {
        if (keep[i] || !inner(silences[i]))
            chosen.push_back(silences[i]);
    }
    return chosen;
}

int32_t ApplySilences(SplitPlan &plan, const std::vector<SilentStretch> &silences, int64_t totalFrames,
                      int sampleRate, bool drop, const QString &extension)
{
    const QString ext = extension.toLower();
    std::vector<int64_t> points;
    std::vector<bool> silent; // per part, from part 1
    int32_t used = 0;
    if (!drop) {
        for (const SilentStretch &s : silences) {
            // A silence at the very start or end separates nothing.
            if (s.start <= 0 || s.end >= totalFrames)
                continue;
            points.push_back(s.start + (s.end - s.start) / 2);
            ++used;
        }
        silent.assign(points.size() + 1, false);
    } else {
        int64_t at = 0;
        for (const SilentStretch &s : silences) {
            const int64_t start = std::clamp<int64_t>(s.start, at, totalFrames);
            const int64_t end = std::clamp<int64_t>(s.end, start, totalFrames);
            if (end <= start)
                continue;
            if (start > at) {
                if (at > 0)
                    points.push_back(at);
                silent.push_back(false);
            }
            if (start > 0)
                points.push_back(start);
            silent.push_back(true);
            at = end;
            ++used;
        }
        if (at < totalFrames) {
            if (at > 0)
                points.push_back(at);
            silent.push_back(false);
        }
    }
    if (used == 0)
        return 0;

    plan.SetExactPoints(points, sampleRate);
    int32_t sounds = 0, pauses = 0;
    for (int32_t k = 1; k <= plan.PartCount; ++k) {
        if (silent[size_t(k - 1)]) {
            plan.PartNames[k] = plan.PartBaseName() + QStringLiteral("-silence-%1.").arg(++pauses, 2, 10, QChar('0')) + ext;
            plan.PartTips[k] = QStringLiteral("Silence");
            plan.PartSaveFlags[k] = false;
        } else {
            plan.PartNames[k] = SplitPointEditor::DefaultPartName(plan, ++sounds, ext);
            plan.PartTips[k] = QStringLiteral("No tip");
            plan.PartSaveFlags[k] = true;
        }
    }
    return used;
}
