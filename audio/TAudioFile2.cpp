#include "audio/TAudioFile2.h"

#include "audio/AudioError.h"
#include "audio/Decoder.h"
#include "audio/Writer.h"

using audio_detail::Decoder;
using audio_detail::Writer;

TAudioFile2::TAudioFile2() : writer_(std::make_unique<Writer>()) {}
TAudioFile2::~TAudioFile2() = default;

void TAudioFile2::OpenFile(const QString &fileName, int, int)
{
    CloseFile();
    lastError_ = 0;
    lastErrorText_.clear();
    try {
        decoder_ = std::make_unique<Decoder>(fileName, decodeThreads_);
    } catch (const AudioError &e) {
        lastError_ = 1;
        lastErrorText_ = e.text();
    }
}

void TAudioFile2::CreateFile(const QString &fileName, int)
{
    lastError_ = 0;
    lastErrorText_.clear();
    try {
        writer_->create(fileName);
    } catch (const AudioError &e) {
        lastError_ = 1;
        lastErrorText_ = e.text();
    }
}

void TAudioFile2::CloseFile()
{
    decoder_.reset();
    // A failing flush still throws, so a full disk at the very end is not lost.
    writer_->close();
}

int TAudioFile2::LastError() const { return lastError_; }
QString TAudioFile2::LastErrorText() const { return lastErrorText_; }

int TAudioFile2::SampleRate() const { return decoder_ ? decoder_->sampleRate() : 0; }
int TAudioFile2::Channels() const { return decoder_ ? decoder_->channels() : 0; }
int TAudioFile2::ElementsPerSample() const { return decoder_ ? decoder_->channels() : 1; }
int64_t TAudioFile2::Length() const { return decoder_ ? decoder_->length() : 0; }
int TAudioFile2::BitsPerSample() const { return decoder_ ? decoder_->bitsPerSample() : 0; }

QString TAudioFile2::ReadDamage() const { return decoder_ ? decoder_->damage() : QString(); }
std::vector<ReadLoss> TAudioFile2::ReadLosses() const { return decoder_ ? decoder_->losses() : std::vector<ReadLoss>{}; }
bool TAudioFile2::LengthIsExact() const { return decoder_ && decoder_->lengthIsExact(); }

PcmArray TAudioFile2::ReadArray(int64_t count)
{
    if (!decoder_ || count <= 0)
        return {};
    return decoder_->read(count);
}

int64_t TAudioFile2::Seek(int64_t position, int)
{
    return decoder_ ? decoder_->seek(position) : 0;
}

bool TAudioFile2::SeeksExactly() const { return decoder_ && decoder_->seeksExactly(); }

void TAudioFile2::SetInputFormat(int sampleRate, int channels) { writer_->setInputFormat(sampleRate, channels); }
void TAudioFile2::SetExpectedLength(int64_t frames, int sampleRate) { writer_->setExpectedLength(frames, sampleRate); }
void TAudioFile2::WriteArray(const PcmArray &pcm) { writer_->write(pcm); }
int16_t TAudioFile2::State() const { return writer_->isOpen() ? 2 : 0; }
int64_t TAudioFile2::OutputPosition() const { return writer_->outputPosition(); }
int TAudioFile2::OutputSampleRate() const { return writer_->outputSampleRate(); }
void TAudioFile2::SetMeasureLoudness(bool on) { writer_->setMeasureLoudness(on); }
std::shared_ptr<LoudnessMeter> TAudioFile2::TakeLoudness() { return writer_->takeLoudness(); }
void TAudioFile2::SetFormatIndex(int) {}

void TAudioFile2::SetWavFormat(int r, int c, int b) { writer_->setWavFormat(r, c, b); }
void TAudioFile2::SetMp3Format(int r, int b, int m) { writer_->setMp3Format(r, b, m); }
void TAudioFile2::SetMp3Encoder(const TAudioFile2LameEnc &e) { writer_->setMp3Encoder(e); }
bool TAudioFile2::CheckOggFormat(int r, int c, int b, int mn, int mx) const { return writer_->checkOggFormat(r, c, b, mn, mx); }
void TAudioFile2::SetOggFormat(int r, int c, int b, int mn, int mx, int16_t q) { writer_->setOggFormat(r, c, b, mn, mx, q); }
void TAudioFile2::SetWmaProfile(int profile) { writer_->setWmaProfile(profile); }
void TAudioFile2::SetFlacFormat(int r, int c, int bits, int level) { writer_->setFlacFormat(r, c, bits, level); }
void TAudioFile2::SetOpusFormat(int bitrate, int mode, int complexity) { writer_->setOpusFormat(bitrate, mode, complexity); }
void TAudioFile2::SetM4aFormat(int sampleRate, int channels, int bitrate) { writer_->setM4aFormat(sampleRate, channels, bitrate); }
void TAudioFile2::SetAlacFormat(int sampleRate, int channels, int bitsPerSample) { writer_->setAlacFormat(sampleRate, channels, bitsPerSample); }
int TAudioFile2::WmaProfileCount() const { return writer_->wmaProfileCount(); }
QString TAudioFile2::WmaProfileName() const { return writer_->wmaProfileName(writer_->wmaProfile()); }
