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
    if (s.ogg_fquality == 1) {
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, 0, 0, 0, int16_t(s.ogg_quality));
    } else if (s.ogg_vbr == 1) {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate)) {
            incorrect();
            return;
        }
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, s.ogg_minbitrate, s.ogg_maxbitrate, -1);
    } else {
        if (!fileW.CheckOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0)) {
            incorrect();
            return;
        }
        fileW.SetOggFormat(s.ogg_frequency, s.ogg_channels, s.ogg_bitrate, 0, 0, -1);
    }
}

void ConfigureFlacOutput(TAudioFile2 &fileW, const TProgramSettings &s)
{
    fileW.SetFlacFormat(s.flac_frequency, s.flac_channels, s.flac_bps, s.flac_level);
}

void ConfigureOpusOutput(TAudioFile2 &fileW, const TProgramSettings &s)
{
    fileW.SetOpusFormat(s.opus_bitrate, s.opus_mode, s.opus_complexity);
}
