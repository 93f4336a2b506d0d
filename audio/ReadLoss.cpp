#include "audio/ReadLoss.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace {

QString clockText(int64_t seconds)
{
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void AddReadLoss(std::vector<ReadLoss> &losses, const ReadLoss &loss, int sampleRate)
{
    for (ReadLoss &l : losses) {
        // A stretch that meets a known one is more of it: a damaged stretch
        // arrives in the pieces the decoder's frames cut it into, and where
        // those cuts fall depends on where the reading began.
        if (loss.frames > 0 && l.frames > 0 && loss.at <= l.at + l.frames && l.at <= loss.at + loss.frames) {
            const int64_t end = std::max(l.at + l.frames, loss.at + loss.frames);
            l.at = std::min(l.at, loss.at);
            l.frames = end - l.at;
            l.estimate = l.estimate || loss.estimate;
            l.leftOut += loss.leftOut;
            return;
        }
        if (std::abs(l.at - loss.at) < sampleRate / 100)
            return; // the same damage met again
    }
    losses.push_back(loss);
}

QString ReadLossText(std::vector<ReadLoss> losses, int sampleRate)
{
    if (losses.empty() || sampleRate <= 0)
        return {};
    std::vector<ReadLoss> &sorted = losses;
    std::sort(sorted.begin(), sorted.end(), [](const ReadLoss &a, const ReadLoss &b) { return a.at < b.at; });
    int64_t total = 0, leftOut = 0;
    bool estimate = false, unknown = false;
    std::vector<int64_t> places;
    int64_t lastEnd = 0;
    for (const ReadLoss &l : sorted) {
        total += l.frames;
        leftOut += l.leftOut;
        estimate = estimate || l.estimate;
        unknown = unknown || l.frames == 0;
        // Losses within a second of each other are one place.
        if (places.empty() || l.at - lastEnd > sampleRate)
            places.push_back(l.at);
        lastEnd = std::max(lastEnd, l.at + l.frames);
    }
    const auto secondsText = [sampleRate](int64_t frames) {
        const double seconds = double(frames) / sampleRate;
        return (seconds < 0.095 ? QString::number(seconds, 'f', 2) : seconds < 9.95 ? QString::number(seconds, 'f', 1)
                                                                                   : QString::number(qRound64(seconds)))
               + QStringLiteral(" s");
    };
    QString amount;
    if (total == 0) {
        amount = QStringLiteral("Some audio");
    } else {
        amount = secondsText(total);
        if (estimate || unknown)
            amount = QStringLiteral("About ") + amount;
    }
    QStringList where;
    for (size_t i = 0; i < places.size() && i < 3; ++i)
        where << clockText(places[i] / sampleRate);
    QString at = where.join(QStringLiteral(", "));
    if (places.size() > 3)
        at += QStringLiteral(" and %1 more places").arg(places.size() - 3);
    QString text = QStringLiteral("%1 could not be decoded (at %2)").arg(amount, at);
    if (leftOut > 0)
        text += QStringLiteral("; %1 of it left out rather than filled with silence").arg(secondsText(leftOut));
    return text;
}

