// The FLAC cutter's metadata and frame walk on arbitrary bytes, and, when it
// accepts a file, the writing of a part cut in the middle of frames.
#include "audio/AudioError.h"
#include "audio/FlacFrameCutter.h"
#include "tests/fuzz/FuzzInput.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::TempPath("flac-cutter", "flac");
    static const QString part = fuzz::TempPath("flac-cutter-part", "flac");
    fuzz::WriteFile(path, data, size);
    try {
        const FlacFrameCutter cutter(path);
        const int64_t length = cutter.length();
        cutter.writePart(part, length / 3 + 1, length - length / 4, {});
    } catch (const AudioError &) {
        // A refusal with a reason is the expected answer to most inputs.
    }
    QFile::remove(part);
    return 0;
}
