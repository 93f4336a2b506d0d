#include "audio/WmaProfiles.h"

#include "audio/AudioError.h"

#include <iterator>

namespace audio_detail {

namespace {

// Ordered by bit rate, then sample rate, mono before stereo, v1 before v2.
// The numbers are stored in users' settings: append, never reorder.
const WmaProfile kProfiles[] = {
    {2, 8000, 1, 24},   {2, 11025, 1, 24}, {2, 11025, 2, 24}, {2, 16000, 1, 24}, {2, 16000, 2, 24},
    {1, 22050, 1, 24},  {2, 22050, 1, 24}, {2, 22050, 2, 24}, {2, 24000, 1, 24}, {2, 24000, 2, 24},
    {2, 16000, 1, 32},  {2, 16000, 2, 32}, {2, 22050, 1, 32}, {1, 22050, 2, 32}, {2, 22050, 2, 32},
    {2, 24000, 1, 32},  {2, 24000, 2, 32}, {2, 32000, 1, 32}, {2, 32000, 2, 32}, {2, 32000, 2, 40},
    {2, 22050, 2, 48},  {2, 24000, 2, 48}, {2, 32000, 1, 48}, {2, 32000, 2, 48}, {2, 44100, 1, 48},
    {2, 44100, 2, 48},  {2, 32000, 1, 64}, {2, 32000, 2, 64}, {2, 44100, 1, 64}, {1, 44100, 2, 64},
    {2, 44100, 2, 64},  {2, 48000, 1, 64}, {2, 48000, 2, 64}, {2, 44100, 2, 80}, {2, 44100, 2, 96},
    {2, 48000, 2, 96},  {1, 44100, 2, 128}, {2, 44100, 2, 128}, {2, 48000, 2, 128}, {2, 44100, 2, 160},
    {2, 48000, 2, 160}, {2, 44100, 2, 192}, {2, 48000, 2, 192}, {2, 44100, 2, 256}, {2, 48000, 2, 256},
    {2, 44100, 2, 320}, {2, 48000, 2, 320},
};

} // namespace

int wmaProfileCount() { return int(std::size(kProfiles)); }

const WmaProfile &wmaProfileAt(int number)
{
    if (number < 1 || number > wmaProfileCount())
        throw AudioError(QStringLiteral("WMA profile %1 does not exist (1 to %2)").arg(number).arg(wmaProfileCount()));
    return kProfiles[number - 1];
}

QString wmaProfileName(int number)
{
    if (number < 1 || number > wmaProfileCount())
        return {};
    const WmaProfile &p = kProfiles[number - 1];
    // 44100 -> "44 kHz", 11025 -> "11 kHz": the usual short names.
    return QStringLiteral("WMA v%1, %2 kbps, %3 kHz, %4")
        .arg(p.version)
        .arg(p.bitrate)
        .arg(p.sampleRate / 1000)
        .arg(p.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"));
}

} // namespace audio_detail
