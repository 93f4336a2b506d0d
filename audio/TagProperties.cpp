#include "audio/TagProperties.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>

namespace audio_detail {

// ID3v2 may hold "Rock", "17" or "(17)"; TagLib turns "(17)" into the name.
int genreNumber(const QString &text)
{
    if (text.isEmpty())
        return 255;
    bool isNumber = false;
    const int n = text.toInt(&isNumber);
    if (isNumber)
        return (n >= 0 && n < 255) ? n : 255;
    const int index = TagLib::ID3v1::genreIndex(toTag(text));
    return (index >= 0 && index < 255) ? index : 255;
}

// Fields already found in a more trusted tag are kept.
void readFields(const TagLib::Tag *tag, TagFields &f)
{
    if (f.title.isEmpty())
        f.title = fromTag(tag->title());
    if (f.artist.isEmpty())
        f.artist = fromTag(tag->artist());
    if (f.album.isEmpty())
        f.album = fromTag(tag->album());
    if (f.comments.isEmpty())
        f.comments = fromTag(tag->comment());
    if (f.year == 0)
        f.year = int(tag->year());
    if (f.genre == 255)
        f.genre = genreNumber(fromTag(tag->genre()));
}

Properties fromPropertyMap(const TagLib::PropertyMap &map)
{
    Properties p;
    for (auto it = map.begin(); it != map.end(); ++it) {
        QStringList values;
        for (const TagLib::String &v : it->second)
            values << QString::fromStdWString(v.toWString());
        if (!values.isEmpty())
            p.insert(QString::fromStdWString(it->first.toWString()), values);
    }
    return p;
}

TagLib::PropertyMap toPropertyMap(const Properties &p)
{
    TagLib::PropertyMap map;
    for (auto it = p.begin(); it != p.end(); ++it) {
        TagLib::StringList values;
        for (const QString &v : it.value())
            values.append(toTag(v));
        map.insert(toTag(it.key()), values);
    }
    return map;
}

void addMissing(Properties &into, const Properties &from)
{
    for (auto it = from.begin(); it != from.end(); ++it)
        if (!into.contains(it.key()))
            into.insert(it.key(), it.value());
}

Properties withEdits(Properties p, const Properties &edits)
{
    for (auto it = edits.begin(); it != edits.end(); ++it) {
        if (it.value().isEmpty())
            p.remove(it.key());
        else
            p.insert(it.key(), it.value());
    }
    // Vorbis comment readers take DESCRIPTION before COMMENT: a stale one would hide the edit.
    if (edits.contains(QStringLiteral("COMMENT")))
        p.remove(QStringLiteral("DESCRIPTION"));
    // A new "k/n" makes a separate total of the old numbering wrong.
    if (edits.contains(QStringLiteral("TRACKNUMBER"))) {
        p.remove(QStringLiteral("TRACKTOTAL"));
        p.remove(QStringLiteral("TOTALTRACKS"));
    }
    return p;
}

namespace {

// RIFF INFO has no property map in TagLib 1.13; its chunk names as FFmpeg
// and most players read them.
struct InfoField {
    const char *id;
    const char *key;
};
constexpr InfoField kInfoFields[] = {
    {"INAM", "TITLE"},     {"IART", "ARTIST"},      {"IPRD", "ALBUM"},     {"ICMT", "COMMENT"},
    {"IGNR", "GENRE"},     {"ICRD", "DATE"},        {"IPRT", "TRACKNUMBER"}, {"ITRK", "TRACKNUMBER"},
    {"ICOP", "COPYRIGHT"}, {"ILNG", "LANGUAGE"},    {"ITCH", "ENCODEDBY"}, {"ISFT", "ENCODING"},
};

} // namespace

Properties infoProperties(const TagLib::RIFF::Info::Tag *tag)
{
    Properties p;
    for (const InfoField &f : kInfoFields) {
        const QString text = fromTag(tag->fieldText(f.id));
        if (!text.isEmpty() && !p.contains(f.key))
            p.insert(f.key, {text});
    }
    return p;
}

void writeInfo(TagLib::RIFF::Info::Tag *tag, const Properties &p, const QStringList &leaveAlone)
{
    for (const InfoField &f : kInfoFields) {
        if (qstrcmp(f.id, "ITRK") == 0 || leaveAlone.contains(f.key))
            continue; // IPRT holds the track
        tag->setFieldText(f.id, toTag(p.value(f.key).join(QStringLiteral("; ")))); // empty removes
    }
}

Properties propertiesOf(const TagLib::Tag *tag)
{
    // Tag::properties() is not virtual in TagLib 1.13: ask the concrete type.
    if (auto *id3 = dynamic_cast<const TagLib::ID3v2::Tag *>(tag)) {
        Properties p = fromPropertyMap(id3->properties());
        // FFmpeg writes lyrics as a TXXX frame named "USLT"; elsewhere it would
        // become a field of that name that no player reads as lyrics.
        if (p.contains(QStringLiteral("USLT")) && !p.contains(QStringLiteral("LYRICS")))
            p.insert(QStringLiteral("LYRICS"), p.take(QStringLiteral("USLT")));
        return p;
    }
    if (auto *ape = dynamic_cast<const TagLib::APE::Tag *>(tag))
        return fromPropertyMap(ape->properties());
    if (auto *xiph = dynamic_cast<const TagLib::Ogg::XiphComment *>(tag))
        return fromPropertyMap(xiph->properties());
    if (auto *asf = dynamic_cast<const TagLib::ASF::Tag *>(tag))
        return fromPropertyMap(asf->properties());
    if (auto *mp4 = dynamic_cast<const TagLib::MP4::Tag *>(tag))
        return fromPropertyMap(mp4->properties());
    if (auto *info = dynamic_cast<const TagLib::RIFF::Info::Tag *>(tag))
        return infoProperties(info);
    return fromPropertyMap(tag->properties());
}

void setPropertiesOf(TagLib::Tag *tag, const TagLib::PropertyMap &map)
{
    if (auto *id3 = dynamic_cast<TagLib::ID3v2::Tag *>(tag))
        id3->setProperties(map);
    else if (auto *ape = dynamic_cast<TagLib::APE::Tag *>(tag))
        ape->setProperties(map);
    else if (auto *xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(tag))
        xiph->setProperties(map);
    else if (auto *asf = dynamic_cast<TagLib::ASF::Tag *>(tag))
        asf->setProperties(map);
    else if (auto *mp4 = dynamic_cast<TagLib::MP4::Tag *>(tag))
        mp4->setProperties(map);
    else
        tag->setProperties(map);
}

void setTrack(TagLib::Tag *tag, const QString &track)
{
    const TagLib::String text = toTag(track);
    if (auto *id3 = dynamic_cast<TagLib::ID3v2::Tag *>(tag)) {
        id3->removeFrames("TRCK");
        auto *frame = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::UTF16);
        frame->setText(text);
        id3->addFrame(frame);
    } else if (auto *xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(tag)) {
        xiph->addField("TRACKNUMBER", text, true);
        xiph->removeFields("TRACKTOTAL");
        xiph->removeFields("TOTALTRACKS");
    } else if (auto *asf = dynamic_cast<TagLib::ASF::Tag *>(tag)) {
        asf->setAttribute("WM/TrackNumber", TagLib::ASF::Attribute(text));
    } else if (auto *ape = dynamic_cast<TagLib::APE::Tag *>(tag)) {
        ape->addValue("Track", text, true);
    } else if (auto *riff = dynamic_cast<TagLib::RIFF::Info::Tag *>(tag)) {
        riff->setFieldText("IPRT", text);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::Tag *>(tag)) {
        mp4->setItem("trkn", TagLib::MP4::Item(qMax(0, track.section('/', 0, 0).toInt()),
                                                qMax(0, track.section('/', 1, 1).toInt())));
    } else {
        tag->setTrack(unsigned(qMax(0, track.section('/', 0, 0).toInt())));
    }
}

// The edited fields into a tag in place; nothing else of it changes.
void editTag(TagLib::Tag *tag, const Properties &edits)
{
    for (auto it = edits.begin(); it != edits.end(); ++it) {
        const QString value = it.value().value(0);
        const QString &key = it.key();
        if (key == QLatin1String("TITLE"))
            tag->setTitle(toTag(value));
        else if (key == QLatin1String("ARTIST"))
            tag->setArtist(toTag(value));
        else if (key == QLatin1String("ALBUM"))
            tag->setAlbum(toTag(value));
        else if (key == QLatin1String("COMMENT"))
            tag->setComment(toTag(value));
        else if (key == QLatin1String("DATE"))
            tag->setYear(unsigned(qMax(0, value.toInt())));
        else if (key == QLatin1String("GENRE"))
            tag->setGenre(toTag(value));
        else if (key == QLatin1String("TRACKNUMBER") && !value.isEmpty())
            setTrack(tag, value);
    }
}

} // namespace audio_detail
