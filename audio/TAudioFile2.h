#pragma once
#include "audio/PcmArray.h"
#include "audio/ReadLoss.h"

#include <QString>
#include <cstdint>
#include <memory>

// Settings for variable-bitrate MP3 output, handed to TAudioFile2::SetMp3Encoder.
struct TAudioFile2LameEnc {
    int SampleRate = 44100;
    int Bitrate = 128;     // kbps, the lowest rate VBR may use
    int MaxBitrate = 192;  // kbps
    int Mode = 2;          // MP3 channel mode, 0-based: mp3_channels - 1
    int16_t VbrQuality = 7; // 0 (best) .. 9
    int OptionA = 0;
    int OptionB = -1;
};

namespace audio_detail { class Decoder; class Writer; }
class LoudnessMeter;

// Reads or writes one audio file at a time.
//
// Reading: OpenFile, then ReadArray until it returns an empty array. Every frame
// of the source comes out exactly once, in order (encoder delay and padding
// removed where the file records them).
//
// Writing: one format call (SetWavFormat / SetMp3Format / SetMp3Encoder /
// SetOggFormat / SetWmaProfile), SetInputFormat, CreateFile (the extension picks
// the container), WriteArray..., CloseFile. The input format may change between
// arrays; the writer resamples and remixes to the configured output format.
//
// OpenFile and CreateFile report failure through LastError() only; every other
// failure throws AudioError. Positions and lengths are frames, 64-bit.
class TAudioFile2 {
public:
    TAudioFile2();
    ~TAudioFile2();
    TAudioFile2(const TAudioFile2 &) = delete;
    TAudioFile2 &operator=(const TAudioFile2 &) = delete;

    void OpenFile(const QString &fileName, int = 0, int = 1);
    // Decoding threads for the files opened from now on (1, the default:
    // the calling thread only). More pay off for one reader going through a
    // whole file, such as the waveform's, not for many readers at once.
    void SetDecodeThreads(int threads) { decodeThreads_ = threads; }
    void CreateFile(const QString &fileName, int = 0);
    void CloseFile();
    int LastError() const;
    QString LastErrorText() const; // the reason behind a non-zero LastError

    // The opened source.
    int SampleRate() const;
    int Channels() const;
    int ElementsPerSample() const;
    int64_t Length() const;
    // The source's stored sample width: 16, 24 or 32 for PCM, FLAC and other
    // lossless sources; 16 for lossy ones (0 with no source open).
    int BitsPerSample() const;
    PcmArray ReadArray(int64_t count);
    int64_t Seek(int64_t position, int = 3);
    // A Seek goes straight to its frame, and reading on from there gives the
    // very samples that reading through from the start gives.
    bool SeeksExactly() const;
    // What could not be decoded so far in the open source ("0.4 s unreadable"
    // and where), empty when every byte decoded. Damage is skipped, not the
    // rest of the file: reading goes on after it.
    QString ReadDamage() const;
    // The same, stretch by stretch in the order met (see ReadLoss.h).
    std::vector<ReadLoss> ReadLosses() const;
    // Length() is the source's own exact record, not an estimate that only
    // reading to the end can correct (as for WMA).
    bool LengthIsExact() const;

    // The output.
    void SetInputFormat(int sampleRate, int channels);
    // The input the writer will be given for the next CreateFile, for
    // containers that must know their size class up front: `frames` at
    // `sampleRate` (0 when unknown). A WAV expected to pass 4 GiB is written
    // as RF64; every other output is unchanged by it.
    void SetExpectedLength(int64_t frames, int sampleRate);
    void WriteArray(const PcmArray &pcm);
    int16_t State() const; // 2 while an output file is open for writing
    // Frames written to the open output so far, at its own rate, right
    // after resampling: the output frame where the next array begins.
    int64_t OutputPosition() const;
    int OutputSampleRate() const; // of the open output; 0 when none is open
    // Measures the loudness of what goes to the encoder (after resampling)
    // in the files created from now on, for ReplayGain without a second decode.
    void SetMeasureLoudness(bool on);
    // The measurement of the file last closed, null when none was measured
    // or the file was abandoned. Taken once.
    std::shared_ptr<LoudnessMeter> TakeLoudness();
    void SetFormatIndex(int index);

    void SetWavFormat(int sampleRate, int channels, int bitsPerSample);
    void SetMp3Format(int sampleRate, int bitrate, int channelMode);
    void SetMp3Encoder(const TAudioFile2LameEnc &encoder);
    bool CheckOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate) const;
    void SetOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate, int16_t quality);
    void SetWmaProfile(int profile); // numbered from 1
    // bitsPerSample 16 or 24; level 0..8.
    void SetFlacFormat(int sampleRate, int channels, int bitsPerSample, int level);
    // bitrate in kbps; mode 0 VBR, 1 constrained VBR, 2 CBR; complexity 0..10. Always 48 kHz.
    void SetOpusFormat(int bitrate, int mode, int complexity);
    // AAC in .m4a/.m4b: bitrate 32..320 kbps. A .m4a file is ALAC (16 or 24
    // bits) instead when SetAlacFormat came last.
    void SetM4aFormat(int sampleRate, int channels, int bitrate);
    void SetAlacFormat(int sampleRate, int channels, int bitsPerSample);
    int WmaProfileCount() const;
    QString WmaProfileName() const;

private:
    int decodeThreads_ = 1;
    std::unique_ptr<audio_detail::Decoder> decoder_;
    std::unique_ptr<audio_detail::Writer> writer_;
    int lastError_ = 0;
    QString lastErrorText_;
};
