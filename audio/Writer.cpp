#include "audio/Writer.h"

#include "audio/AudioError.h"
#include "audio/Encoder.h"
#include "audio/FlacEncoder.h"
#include "audio/Mp3Encoder.h"
#include "audio/Mp4Encoder.h"
#include "audio/OggEncoder.h"
#include "audio/OpusEncoder.h"
#include "audio/PipelinedEncoder.h"
#include "audio/Loudness.h"
#include "audio/Resampler.h"
#include "audio/WavEncoder.h"
#include "audio/WmaEncoder.h"
#include "audio/WmaProfiles.h"

#include "base/OutputFormat.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <optional>
#include <utility>

namespace audio_detail {

namespace {
constexpr int kDefaultWmaProfile = 38;

// Input frames at inRate as frames at outRate, rounded up, plus a second: the
// resampler's rounding and flush (once per source of a merge) add a few.
int64_t expectedOutputFrames(int64_t frames, int inRate, int outRate)
{
    if (frames <= 0 || inRate <= 0 || outRate <= 0)
        return 0;
    const double scaled = std::ceil(double(frames) * outRate / inRate);
    return int64_t(std::min(scaled, 1e15)) + outRate;
}

// "mp3, wav, ..." as the files' extensions, each once.
QString extensionsText()
{
    QStringList extensions;
    for (int i = 0; i < output_format::Count(); ++i) {
        const QString e = output_format::Extension(output_format::Rows()[i].format).mid(1);
        if (!extensions.contains(e))
            extensions << e;
    }
    return extensions.join(QStringLiteral(", "));
}
} // namespace

// Each format keeps its own last configuration. A configuration the encoder
// refused is remembered with its reason, so a later create() for that format
// fails with the same words instead of falling back to older settings.
struct Writer::Impl {
    Mp3Settings mp3;
    WavSettings wav;
    OggSettings ogg;
    FlacSettings flac;
    OpusSettings opus;
    Mp4Settings aac;
    Mp4Settings alac{Mp4Settings::Codec::Alac};
    bool m4aHoldsAlac = false; // which of the two the .m4a extension stands for now
    int wmaProfile = kDefaultWmaProfile;
    // Why the format's last configuration was refused; empty when it was taken.
    std::array<QString, kOutputFormatCount> refused;

    QString &refusedOf(OutputFormat format) { return refused[size_t(format)]; }

    int inRate = 0;
    int inChannels = 0;

    // What the next create() will be given (frames at expectedRate), for
    // containers that choose their size class up front; 0 when unknown.
    int64_t expectedFrames = 0;
    int expectedRate = 0;

    QString path;
    std::unique_ptr<Encoder> encoder;
    std::unique_ptr<Resampler> resampler;
    int64_t written = 0; // frames handed to the encoder
    // Loudness of the frames handed to the encoder, when asked for.
    bool measureLoudness = false;
    std::shared_ptr<LoudnessMeter> meter;
    std::shared_ptr<LoudnessMeter> measured; // of the file last closed

    void encode(const float *pcm, int64_t frames)
    {
        encoder->write(pcm, frames);
        if (meter)
            meter->Add(pcm, frames);
    }

    // Drops the output after a failure; the encoder removes its incomplete file.
    void abandon()
    {
        encoder.reset();
        resampler.reset();
        meter.reset();
        path.clear();
        forgetInput();
    }

    // The input format describes the file being written: a writer reused for
    // the next file must be told that file's format, or Opus would take its
    // channel count from the file before.
    void forgetInput()
    {
        inRate = 0;
        inChannels = 0;
    }
};

Writer::Writer() : d(std::make_unique<Impl>()) {}

Writer::~Writer()
{
    // An output still open here is finished rather than thrown away; a failure
    // cannot be reported from a destructor, and the encoder then removes the file.
    try {
        close();
    } catch (const AudioError &) {
        d->abandon();
    }
}

template <typename Settings, typename Check>
static void remember(Settings &slot, QString &error, const Settings &value, Check check)
{
    slot = value;
    error.clear();
    try {
        check(value);
    } catch (const AudioError &e) {
        error = e.text();
        throw;
    }
}

void Writer::setWavFormat(int sampleRate, int channels, int bitsPerSample)
{
    remember(d->wav, d->refusedOf(OutputFormat::Wav), WavSettings{sampleRate, channels, bitsPerSample}, &WavEncoder::check);
}

void Writer::setMp3Format(int sampleRate, int bitrate, int channelMode)
{
    Mp3Settings s;
    s.sampleRate = sampleRate;
    s.bitrate = bitrate;
    s.mode = channelMode;
    s.vbr = false;
    remember(d->mp3, d->refusedOf(OutputFormat::Mp3), s, &Mp3Encoder::check);
}

void Writer::setMp3Encoder(const TAudioFile2LameEnc &encoder)
{
    Mp3Settings s;
    s.sampleRate = encoder.SampleRate;
    s.bitrate = encoder.Bitrate;
    s.maxBitrate = encoder.MaxBitrate;
    s.mode = encoder.Mode + 1; // the object counts modes from 0
    s.vbr = true;
    s.vbrQuality = encoder.VbrQuality;
    remember(d->mp3, d->refusedOf(OutputFormat::Mp3), s, &Mp3Encoder::check);
}

bool Writer::checkOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate) const
{
    return OggEncoder::usable(OggSettings{sampleRate, channels, bitrate, minBitrate, maxBitrate, -1});
}

