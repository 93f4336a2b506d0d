#pragma once
// The text fields of one tag of any kind, as property maps and as the few
// fields the component shows.
#include "audio/TagGlue.h"

#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

namespace TagLib::RIFF::Info {
class Tag;
}

namespace audio_detail {

// ID3v1 genre number of a genre's text, 255 when the list lacks it.
int genreNumber(const QString &text);

struct TagFields {
    QString title, artist, album, comments;
    int year = 0;
    int genre = 255;
};
// Fields already found in a more trusted tag are kept.
void readFields(const TagLib::Tag *tag, TagFields &f);

Properties fromPropertyMap(const TagLib::PropertyMap &map);
TagLib::PropertyMap toPropertyMap(const Properties &p);
void addMissing(Properties &into, const Properties &from);
// `p` with the edits applied (an empty list removes a field), and the fields
// an edit makes stale removed.
Properties withEdits(Properties p, const Properties &edits);

// RIFF INFO into fields, and back; the keys in `leaveAlone` are not written.
Properties infoProperties(const TagLib::RIFF::Info::Tag *tag);
void writeInfo(TagLib::RIFF::Info::Tag *tag, const Properties &p, const QStringList &leaveAlone);

// Every text field of a tag, whatever its kind.
Properties propertiesOf(const TagLib::Tag *tag);
void setPropertiesOf(TagLib::Tag *tag, const TagLib::PropertyMap &map);

// "k/n" in each tag's own form; where a tag holds only a number, k.
void setTrack(TagLib::Tag *tag, const QString &track);
// CHAPTERnnn, CHAPTERnnnNAME, CHAPTERnnnURL: a Vorbis comment's chapter marks.
bool IsChapterProperty(const QString &key);

// The edited fields into a tag in place; nothing else of it changes.
void editTag(TagLib::Tag *tag, const Properties &edits);

} // namespace audio_detail
