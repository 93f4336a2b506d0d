#include "config/OutputSetup.h"

#include "audio/TAudioFile2.h"

#include <algorithm>
#include <array>
#include <cstdlib>

void ConfigureMp3Output(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const TProgramSettings &s)
{
    if (s.mp3_fvbr == 1) {
        encoder.SampleRate = s.mp3_frequency;
        encoder.Bitrate = s.mp3_bitrate;
        encoder.Mode = s.mp3_channels - 1; // stored codes count from 1, the encoder's from 0
        encoder.OptionA = 0;
        encoder.MaxBitrate = s.mp3_maxbitrate;
        encoder.VbrQuality = int16_t(s.mp3_vbrquality);
        encoder.OptionB = -1;
        fileW.SetMp3Encoder(encoder);
    } else {
        fileW.SetMp3Format(s.mp3_frequency, s.mp3_bitrate, s.mp3_channels);
    }
}

void ConfigureOggOutput(TAudioFile2 &fileW, const TProgramSettings &s, const std::function<void()> &incorrect)
{
    const auto refused = [&] {
        if (incorrect)
            incorrect();
    };
    if (s.ogg_fquality == 1) {
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, 0, 0, 0, int16_t(s.ogg_quality));
    } else if (s.ogg_vbr == 1) {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate))
            return refused();
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate, -1);
    } else {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0))
            return refused();
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
    }
}

namespace {

// Without a source to follow, "Same as source" stands for the long-standing
// defaults.
constexpr int kUnknownRate = 44100;
constexpr int kUnknownChannels = 2;
constexpr int kUnknownBits = 16;

// The rates LAME encodes (MPEG-1, 2 and 2.5).
constexpr std::array<int, 9> kMp3Rates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
// The rates FFmpeg's AAC encoder takes.
constexpr std::array<int, 13> kAacRates{7350, 8000, 11025, 12000, 16000, 22050, 24000,
                                        32000, 44100, 48000, 64000, 88200, 96000};
// The rates the settings pages offer, tried for Ogg when the source's is refused.
constexpr std::array<int, 8> kListedRates{8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};

template <size_t N> std::array<int, N> ByNearness(std::array<int, N> rates, int target)
{
    // Ties go to the higher rate: less of the source is cut away.
    std::stable_sort(rates.begin(), rates.end(), [target](int a, int b) {
        const int da = std::abs(a - target), db = std::abs(b - target);
        return da != db ? da < db : a > b;
    });
    return rates;
}

int SourceRate(const SourceFormat &source) { return source.sampleRate > 0 ? source.sampleRate : kUnknownRate; }
int SourceChannels(const SourceFormat &source) { return source.channels > 0 ? source.channels : kUnknownChannels; }
int SourceBits(const SourceFormat &source) { return source.bitsPerSample > 0 ? source.bitsPerSample : kUnknownBits; }

int OggRate(int channels, const SourceFormat &source, const std::function<bool(int, int)> &oggTakes)
{
    const int rate = SourceRate(source);
    if (!oggTakes || oggTakes(rate, channels))
        return rate;
    for (int candidate : ByNearness(kListedRates, rate))
        if (oggTakes(candidate, channels))
            return candidate;
    return rate; // nothing fits: the writer says why when it is set
}

} // namespace