void Writer::setOggFormat(int sampleRate, int channels, int bitrate, int minBitrate, int maxBitrate, int16_t quality)
{
    remember(d->ogg, d->refusedOf(OutputFormat::Ogg), OggSettings{sampleRate, channels, bitrate, minBitrate, maxBitrate, quality}, &OggEncoder::check);
}

void Writer::setFlacFormat(int sampleRate, int channels, int bitsPerSample, int level)
{
    remember(d->flac, d->refusedOf(OutputFormat::Flac), FlacSettings{sampleRate, channels, bitsPerSample, level}, &FlacEncoder::check);
}

// The channel count follows the input (mono stays mono, more becomes stereo) at create().
void Writer::setOpusFormat(int bitrate, int mode, int complexity)
{
    remember(d->opus, d->refusedOf(OutputFormat::Opus), OpusSettings{2, bitrate, OpusRateMode(mode), complexity}, &OpusEncoder::check);
}

void Writer::setM4aFormat(int sampleRate, int channels, int bitrate)
{
    d->m4aHoldsAlac = false;
    Mp4Settings s;
    s.sampleRate = sampleRate;
    s.channels = channels;
    s.bitrate = bitrate;
    remember(d->aac, d->refusedOf(OutputFormat::M4a), s, &Mp4Encoder::check);
}

void Writer::setAlacFormat(int sampleRate, int channels, int bitsPerSample)
{
    d->m4aHoldsAlac = true;
    Mp4Settings s;
    s.codec = Mp4Settings::Codec::Alac;
    s.sampleRate = sampleRate;
    s.channels = channels;
    s.bitsPerSample = bitsPerSample;
    remember(d->alac, d->refusedOf(OutputFormat::Alac), s, &Mp4Encoder::check);
}

// A number outside the list is kept and refused by create(): the settings
// dialog selects the stored number only to show its name, and must still open
// when setup.ini holds a number this build does not list.
void Writer::setWmaProfile(int profile) { d->wmaProfile = profile; }

int Writer::wmaProfile() const { return d->wmaProfile; }
int Writer::wmaProfileCount() const { return audio_detail::wmaProfileCount(); }
QString Writer::wmaProfileName(int profile) const { return audio_detail::wmaProfileName(profile); }

void Writer::setInputFormat(int sampleRate, int channels)
{
    // Called before every block: nothing but a comparison when unchanged.
    if (sampleRate == d->inRate && channels == d->inChannels && sampleRate > 0)
        return;
    if (sampleRate <= 0)
        throw AudioError(QStringLiteral("Input sample rate %1 Hz is not valid").arg(sampleRate));
    if (channels <= 0 || channels > 64)
        throw AudioError(QStringLiteral("Input channel count %1 is not valid").arg(channels));
    d->inRate = sampleRate;
    d->inChannels = channels;
}

void Writer::setExpectedLength(int64_t frames, int sampleRate)
{
    d->expectedFrames = std::max<int64_t>(0, frames);
    d->expectedRate = sampleRate;
}

