// Joins MP3 files as `merge --lossless` does and prints where the bridges
// lie, for bench/mp3-lossless-merge.sh:
//   quorvis-mp3-join OUT.mp3 SOURCE.mp3...
// One line per bridge: its first output sample and its length in samples.
#include "audio/AudioError.h"
#include "audio/LosslessJoin.h"

#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvis-mp3-join OUT.mp3 SOURCE.mp3...\n");
        return 2;
    }
    QStringList sources;
    for (int i = 2; i < argc; ++i)
        sources << QString::fromLocal8Bit(argv[i]);
    try {
        const LosslessJoinResult r = JoinLossless(sources, QStringLiteral("mp3"), QString::fromLocal8Bit(argv[1]));
        for (size_t i = 0; i < r.bridges.size(); ++i)
            std::printf("bridge %zu at %lld: %lld samples\n", i + 1, static_cast<long long>(r.bridges[i].first),
                        static_cast<long long>(r.bridges[i].second - r.bridges[i].first));
        for (size_t i = 0; i < r.shifts.size(); ++i)
            std::printf("source %zu shift %lld\n", i + 1, static_cast<long long>(r.shifts[i]));
    } catch (const AudioError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
