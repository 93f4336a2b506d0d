// Placeholder until the encoders land.
#include "audio/Writer.h"
#include "audio/AudioError.h"

namespace audio_detail {
struct Writer::Impl { int profile = 38; };
Writer::Writer() : d(std::make_unique<Impl>()) {}
Writer::~Writer() = default;
void Writer::setWavFormat(int, int, int) {}
void Writer::setMp3Format(int, int, int) {}
void Writer::setMp3Encoder(const TAudioFile2LameEnc &) {}
bool Writer::checkOggFormat(int, int, int, int, int) const { return true; }
void Writer::setOggFormat(int, int, int, int, int, int16_t) {}
void Writer::setWmaProfile(int p) { d->profile = p; }
int Writer::wmaProfile() const { return d->profile; }
int Writer::wmaProfileCount() const { return 0; }
QString Writer::wmaProfileName(int) const { return {}; }
void Writer::setInputFormat(int, int) {}
void Writer::create(const QString &path) { throw AudioError("Cannot create " + path + ": writer not built yet"); }
void Writer::write(const PcmArray &) {}
void Writer::close() {}
bool Writer::isOpen() const { return false; }
} // namespace audio_detail
