// Splits an Ogg Opus or Vorbis file, or AAC in MP4, into equal parts by
// copying packets, as the lossless split does (split points moved to where a
// part can begin), for ogg-lossless-split.sh and aac-lossless-split.sh to time
// against cp. Prints each part's range in
// samples; with --check, also decodes the source and every part with the
// ffmpeg command line and prints the length the part should decode to (its
// range; the last part with the source's own padding), its decoded length,
// its largest difference from the source's decode over its range and the
// signal-to-noise ratio.
//
//   quorvis-packet-split FILE OUTDIR PARTS [--check]
#include "audio/AudioError.h"
#include "audio/AudioError.h"
#include "audio/LosslessCutter.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <memory>
#include <vector>

namespace {

// Interleaved float as ffmpeg decodes the file (names are ours: no quoting needed).
std::vector<float> Decoded(const QString &path)
{
    const std::string cmd = "ffmpeg -nostdin -v error -i '" + path.toStdString() + "' -f f32le -";
    std::vector<float> v;
    if (FILE *f = popen(cmd.c_str(), "r")) {
        float buf[65536];
        for (size_t n; (n = fread(buf, sizeof(float), 65536, f)) > 0;)
            v.insert(v.end(), buf, buf + n);
        pclose(f);
    }
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    const bool check = argc == 5 && std::string(argv[4]) == "--check";
    if (argc != 4 && !check) {
        std::fprintf(stderr, "usage: quorvis-packet-split FILE OUTDIR PARTS [--check]\n");
        return 2;
    }
    try {
        const QString source = QString::fromLocal8Bit(argv[1]);
        const QString extension = LosslessSaveFormat(source);
        const std::unique_ptr<LosslessCutter> opened = OpenLosslessCutter(source);
        const LosslessCutter &cutter = *opened;
        const QDir out(QString::fromLocal8Bit(argv[2]));
        const int parts = std::atoi(argv[3]);
        const int64_t length = cutter.length();
        const std::vector<float> whole = check ? Decoded(QString::fromLocal8Bit(argv[1])) : std::vector<float>();
        // A source's own padding is less than its length.
        const int64_t ch = length > 0 ? std::max<int64_t>(1, int64_t(whole.size()) / length) : 1;
        const int64_t wholeFrames = int64_t(whole.size()) / ch;
        const auto point = [&](int k) { return k >= parts ? length : cutter.partStart(length * k / parts); };
        for (int k = 0; k < parts; ++k) {
            const int64_t from = point(k), end = point(k + 1);
            const QString part = out.filePath(QStringLiteral("part%1.%2").arg(k + 1, 2, 10, QLatin1Char('0')).arg(extension));
            cutter.writePart(part, from, end, {});
            std::printf("%lld %lld %d", static_cast<long long>(from), static_cast<long long>(end), cutter.sampleRate());
            if (check) {
                const std::vector<float> got = Decoded(part);
                double signal = 0, noise = 0, largest = 0;
                for (size_t i = 0; i < got.size() && size_t(from * ch) + i < whole.size(); ++i) {
                    const double want = whole[size_t(from * ch) + i], diff = got[i] - want;
                    signal += want * want;
                    noise += diff * diff;
                    largest = std::max(largest, std::abs(diff));
                }
                std::printf(" want %lld decoded %lld max-difference %.6f snr-db %.1f",
                            static_cast<long long>((end == length ? wholeFrames : end) - from),
                            static_cast<long long>(int64_t(got.size()) / ch), largest,
                            noise > 0 ? 10 * std::log10(signal / noise) : INFINITY);
            }
            std::printf("\n");
        }
    } catch (const AudioError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
