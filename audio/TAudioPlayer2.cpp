// Placeholder until the player lands.
#include "audio/TAudioPlayer2.h"

struct TAudioPlayer2::Impl {};
TAudioPlayer2::TAudioPlayer2(QObject *parent) : QObject(parent), d(std::make_unique<Impl>()) {}
TAudioPlayer2::~TAudioPlayer2() = default;
void TAudioPlayer2::SetFormat(int, int) {}
int TAudioPlayer2::MillisecondsToSamples(int) const { return 0; }
int64_t TAudioPlayer2::SamplesToMilliseconds(int64_t) const { return 0; }
void TAudioPlayer2::LoadArray(const PcmArray &) {}
void TAudioPlayer2::Play() {}
void TAudioPlayer2::Stop() {}
int64_t TAudioPlayer2::PlayedSamples() const { return 0; }
int TAudioPlayer2::LastError() const { return 1; }
PcmArray TAudioPlayer2::PeekArray(int) const { return {}; }
