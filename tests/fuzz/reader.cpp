// The reader on arbitrary bytes: OpenFile, then ReadArray until it returns
// an empty array, as every engine reads a source.
#include "audio/AudioError.h"
#include "audio/TAudioFile2.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *extension = fuzz::kExtensions[data[0] % fuzz::kExtensionCount];
    const QString path = fuzz::TempPath("reader", extension);
    fuzz::WriteFile(path, data + 1, size - 1);
    TAudioFile2 file;
    file.OpenFile(path, 0, 1);
    if (file.LastError() != 0)
        return 0;
    try {
        // A second of audio a block, as the merge reads; a bound on the
        // blocks keeps a file that claims days of audio from stalling the run.
        const int64_t block = int64_t(std::max(1, file.SampleRate()));
        for (int blocks = 0; blocks < 4096; ++blocks)
            if (file.ReadArray(block).empty())
                break;
        (void)file.ReadDamage();
    } catch (const AudioError &) {
    }
    file.CloseFile();
    return 0;
}
