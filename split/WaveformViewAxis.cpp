#include "split/WaveformViewAxis.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

// Ruler steps in milliseconds, each a round time a reader counts in.
constexpr int64_t TimeStepsMs[] = {1,      2,      5,      10,      20,      50,      100,     200,
                                   500,    1000,   2000,   5000,    10000,   15000,   30000,   60000,
                                   120000, 300000, 600000, 900000,  1800000, 3600000, 7200000, 18000000,
                                   36000000, 86400000};
// Ruler steps in frames, used while a millisecond is wider than they are.
constexpr int64_t SampleSteps[] = {1, 2, 5, 10, 20, 50, 100, 200, 500};

// Pixels a view is allowed to reach past its edges when drawn: far enough
// that a line leaving the view is still drawn as leaving it.
constexpr double DrawMargin = 1 << 16;

} // namespace

void WaveformViewAxis::SetSource(int64_t totalFrames, int sampleRate)
{
    total_ = std::max<int64_t>(0, totalFrames);
    rate_ = sampleRate;
    Fit();
}

void WaveformViewAxis::SetWidth(int pixels)
{
    const bool wasFit = fpp_ >= FitFramesPerPixel();
    width_ = std::max(1, pixels);
    if (wasFit)
        Fit();
    else {
        fpp_ = std::clamp(fpp_, MinFramesPerPixel, FitFramesPerPixel());
        ScrollTo(first_);
    }
}

double WaveformViewAxis::FitFramesPerPixel() const
{
    return std::max(MinFramesPerPixel, double(std::max<int64_t>(total_, 1)) / width_);
}

double WaveformViewAxis::ClampedXOf(double frame) const
{
    return std::clamp(XOf(frame), -DrawMargin, width_ + DrawMargin);
}

void WaveformViewAxis::Fit()
{
    fpp_ = FitFramesPerPixel();
    first_ = 0;
}

void WaveformViewAxis::ZoomAbout(double x, double framesPerPixel)
{
    const double anchor = FrameAt(x);
    fpp_ = std::clamp(framesPerPixel, MinFramesPerPixel, FitFramesPerPixel());
    ScrollTo(anchor - x * fpp_);
}

void WaveformViewAxis::ShowRange(double from, double to)
{
    if (to < from)
        std::swap(from, to);
    fpp_ = std::clamp((to - from) / width_, MinFramesPerPixel, FitFramesPerPixel());
    // A range narrower than the deepest zoom is centred.
    ScrollTo((from + to) / 2 - VisibleFrames() / 2);
}

void WaveformViewAxis::ScrollTo(double firstFrame)
{
    const double last = std::max(0.0, double(total_) - VisibleFrames());
    first_ = std::isfinite(firstFrame) ? std::clamp(firstFrame, 0.0, last) : 0.0;
}

bool WaveformViewAxis::Follow(double frame)
{
    if (frame >= first_ && frame < first_ + VisibleFrames())
        return false;
    const double before = first_;
    ScrollTo(frame < first_ ? frame - VisibleFrames() / 8 : frame);
    return first_ != before;
}

std::vector<AxisTick> WaveformViewAxis::Ticks(double minSpacing) const
{
    std::vector<AxisTick> ticks;
    if (rate_ <= 0 || total_ <= 0)
        return ticks;
    const double framesPerMs = rate_ / 1000.0;
    const double minFrames = minSpacing * fpp_;
    // Units of the chosen step: frames for sample steps, milliseconds else.
    int64_t step = 0;
    double framesPerUnit = 1;
    bool samples = false;
    if (framesPerMs > minFrames) {
        for (int64_t s : SampleSteps) {
            if (s >= minFrames && s < framesPerMs) {
                step = s;
                samples = true;
                break;
            }
        }
    }
    if (!samples) {
        framesPerUnit = framesPerMs;
        step = TimeStepsMs[std::size(TimeStepsMs) - 1];
        for (int64_t s : TimeStepsMs) {
            if (s * framesPerMs >= minFrames) {
                step = s;
                break;
            }
        }
    }
    const double stepFrames = double(step) * framesPerUnit;
    const double lastFrame = std::min(double(total_), first_ + VisibleFrames());
    // Tick indexes are whole numbers of steps; 64 bits hold them for any source.
    for (int64_t i = int64_t(std::ceil(first_ / stepFrames)); double(i) * stepFrames <= lastFrame; ++i) {
        AxisTick t;
        const int64_t units = i * step;
        t.frame = double(units) * framesPerUnit;
        t.x = XOf(t.frame);
        if (samples) {
            t.label = QString::number(units);
        } else {
            // The label names the round time itself, not a frame's rounding of it.
            const QString clock = QString("%1:%2:%3")
                                      .arg(units / 3600000)
                                      .arg(units / 60000 % 60, 2, 10, QChar('0'))
                                      .arg(units / 1000 % 60, 2, 10, QChar('0'));
            t.label = step < 1000 ? clock + QString(".%1").arg(units % 1000, 3, 10, QChar('0')) : clock;
        }
        ticks.push_back(t);
    }
    return ticks;
}

QString FormatClock(int64_t frame, int rate, bool withMilliseconds)
{
    if (rate <= 0)
        return QStringLiteral("0:00:00");
    const int64_t f = std::max<int64_t>(0, frame);
    // Whole seconds and the rest apart, so frame * 1000 never has to fit.
    const int64_t seconds = f / rate;
    const int64_t ms = (f % rate) * 1000 / rate;
    QString text = QString("%1:%2:%3")
                       .arg(seconds / 3600)
                       .arg(seconds / 60 % 60, 2, 10, QChar('0'))
                       .arg(seconds % 60, 2, 10, QChar('0'));
    if (withMilliseconds)
        text += QString(".%1").arg(ms, 3, 10, QChar('0'));
    return text;
}

std::optional<int64_t> ParseClock(const QString &text, int rate)
{
    static const QRegularExpression form(R"(^\s*(?:(?:(\d+):)?(\d+):)?(\d+)(?:[.,](\d{1,9}))?\s*$)");
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch() || rate <= 0)
        return std::nullopt;
    const int64_t h = m.captured(1).isEmpty() ? 0 : m.captured(1).toLongLong();
    const int64_t min = m.captured(2).isEmpty() ? 0 : m.captured(2).toLongLong();
    const int64_t s = m.captured(3).toLongLong();
    if (h > 1000000 || min > 60000000 || s > 3600000000LL)
        return std::nullopt;
    const QString fraction = m.captured(4);
    double part = 0;
    if (!fraction.isEmpty())
        part = fraction.toDouble() / std::pow(10.0, fraction.size());
    const int64_t wholeSeconds = h * 3600 + min * 60 + s;
    return wholeSeconds * rate + int64_t(std::llround(part * rate));
}