void Writer::create(const QString &path)
{
    // Finishing a file still open is no end of the caller's input: a format
    // set while it was open is meant for this file.
    const int inRate = d->inRate, inChannels = d->inChannels;
    close();
    d->inRate = inRate;
    d->inChannels = inChannels;
    // Meant for this file only: a later file of the same writer may be any length.
    const int64_t expectedFrames = std::exchange(d->expectedFrames, 0);
    const QString extension = QFileInfo(path).suffix().toLower();
    std::optional<OutputFormat> format = output_format::FromWord(extension);
    if (!format || (extension == QLatin1String("alac")))
        throw AudioError(QStringLiteral("Cannot create \"%1\": the extension \"%2\" is not an output format (%3)")
                             .arg(path, extension, extensionsText()));
    if (*format == OutputFormat::M4a && d->m4aHoldsAlac)
        format = OutputFormat::Alac;
    if (const QString &refused = d->refusedOf(*format); !refused.isEmpty())
        throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, refused));
    std::unique_ptr<Encoder> encoder;
    switch (*format) {
    case OutputFormat::Mp3:
        encoder = std::make_unique<Mp3Encoder>(path, d->mp3);
        break;
    case OutputFormat::Wav: {
        // libsndfile keeps the reason a file could not be opened in one
        // process-wide buffer: writers creating files at once on several
        // threads would write it together and read each other's reason.
        static std::mutex opening;
        const std::lock_guard lock(opening);
        encoder = std::make_unique<WavEncoder>(path, d->wav,
                                               expectedOutputFrames(expectedFrames, d->expectedRate, d->wav.sampleRate));
        break;
    }
    case OutputFormat::Ogg:
        encoder = std::make_unique<OggEncoder>(path, d->ogg);
        break;
    case OutputFormat::Flac:
        encoder = std::make_unique<PipelinedEncoder>(std::make_unique<FlacEncoder>(path, d->flac));
        break;
    case OutputFormat::Opus: {
        if (d->inChannels <= 0)
            throw AudioError(QStringLiteral("Cannot create \"%1\": Opus follows the channel count of its input, "
                                            "and the input's format was not given before the file was created")
                                 .arg(path));
        OpusSettings opus = d->opus;
        opus.channels = d->inChannels == 1 ? 1 : 2;
        encoder = std::make_unique<PipelinedEncoder>(std::make_unique<OpusEncoder>(path, opus));
        break;
    }
    case OutputFormat::M4a:
    case OutputFormat::M4b:
        encoder = std::make_unique<PipelinedEncoder>(std::make_unique<Mp4Encoder>(path, d->aac));
        break;
    case OutputFormat::Alac:
        encoder = std::make_unique<PipelinedEncoder>(std::make_unique<Mp4Encoder>(path, d->alac));
        break;
    case OutputFormat::Wma: {
        const WmaProfile *profile = nullptr;
        try {
            profile = &wmaProfileAt(d->wmaProfile);
        } catch (const AudioError &e) {
            throw AudioError(QStringLiteral("Cannot create \"%1\": %2").arg(path, e.text()));
        }
        encoder = std::make_unique<WmaEncoder>(path, *profile);
        break;
    }
    }
    d->resampler = std::make_unique<Resampler>(encoder->sampleRate(), encoder->channels());
    d->measured.reset();
    d->meter = d->measureLoudness ? std::make_shared<LoudnessMeter>(encoder->sampleRate(), encoder->channels()) : nullptr;
    d->encoder = std::move(encoder);
    d->path = path;
    d->written = 0;
}

void Writer::write(const PcmArray &pcm)
{
    if (!d->encoder)
        throw AudioError(QStringLiteral("Cannot write audio: no output file is open"));
    if (pcm.empty())
        return;
    if (d->inRate <= 0)
        throw AudioError(QStringLiteral("Cannot write \"%1\": the input format was not set").arg(d->path));
    if (pcm.size() % size_t(d->inChannels) != 0)
        throw AudioError(QStringLiteral("Cannot write \"%1\": %2 values are not whole frames of %3 channels")
                             .arg(d->path).arg(qulonglong(pcm.size())).arg(d->inChannels));
    try {
        const int64_t frames = int64_t(pcm.size() / size_t(d->inChannels));
        const Resampler::Span out = d->resampler->convert(pcm.data(), frames, d->inRate, d->inChannels);
        if (out.frames > 0)
            d->encode(out.data, out.frames);
        d->written += out.frames;
    } catch (const AudioError &) {
        d->abandon();
        throw;
    }
}

void Writer::close()
{
    if (!d->encoder) {
        d->forgetInput();
        return;
    }
    try {
        const Resampler::Span tail = d->resampler->flush();
        if (tail.frames > 0)
            d->encode(tail.data, tail.frames);
        d->encoder->finish();
    } catch (const AudioError &) {
        d->abandon();
        throw;
    }
    d->encoder.reset();
    d->resampler.reset();
    d->measured = std::move(d->meter);
    d->path.clear();
    d->forgetInput();
}

void Writer::setMeasureLoudness(bool on) { d->measureLoudness = on; }

std::shared_ptr<LoudnessMeter> Writer::takeLoudness() { return std::exchange(d->measured, nullptr); }

bool Writer::isOpen() const { return d->encoder != nullptr; }

int64_t Writer::outputPosition() const
{
    return d->encoder ? d->written + d->resampler->pendingFrames() : 0;
}

int Writer::outputSampleRate() const { return d->encoder ? d->encoder->sampleRate() : 0; }

} // namespace audio_detail