TProgramSettings ResolvedForSource(const TProgramSettings &settings, OutputFormat format, const SourceFormat &source,
                                   const std::function<bool(int rate, int channels)> &oggTakes)
{
    TProgramSettings s = settings;
    switch (format) {
    case OutputFormat::Wav:
        if (s.wav_frequency == 0)
            s.wav_frequency = uint32_t(SourceRate(source));
        if (s.wav_channels == 0)
            s.wav_channels = uint32_t(SourceChannels(source));
        if (s.wav_bps == 0)
            s.wav_bps = uint32_t(SourceBits(source));
        break;
    case OutputFormat::Flac:
        if (s.flac_frequency == 0)
            s.flac_frequency = SourceRate(source);
        if (s.flac_channels == 0)
            s.flac_channels = std::min(SourceChannels(source), 8); // FLAC's most
        if (s.flac_bps == 0)
            s.flac_bps = SourceBits(source) > 16 ? 24 : 16; // 32-bit sources keep their top 24 bits
        break;
    case OutputFormat::Mp3:
        if (s.mp3_frequency == 0)
            s.mp3_frequency = ByNearness(kMp3Rates, SourceRate(source)).front();
        if (s.mp3_channels == 0)
            s.mp3_channels = SourceChannels(source) == 1 ? 1 : 3; // "Mono", else "Joint Stereo"
        break;
    case OutputFormat::Ogg:
        if (s.ogg_channels == 0)
            s.ogg_channels = SourceChannels(source) == 1 ? 1 : 2;
        if (s.ogg_frequency == 0)
            s.ogg_frequency = OggRate(s.ogg_channels, source, oggTakes);
        break;
    case OutputFormat::M4a:
    case OutputFormat::M4b:
        if (s.m4a_frequency == 0)
            s.m4a_frequency = ByNearness(kAacRates, SourceRate(source)).front();
        if (s.m4a_channels == 0)
            s.m4a_channels = SourceChannels(source) == 1 ? 1 : 2;
        break;
    case OutputFormat::Alac:
        if (s.alac_frequency == 0)
            s.alac_frequency = SourceRate(source);
        if (s.alac_channels == 0)
            s.alac_channels = std::min(SourceChannels(source), 8); // ALAC's most
        if (s.alac_bps == 0)
            s.alac_bps = SourceBits(source) > 16 ? 24 : 16;
        break;
    case OutputFormat::Wma:
    case OutputFormat::Opus:
        break; // their rate and layout come from the profile or the codec
    }
    return s;
}

TProgramSettings ResolvedForWriter(const TAudioFile2 &writer, const TProgramSettings &s, OutputFormat format,
                                   const SourceFormat &source)
{
    // Quality mode has no bit rates to try; the nominal one stands in for it
    // to tell which rates Vorbis has tunings for.
    const bool vbr = s.ogg_vbr == 1 && s.ogg_fquality != 1;
    return ResolvedForSource(s, format, source, [&](int rate, int channels) {
        return writer.CheckOggFormat(rate, channels, s.ogg_bitrate, vbr ? s.ogg_minbitrate : 0,
                                     vbr ? s.ogg_maxbitrate : 0);
    });
}

namespace {

void ConfigureOggBitRatesOnly(TAudioFile2 &fileW, const TProgramSettings &s)
{
    if (s.ogg_vbr == 1)
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate,
                           int16_t(s.ogg_quality));
    else
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
}

} // namespace

void ConfigureOutput(TAudioFile2 &writer, TAudioFile2LameEnc &encoder, OutputFormat format,
                     const TProgramSettings &settings, OggSettingsRule oggRule, const std::function<void()> &incorrect)
{
    ConfigureOutput(writer, encoder, format, settings, SourceFormat{}, oggRule, incorrect);
}

void ConfigureOutput(TAudioFile2 &writer, TAudioFile2LameEnc &encoder, OutputFormat format,
                     const TProgramSettings &settings, const SourceFormat &source, OggSettingsRule oggRule,
                     const std::function<void()> &incorrect)
{
    const TProgramSettings s = ResolvedForWriter(writer, settings, format, source);
    switch (format) {
    case OutputFormat::Mp3:
        ConfigureMp3Output(writer, encoder, s);
        break;
    case OutputFormat::Wav:
        writer.SetWavFormat(int(s.wav_frequency), int(s.wav_channels), int(s.wav_bps));
        break;
    case OutputFormat::Wma:
        writer.SetWmaProfile(s.wma_wmaprofile);
        break;
    case OutputFormat::Ogg:
        if (oggRule == OggSettingsRule::BitRatesOnly)
            ConfigureOggBitRatesOnly(writer, s);
        else
            ConfigureOggOutput(writer, s, incorrect);
        break;
    case OutputFormat::Flac:
        writer.SetFlacFormat(s.flac_frequency, s.flac_channels, s.flac_bps, s.flac_level);
        break;
    case OutputFormat::Opus:
        writer.SetOpusFormat(s.opus_bitrate, s.opus_mode, s.opus_complexity);
        break;
    case OutputFormat::M4a:
    case OutputFormat::M4b:
        writer.SetM4aFormat(s.m4a_frequency, s.m4a_channels, s.m4a_bitrate);
        break;
    case OutputFormat::Alac:
        writer.SetAlacFormat(s.alac_frequency, s.alac_channels, s.alac_bps);
        break;
    }
}

void AnnounceSource(TAudioFile2 &writer, const SourceFormat &source)
{
    writer.SetInputFormat(source.sampleRate, source.channels);
    writer.SetExpectedLength(source.frames, source.sampleRate);
}
