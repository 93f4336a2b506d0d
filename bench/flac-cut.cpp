// Times the FLAC cutter alone: the walk and N equal parts, with the MD5 of
// each part's samples summed or left out, to tell what the sum costs.
//   quorvis-flac-cut SOURCE.flac OUT_DIR PARTS md5|no-md5
#include "audio/AudioError.h"
#include "audio/FlacFrameCutter.h"

#include <QDir>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: quorvis-flac-cut SOURCE.flac OUT_DIR PARTS md5|no-md5\n");
        return 2;
    }
    try {
        FlacFrameCutter cutter(QString::fromLocal8Bit(argv[1]));
        cutter.setComputeMd5(QByteArray(argv[4]) == "md5");
        const int parts = std::max(1, atoi(argv[3]));
        const QDir out(QString::fromLocal8Bit(argv[2]));
        for (int k = 0; k < parts; ++k)
            cutter.writePart(out.filePath(QStringLiteral("part%1.flac").arg(k + 1, 2, 10, QLatin1Char('0'))),
                             cutter.length() * k / parts, cutter.length() * (k + 1) / parts, {});
    } catch (const AudioError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
