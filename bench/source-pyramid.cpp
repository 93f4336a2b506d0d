// Builds the waveform editor's pyramid of a file as the editor does (worker
// thread, own reader, one decode) and prints how long it took, what it
// holds and what the editor's calls then cost, for waveform-source.sh to
// time against a plain ffmpeg decode.
//
//   quorvis-source-pyramid [--build-only] FILE
//
// --build-only stops after the build, for timing it alone.
#include "split/WaveformSource.h"

#include <QString>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

} // namespace

int main(int argc, char **argv)
{
    const bool buildOnly = argc == 3 && std::string(argv[1]) == "--build-only";
    if (argc != 2 && !buildOnly) {
        std::fprintf(stderr, "usage: quorvis-source-pyramid [--build-only] FILE\n");
        return 2;
    }
    const Clock::time_point start = Clock::now();
    WaveformSource source;
    source.Start(QString::fromLocal8Bit(argv[argc - 1]));
    WaveformSource::Status status;
    // The window polls at its frame rate; polling more often here only makes
    // the end of the build seen sooner.
    while (!(status = source.Poll()).finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double build = Seconds(start);
    if (!status.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", status.error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("built %lld frames in %.3f s; pyramid %.2f MiB\n", static_cast<long long>(status.framesScanned),
                build, double(source.PyramidBytes()) / (1 << 20));
    if (buildOnly)
        return 0;

    // A window 2000 columns wide, from the whole file down to the finest level.
    std::vector<PeakRange> columns;
    for (double width = double(status.framesScanned) / 2000; width >= 256; width /= 16) {
        const Clock::time_point t = Clock::now();
        const int rounds = 200;
        for (int i = 0; i < rounds; ++i)
            source.Columns(-1, double(i) * width / 3, width, 2000, columns);
        std::printf("2000 columns of %.0f frames: %.1f us\n", width, Seconds(t) / rounds * 1e6);
    }
    // The first exact samples of a view in the middle of the file.
    std::vector<float> samples;
    const Clock::time_point t = Clock::now();
    source.Samples(-1, status.framesScanned / 2, 4096, samples);
    while (source.SamplesPending())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::printf("exact samples of a view in the middle: %.1f ms\n", Seconds(t) * 1e3);
    return 0;
}
