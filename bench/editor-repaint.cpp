// Times the waveform editor's repaints on a file: zooming from the whole file
// to single samples about its middle, then scrolling across it at a few
// zooms. Prints the median, 99th percentile and worst time per frame (goal:
// a 99th percentile of at most 16 ms) for run-benchmarks.sh.
//
//   QT_QPA_PLATFORM=offscreen quorvis-editor-bench FILE
#include "audio/TAudioInformation2.h"
#include "split/WaveformSource.h"
#include "split/ui/TWaveformEditorForm.h"
#include "split/ui/TWaveformEditorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds of one synchronous repaint of the view.
double Repaint(TWaveformEditorView *view)
{
    QElapsedTimer clock;
    clock.start();
    view->repaint();
    return double(clock.nsecsElapsed()) / 1e6;
}

// Lets a pending read of exact samples land, untimed, as the poll would.
void SettleSamples(const WaveformSource &source)
{
    for (int i = 0; i < 200 && source.SamplesPending(); ++i) {
        QThread::msleep(5);
        QApplication::processEvents();
    }
}

void Report(const char *what, std::vector<double> times)
{
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    const auto at = [&times](double q) { return times[std::min(times.size() - 1, size_t(q * double(times.size())))]; };
    std::printf("  %-28s %5zu frames  median %6.2f ms  p99 %6.2f ms  worst %6.2f ms%s\n", what, times.size(), at(0.5),
                at(0.99), times.back(), at(0.99) <= 16 ? "" : "  (goal: p99 at most 16 ms)");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvis-editor-bench FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    TAudioInformation2 info;
    try {
        info.LoadFile(path);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const int64_t total = info.TotalSamples();
    SplitPlan plan;
    plan.SourcePath = path;
    plan.DurationSeconds = int32_t(total / std::max(1, info.SampleRate()));
    plan.Mode = SplitMode::BySettings;
    std::vector<int64_t> points;
    for (int k = 1; k < 20; ++k)
        points.push_back(total * k / 20);
    plan.SetExactPoints(points, info.SampleRate());

    TWaveformEditorForm form(nullptr, plan, {path, total, info.SampleRate(), info.Channels()}, "mp3");
    form.resize(1600, 900);
    form.show();
    QElapsedTimer built;
    built.start();
    // Until the window is on screen a repaint paints nothing, and would be timed as free.
    while (!form.Source().Poll().finished || !(form.windowHandle() && form.windowHandle()->isExposed())) {
        QThread::msleep(10);
        app.processEvents();
    }
    std::printf("  peaks built in %.2f s\n", double(built.elapsed()) / 1000);
    TWaveformEditorView *view = form.W.View;

    std::vector<double> zoom;
    view->Fit();
    const double middle = view->width() / 2.0;
    while (view->Axis().FramesPerPixel() > WaveformViewAxis::MinFramesPerPixel) {
        view->ZoomAbout(middle, 0.8);
        zoom.push_back(Repaint(view));
        if (view->Axis().FramesPerPixel() < 1) {
            SettleSamples(form.Source());
            zoom.push_back(Repaint(view));
        }
    }
    Report("zoom to single samples", zoom);

    // Each zoom reads from a different store (the pyramid's coarse levels,
    // its finest, exact samples), so each is reported on its own as well.
    std::vector<double> scroll;
    const struct {
        const char *what;
        double fpp;
    } zooms[] = {{"scroll, 1/16 of the file", view->Axis().FitFramesPerPixel() / 16},
                 {"scroll, 64 frames/pixel", 64.0},
                 {"scroll, 4 pixels/sample", 0.25}};
    for (const auto &z : zooms) {
        std::vector<double> here;
        view->ZoomAbout(0, z.fpp / view->Axis().FramesPerPixel());
        const double span = double(total) - view->Axis().VisibleFrames();
        for (int step = 0; step <= 200; ++step) {
            view->ScrollTo(span * step / 200);
            here.push_back(Repaint(view));
            if (z.fpp < 1) {
                SettleSamples(form.Source());
                here.push_back(Repaint(view));
            }
        }
        Report(z.what, here);
        scroll.insert(scroll.end(), here.begin(), here.end());
    }
    Report("scroll across the file", scroll);
    return 0;
}
