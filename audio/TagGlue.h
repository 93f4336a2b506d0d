#pragma once
// Text, bytes and field maps between Qt and TagLib, for the tag code of the
// information component.
#include "audio/TAudioInformation2.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>

#include <vector>

namespace audio_detail {

// Text fields by TagLib's property names ("TITLE", "TRACKNUMBER", ...).
using Properties = QMap<QString, QStringList>;
using Picture = TagPicture;
using Pictures = std::vector<Picture>;

inline QString fromTag(const TagLib::String &s) { return QString::fromStdWString(s.toWString()).trimmed(); }
inline TagLib::String toTag(const QString &s) { return TagLib::String(s.toStdWString()); }
inline QByteArray fromBytes(const TagLib::ByteVector &b) { return QByteArray(b.data(), int(b.size())); }
inline TagLib::ByteVector toBytes(const QByteArray &b) { return TagLib::ByteVector(b.constData(), unsigned(b.size())); }

} // namespace audio_detail
