// Checks that the parts of a split, decoded one after another, give back the
// decoded source sample for sample: a part that starts late, ends early or
// carries a glitch at its edge shows up as a length difference or as
// differing samples.
//
//   compare-decoded CHANNELS SOURCE PART...
//
// Every file is decoded by the ffmpeg command line to 32-bit float, reading the
// file itself (not a pipe) so that the decoder sees the stream's own delay and
// padding fields. Exit status: 0 when the parts equal the source exactly,
// 1 when they differ, 2 when a file cannot be decoded.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string ShellQuoted(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

FILE *OpenDecoded(const std::string &path)
{
    const std::string cmd = "ffmpeg -nostdin -v error -i " + ShellQuoted(path) + " -f f32le -";
    FILE *f = popen(cmd.c_str(), "r");
    if (!f) {
        std::fprintf(stderr, "cannot run ffmpeg for %s\n", path.c_str());
        std::exit(2);
    }
    return f;
}

void CloseDecoded(FILE *f, const std::string &path)
{
    if (pclose(f) != 0) {
        std::fprintf(stderr, "ffmpeg could not decode %s\n", path.c_str());
        std::exit(2);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s CHANNELS SOURCE PART...\n", argv[0]);
        return 2;
    }
    const long channels = std::atol(argv[1]);
    if (channels < 1) {
        std::fprintf(stderr, "CHANNELS must be at least 1\n");
        return 2;
    }
    const std::string sourcePath = argv[2];
    FILE *source = OpenDecoded(sourcePath);

    constexpr size_t Chunk = 1 << 16;
    std::vector<float> a(Chunk), b(Chunk);
    long long compared = 0, differing = 0, sourceSamples = 0, partSamples = 0;
    long long firstDiff = -1;
    int firstDiffPart = 0;
    double maxDiff = 0;
    bool sourceEnded = false;
    std::vector<long long> partFrames;

    for (int k = 3; k < argc; ++k) {
        const std::string partPath = argv[k];
        FILE *part = OpenDecoded(partPath);
        long long thisPart = 0;
        for (;;) {
            const size_t n = std::fread(b.data(), sizeof(float), Chunk, part);
            if (n == 0)
                break;
            thisPart += static_cast<long long>(n);
            size_t m = 0;
            if (!sourceEnded) {
                m = std::fread(a.data(), sizeof(float), n, source);
                sourceSamples += static_cast<long long>(m);
                sourceEnded = m < n;
            }
            for (size_t i = 0; i < m; ++i) {
                if (a[i] == b[i])
                    continue;
                const double d = std::fabs(double(a[i]) - double(b[i]));
                // NaN never compares equal, so it counts as the largest difference.
                maxDiff = std::isnan(d) ? INFINITY : std::fmax(maxDiff, d);
                if (firstDiff < 0) {
                    firstDiff = compared + static_cast<long long>(i);
                    firstDiffPart = k - 2;
                }
                ++differing;
            }
            compared += static_cast<long long>(m);
        }
        CloseDecoded(part, partPath);
        partSamples += thisPart;
        partFrames.push_back(thisPart / channels);
    }
    // The source's remainder counts for its length only.
    while (!sourceEnded) {
        const size_t m = std::fread(a.data(), sizeof(float), Chunk, source);
        sourceSamples += static_cast<long long>(m);
        sourceEnded = m < Chunk;
    }
    CloseDecoded(source, sourcePath);

    const long long sourceFrames = sourceSamples / channels, partsFrames = partSamples / channels;
    std::printf("frames: source %lld, parts %lld (%+lld); differing samples %lld of %lld compared, max |diff| %.9g",
                sourceFrames, partsFrames, partsFrames - sourceFrames, differing, compared, maxDiff);
    if (firstDiff >= 0)
        std::printf(", first at frame %lld (part %d)", firstDiff / channels, firstDiffPart);
    std::printf("\n    frames per part:");
    for (long long f : partFrames)
        std::printf(" %lld", f);
    std::printf("\n");
    return differing == 0 && partsFrames == sourceFrames ? 0 : 1;
}
