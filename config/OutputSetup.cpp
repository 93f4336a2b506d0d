#include "config/OutputSetup.h"

#include "audio/TAudioFile2.h"

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

void ConfigureOggBitRatesOnly(TAudioFile2 &fileW, const TProgramSettings &s)
{
    if (s.ogg_vbr == 1)
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate,
                           int16_t(s.ogg_quality));
    else
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
}

} // namespace

void ConfigureOutput(TAudioFile2 &writer, TAudioFile2LameEnc &encoder, OutputFormat format, const TProgramSettings &s,
                     OggSettingsRule oggRule, const std::function<void()> &incorrect)
{
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
    }
}

void AnnounceSource(TAudioFile2 &writer, const SourceFormat &source)
{
    writer.SetInputFormat(source.sampleRate, source.channels);
    writer.SetExpectedLength(source.frames, source.sampleRate);
}
