#pragma once
#include "audio/PcmArray.h"
#include "audio/TAudioFile2.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace audio_detail {

// The writing half of TAudioFile2: holds the configured output format, picks
// the encoder by the extension at create(), resamples and remixes the input to
// the output format. Throws AudioError (naming the file and the reason).
class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void setWavFormat(int sampleRate, int channels, int bitsPerSample);
    void setMp3Format(int sampleRate, int bitrate, int channelMode);
    void setMp3Encoder(const TAudioFile2LameEnc &encoder);
    bool checkOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate) const;
    void setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate, int16_t quality);
    void setWmaProfile(int profile);
    void setFlacFormat(int sampleRate, int channels, int bitsPerSample, int level);
    void setOpusFormat(int bitrate, int mode, int complexity);
    // AAC for .m4a and .m4b files. A .m4a file holds ALAC instead when
    // setAlacFormat() was called after this, until setM4aFormat() is again.
    void setM4aFormat(int sampleRate, int channels, int bitrate);
    void setAlacFormat(int sampleRate, int channels, int bitsPerSample);
    int wmaProfile() const;
    int wmaProfileCount() const;
    QString wmaProfileName(int profile) const;

    // The format of the audio write() is given; may change between blocks.
    // Set it for each file before create(): close() forgets it, and an Opus
    // file, which takes its channel count from it, is refused without it.
    void setInputFormat(int sampleRate, int channels);
    // The length of the input the next create() will be given, in frames at
    // sampleRate (0: unknown). WAV becomes RF64 when that passes 4 GiB.
    void setExpectedLength(int64_t frames, int sampleRate);
    void create(const QString &path);
    void write(const PcmArray &pcm);
    void close(); // flushes resampler and encoder; safe when nothing is open
    bool isOpen() const;
    // Frames of the open output so far at its own rate, counted as they leave
    // the resampler plus what it still holds: where the next input begins.
    int64_t outputPosition() const;
    int outputSampleRate() const; // 0 when no output is open
    void setMeasureLoudness(bool on);
    std::shared_ptr<LoudnessMeter> takeLoudness();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace audio_detail
