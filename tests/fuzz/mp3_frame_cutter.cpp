// The cutter's frame walk and info-frame parse on arbitrary bytes, and, when
// it accepts a file, the writing of one part from its middle.
#include "audio/AudioError.h"
#include "audio/Mp3FrameCutter.h"
#include "tests/fuzz/FuzzInput.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::TempPath("cutter", "mp3");
    static const QString part = fuzz::TempPath("cutter-part", "mp3");
    fuzz::WriteFile(path, data, size);
    try {
        const Mp3FrameCutter cutter(path);
        const int64_t length = cutter.length();
        const int64_t start = length / 3, end = length - length / 4;
        if (end > start && !cutter.insideOneFrame(start, end))
            cutter.writePart(part, start, end, QByteArray("ID3\x03\0\0\0\0\0\0", 10));
    } catch (const AudioError &) {
        // A refusal with a reason is the expected answer to most inputs.
    }
    QFile::remove(part);
    return 0;
}
