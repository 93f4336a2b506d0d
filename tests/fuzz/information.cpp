// TAudioInformation2::LoadFile on arbitrary bytes: FFmpeg's probe, our
// format description and MPEG scan, TagLib's tag read.
#include "audio/AudioError.h"
#include "audio/TAudioInformation2.h"
#include "tests/fuzz/FuzzInput.h"

#include <taglib/tdebuglistener.h>

namespace {
// TagLib reports every oddity on stderr; thousands of lines a second would
// bury the fuzzer's own report.
class Quiet final : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String &) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Quiet quiet;
    static const bool quieted = (TagLib::setDebugListener(&quiet), true);
    (void)quieted;
    if (size < 1)
        return 0;
    const char *extension = fuzz::kExtensions[data[0] % fuzz::kExtensionCount];
    const QString path = fuzz::TempPath("info", extension);
    fuzz::WriteFile(path, data + 1, size - 1);
    TAudioInformation2 info;
    try {
        info.LoadFile(path);
        (void)info.RenderId3v2Tag(path);
    } catch (const AudioError &) {
    }
    return 0;
}
