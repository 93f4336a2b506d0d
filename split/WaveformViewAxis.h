#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// One mark of the time ruler: where it stands and what it reads.
struct AxisTick {
    double x = 0;       // pixels from the view's left edge
    double frame = 0;
    QString label;
};

// The waveform editor's time axis: which stretch of a source the view's
// pixels show. Positions are doubles of frames: a double holds every frame of
// a source of days at any rate exactly, and the finest zoom (1/32 frame per
// pixel) keeps x of any frame within 2^53, so no mapping overflows however
// long the source and however deep the zoom. Pure arithmetic, no widgets.
class WaveformViewAxis {
public:
    // Deepest zoom: a sample spreads over this many pixels.
    static constexpr double MinFramesPerPixel = 1.0 / 32;

    // A new length or rate fits the whole source into the width.
    void SetSource(int64_t totalFrames, int sampleRate);
    // Keeps the first visible frame and the zoom, clamped to the new width.
    void SetWidth(int pixels);

    int64_t TotalFrames() const { return total_; }
    int SampleRate() const { return rate_; }
    int Width() const { return width_; }
    double FirstFrame() const { return first_; }
    double FramesPerPixel() const { return fpp_; }
    double VisibleFrames() const { return fpp_ * width_; }
    // The zoom that shows the whole source.
    double FitFramesPerPixel() const;

    double FrameAt(double x) const { return first_ + x * fpp_; }
    double XOf(double frame) const { return (frame - first_) / fpp_; }
    // XOf limited to a few widths either side, safe to hand to a painter.
    double ClampedXOf(double frame) const;

    void Fit();
    // Sets the zoom (clamped to the deepest and to the whole source) so that
    // the frame under x stays under x, as far as the source's ends allow.
    void ZoomAbout(double x, double framesPerPixel);
    // Shows [from, to) across the width (a margin is the caller's).
    void ShowRange(double from, double to);
    // First visible frame, clamped so the view never passes the source's ends.
    void ScrollTo(double firstFrame);
    void ScrollByPixels(double pixels) { ScrollTo(first_ + pixels * fpp_); }
    // Scrolls by whole pages when frame has left the view (following a play
    // cursor); returns whether the view moved.
    bool Follow(double frame);

    // Ruler marks at least minSpacing pixels apart across the width: round
    // times (h:mm:ss, with milliseconds below a second), and sample numbers
    // once a millisecond spreads wider than the spacing needs.
    std::vector<AxisTick> Ticks(double minSpacing) const;

private:
    int64_t total_ = 0;
    int rate_ = 0;
    int width_ = 1;
    double first_ = 0;
    double fpp_ = 1;
};

// "h:mm:ss.mmm" of a frame at rate (milliseconds rounded down, so the text
// never names a time after the frame).
QString FormatClock(int64_t frame, int rate, bool withMilliseconds = true);
// The frame a typed time names: "h:mm:ss.mmm", "m:ss.mmm", "ss.mmm" or plain
// seconds, decimals optional; nothing when the text is not such a time.
std::optional<int64_t> ParseClock(const QString &text, int rate);
