// Placeholder until the inspector lands.
#include "audio/TAudioInformation2.h"
#include "audio/AudioError.h"

void TAudioInformation2::LoadFile(const QString &fileName) { throw AudioError("Cannot read " + fileName + ": not built yet"); }
QString TAudioInformation2::GenreName(int) const { return {}; }
void TAudioInformation2::SaveTag(const QString &fileName) { throw AudioError("Cannot tag " + fileName + ": not built yet"); }
