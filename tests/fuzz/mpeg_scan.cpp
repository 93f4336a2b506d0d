// The MPEG frame walk and the Xing/Info/VBRI and LAME tag parse of
// scanMpegFile, on arbitrary bytes.
#include "audio/MpegScan.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::TempPath("mpeg_scan", "mp3");
    fuzz::WriteFile(path, data, size);
    const audio_detail::MpegScan scan = audio_detail::scanMpegFile(path);
    if (scan.valid) {
        // The length arithmetic runs on the parsed fields too.
        volatile int64_t length = scan.decodedLength();
        (void)length;
    }
    // The header parser alone, at every offset (the walk only visits some).
    audio_detail::MpegFrameHeader h;
    for (size_t i = 0; i + 4 <= size; ++i)
        if (audio_detail::parseMpegHeader(data + i, h))
            (void)audio_detail::mpegFrameLength(h, h.bitrateIndex, h.padding);
    return 0;
}
