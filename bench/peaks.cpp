// Reads the waveform peaks of a file as the split wizard does (worker
// thread, own reader, one decode) and prints what it got, for
// run-benchmarks.sh to time against a plain ffmpeg decode.
//
//   quorvis-peaks FILE
#include "split/WaveformPeaksWorker.h"

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvis-peaks FILE\n");
        return 2;
    }
    WaveformPeaksWorker worker;
    worker.Start(QString::fromLocal8Bit(argv[1]));
    std::vector<PeakRange> peaks;
    WaveformPeaksWorker::Status status;
    // The wizard polls every 100 ms; polling more often here only makes the
    // end of the run seen sooner.
    while (!(status = worker.Poll(peaks)).finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!status.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", status.error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%lld frames, %zu buckets of %lld frames\n", static_cast<long long>(status.framesRead),
                peaks.size(), static_cast<long long>(status.framesPerBucket));
    return 0;
}
