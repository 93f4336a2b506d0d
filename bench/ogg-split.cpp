// Splits an Ogg Opus or Vorbis file into equal parts by copying packets, as
// the lossless split does, for ogg-lossless-split.sh to time against cp and
// against a re-encoding split. Prints each part's range in samples.
//
//   quorvis-ogg-split FILE OUTDIR PARTS
#include "audio/AudioError.h"
#include "audio/OggPacketCutter.h"

#include <QDir>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: quorvis-ogg-split FILE OUTDIR PARTS\n");
        return 2;
    }
    try {
        const OggPacketCutter cutter(QString::fromLocal8Bit(argv[1]));
        const QDir out(QString::fromLocal8Bit(argv[2]));
        const int parts = std::atoi(argv[3]);
        const int64_t length = cutter.length();
        for (int k = 0; k < parts; ++k) {
            const int64_t start = length * k / parts, end = length * (k + 1) / parts;
            cutter.writePart(out.filePath(QStringLiteral("part%1.%2").arg(k + 1, 2, 10, QLatin1Char('0')).arg(cutter.format())),
                             start, end, {});
            std::printf("%lld %lld %lld\n", static_cast<long long>(cutter.partStart(start)),
                        static_cast<long long>(end), static_cast<long long>(cutter.sampleRate()));
        }
    } catch (const AudioError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
