#include "audio/TAudioInformation2.h"
#include "audio/AudioError.h"
#include "audio/ReadSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

using audio_detail::displayName;

namespace {

using Properties = QMap<QString, QStringList>;
using Picture = audio_detail::TagPicture;
using Pictures = std::vector<Picture>;

QString fromTag(const TagLib::String &s) { return QString::fromStdWString(s.toWString()).trimmed(); }
TagLib::String toTag(const QString &s) { return TagLib::String(s.toStdWString()); }
QByteArray fromBytes(const TagLib::ByteVector &b) { return QByteArray(b.data(), int(b.size())); }
TagLib::ByteVector toBytes(const QByteArray &b) { return TagLib::ByteVector(b.constData(), unsigned(b.size())); }

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

struct TagFields {
    QString title, artist, album, comments;
    int year = 0;
    int genre = 255;
};

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

// ---- property maps ----

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

// ---- pictures ----

QString guessMimeType(const QByteArray &d)
{
    if (d.startsWith("\x89PNG"))
        return QStringLiteral("image/png");
    if (d.startsWith("\xFF\xD8"))
        return QStringLiteral("image/jpeg");
    if (d.startsWith("GIF8"))
        return QStringLiteral("image/gif");
    if (d.startsWith("BM"))
        return QStringLiteral("image/bmp");
    if (d.startsWith("RIFF") && d.mid(8, 4) == "WEBP")
        return QStringLiteral("image/webp");
    return QStringLiteral("image/jpeg");
}

Picture makePicture(const TagLib::ByteVector &data, const TagLib::String &mime, const TagLib::String &description, int type)
{
    Picture p;
    p.data = fromBytes(data);
    p.mimeType = fromTag(mime);
    if (p.mimeType.isEmpty() || !p.mimeType.contains('/'))
        p.mimeType = guessMimeType(p.data);
    p.description = fromTag(description);
    p.type = (type >= 0 && type <= 20) ? type : 0;
    return p;
}

Pictures id3Pictures(const TagLib::ID3v2::Tag *tag)
{
    Pictures out;
    for (const TagLib::ID3v2::Frame *frame : tag->frameList("APIC"))
        if (auto *apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame))
            out.push_back(makePicture(apic->picture(), apic->mimeType(), apic->description(), int(apic->type())));
    return out;
}

void setId3Pictures(TagLib::ID3v2::Tag *tag, const Pictures &pictures)
{
    tag->removeFrames("APIC");
    for (const Picture &p : pictures) {
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType(toTag(p.mimeType));
        frame->setDescription(toTag(p.description));
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::Type(p.type));
        frame->setPicture(toBytes(p.data));
        tag->addFrame(frame);
    }
}

Pictures flacPictures(const TagLib::List<TagLib::FLAC::Picture *> &list)
{
    Pictures out;
    for (const TagLib::FLAC::Picture *f : list) {
        Picture p = makePicture(f->data(), f->mimeType(), f->description(), int(f->type()));
        p.width = f->width();
        p.height = f->height();
        p.colorDepth = f->colorDepth();
        p.colors = f->numColors();
        out.push_back(p);
    }
    return out;
}

TagLib::FLAC::Picture *toFlacPicture(const Picture &p)
{
    auto *f = new TagLib::FLAC::Picture;
    f->setType(TagLib::FLAC::Picture::Type(p.type));
    f->setMimeType(toTag(p.mimeType));
    f->setDescription(toTag(p.description));
    f->setWidth(p.width);
    f->setHeight(p.height);
    f->setColorDepth(p.colorDepth);
    f->setNumColors(p.colors);
    f->setData(toBytes(p.data));
    return f;
}

Pictures mp4Pictures(const TagLib::MP4::Tag *tag)
{
    Pictures out;
    if (!tag->contains("covr"))
        return out;
    for (const TagLib::MP4::CoverArt &c : tag->item("covr").toCoverArtList()) {
        const char *mime = c.format() == TagLib::MP4::CoverArt::PNG   ? "image/png"
                           : c.format() == TagLib::MP4::CoverArt::BMP ? "image/bmp"
                           : c.format() == TagLib::MP4::CoverArt::GIF ? "image/gif"
                           : c.format() == TagLib::MP4::CoverArt::JPEG ? "image/jpeg"
                                                                        : "";
        out.push_back(makePicture(c.data(), mime, TagLib::String(), 3));
    }
    return out;
}

void setMp4Pictures(TagLib::MP4::Tag *tag, const Pictures &pictures)
{
    if (pictures.empty()) {
        tag->removeItem("covr");
        return;
    }
    TagLib::MP4::CoverArtList list;
    for (const Picture &p : pictures) {
        const auto format = p.mimeType == "image/png"   ? TagLib::MP4::CoverArt::PNG
                            : p.mimeType == "image/bmp" ? TagLib::MP4::CoverArt::BMP
                            : p.mimeType == "image/gif" ? TagLib::MP4::CoverArt::GIF
                                                        : TagLib::MP4::CoverArt::JPEG;
        list.append(TagLib::MP4::CoverArt(format, toBytes(p.data)));
    }
    tag->setItem("covr", TagLib::MP4::Item(list));
}

Pictures asfPictures(const TagLib::ASF::Tag *tag)
{
    Pictures out;
    for (const TagLib::ASF::Attribute &a : tag->attribute("WM/Picture")) {
        if (a.type() != TagLib::ASF::Attribute::BytesType)
            continue;
        const TagLib::ASF::Picture pic = a.toPicture();
        if (pic.isValid())
            out.push_back(makePicture(pic.picture(), pic.mimeType(), pic.description(), int(pic.type())));
    }
    return out;
}

void setAsfPictures(TagLib::ASF::Tag *tag, const Pictures &pictures)
{
    tag->removeItem("WM/Picture");
    for (const Picture &p : pictures) {
        TagLib::ASF::Picture pic;
        pic.setMimeType(toTag(p.mimeType));
        pic.setType(TagLib::ASF::Picture::Type(p.type));
        pic.setDescription(toTag(p.description));
        pic.setPicture(toBytes(p.data));
        tag->addAttribute("WM/Picture", TagLib::ASF::Attribute(pic));
    }
}

// APE keeps one picture per kind, as "Cover Art (Front)" items holding the
// description, a zero byte and the image; the kinds follow the ID3v2 types.
constexpr const char *kApeCoverKinds[21] = {
    "Other",      "File Icon",          "Other File Icon",  "Front",   "Back",           "Leaflet",
    "Media",      "Lead Artist",        "Artist",           "Conductor", "Band",         "Composer",
    "Lyricist",   "Recording Location", "During Recording", "During Performance", "Movie Screen Capture",
    "Colored Fish", "Illustration",     "Band Logo",        "Publisher Logo"};

QString apeCoverKey(int type) { return QStringLiteral("Cover Art (%1)").arg(kApeCoverKinds[type]); }

Pictures apePictures(const TagLib::APE::Tag *tag)
{
    Pictures out;
    const TagLib::APE::ItemListMap &items = tag->itemListMap();
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->second.type() != TagLib::APE::Item::Binary)
            continue;
        const QString key = fromTag(it->second.key());
        for (int type = 0; type <= 20; ++type) {
            if (key.compare(apeCoverKey(type), Qt::CaseInsensitive) != 0)
                continue;
            const QByteArray bytes = fromBytes(it->second.binaryData());
            const qsizetype zero = bytes.indexOf('\0');
            Picture p;
            p.data = zero >= 0 ? bytes.mid(zero + 1) : bytes;
            p.description = zero >= 0 ? QString::fromUtf8(bytes.left(zero)) : QString();
            p.mimeType = guessMimeType(p.data);
            p.type = type;
            out.push_back(p);
        }
    }
    return out;
}

void setApePictures(TagLib::APE::Tag *tag, const Pictures &pictures)
{
    for (int type = 0; type <= 20; ++type)
        tag->removeItem(toTag(apeCoverKey(type)));
    for (const Picture &p : pictures) {
        const TagLib::String key = toTag(apeCoverKey(p.type));
        if (tag->itemListMap().contains(key.upper()))
            continue; // one per kind: the first wins
        tag->setItem(key, TagLib::APE::Item(key, toBytes(p.description.toUtf8() + '\0' + p.data), true));
    }
}

// ---- the tags of one file ----

// The tags of one file, each kind at most once.
struct FileTags {
    TagLib::Ogg::XiphComment *xiph = nullptr;
    TagLib::ASF::Tag *asf = nullptr;
    TagLib::MP4::Tag *mp4 = nullptr;
    TagLib::ID3v2::Tag *id3v2 = nullptr;
    TagLib::APE::Tag *ape = nullptr;
    TagLib::RIFF::Info::Tag *info = nullptr;
    TagLib::ID3v1::Tag *id3v1 = nullptr;
    TagLib::Tag *other = nullptr;       // a format with none of the kinds above
    TagLib::FLAC::File *flac = nullptr; // its pictures are blocks of their own

    // Most complete first: that is where a field two tags hold is read from.
    std::vector<TagLib::Tag *> all() const
    {
        std::vector<TagLib::Tag *> v;
        for (TagLib::Tag *t : {static_cast<TagLib::Tag *>(xiph), static_cast<TagLib::Tag *>(asf),
                               static_cast<TagLib::Tag *>(mp4), static_cast<TagLib::Tag *>(id3v2),
                               static_cast<TagLib::Tag *>(ape), static_cast<TagLib::Tag *>(info),
                               static_cast<TagLib::Tag *>(id3v1), other})
            if (t)
                v.push_back(t);
        return v;
    }
};

// The tags `file` holds on disk, or (forOutput) the ones a new file of its
// format gets: ID3v2 for MP3, both an "id3 " chunk and INFO for WAV, the
// Vorbis comment for FLAC, APE for Musepack, Monkey's Audio and WavPack.
FileTags tagsOf(TagLib::File *file, bool forOutput)
{
    FileTags t;
    if (auto *mp3 = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (forOutput || mp3->hasID3v2Tag())
            t.id3v2 = mp3->ID3v2Tag(true);
        if (!forOutput && mp3->hasAPETag())
            t.ape = mp3->APETag();
        if (!forOutput && mp3->hasID3v1Tag())
            t.id3v1 = mp3->ID3v1Tag();
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        if (forOutput || wav->hasID3v2Tag())
            t.id3v2 = wav->ID3v2Tag();
        if (forOutput || wav->hasInfoTag())
            t.info = wav->InfoTag();
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        if (forOutput || aiff->hasID3v2Tag())
            t.id3v2 = aiff->tag();
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        t.flac = flac;
        if (forOutput || flac->hasXiphComment())
            t.xiph = flac->xiphComment(true);
        if (!forOutput && flac->hasID3v2Tag())
            t.id3v2 = flac->ID3v2Tag();
        if (!forOutput && flac->hasID3v1Tag())
            t.id3v1 = flac->ID3v1Tag();
    } else if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(file)) {
        if (forOutput || mpc->hasAPETag())
            t.ape = mpc->APETag(true);
        if (!forOutput && mpc->hasID3v1Tag())
            t.id3v1 = mpc->ID3v1Tag();
    } else if (auto *monkey = dynamic_cast<TagLib::APE::File *>(file)) {
        if (forOutput || monkey->hasAPETag())
            t.ape = monkey->APETag(true);
        if (!forOutput && monkey->hasID3v1Tag())
            t.id3v1 = monkey->ID3v1Tag();
    } else if (auto *wv = dynamic_cast<TagLib::WavPack::File *>(file)) {
        if (forOutput || wv->hasAPETag())
            t.ape = wv->APETag(true);
        if (!forOutput && wv->hasID3v1Tag())
            t.id3v1 = wv->ID3v1Tag();
    } else if (auto *tta = dynamic_cast<TagLib::TrueAudio::File *>(file)) {
        if (forOutput || tta->hasID3v2Tag())
            t.id3v2 = tta->ID3v2Tag(true);
        if (!forOutput && tta->hasID3v1Tag())
            t.id3v1 = tta->ID3v1Tag();
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        t.asf = asf->tag();
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        t.mp4 = mp4->tag();
    } else if (auto *xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(file->tag())) {
        t.xiph = xiph; // Vorbis, Opus, Speex, FLAC in Ogg
    } else {
        t.other = file->tag();
    }
    return t;
}

Pictures picturesOf(const FileTags &t)
{
    Pictures p;
    if (t.flac)
        p = flacPictures(t.flac->pictureList());
    if (p.empty() && t.xiph)
        p = flacPictures(t.xiph->pictureList());
    if (p.empty() && t.asf)
        p = asfPictures(t.asf);
    if (p.empty() && t.mp4)
        p = mp4Pictures(t.mp4);
    if (p.empty() && t.id3v2)
        p = id3Pictures(t.id3v2);
    if (p.empty() && t.ape)
        p = apePictures(t.ape);
    return p;
}

void setPictures(const FileTags &t, const Pictures &pictures)
{
    if (t.flac) {
        t.flac->removePictures();
        for (const Picture &p : pictures)
            t.flac->addPicture(toFlacPicture(p));
    } else if (t.xiph) {
        t.xiph->removeAllPictures();
        for (const Picture &p : pictures)
            t.xiph->addPicture(toFlacPicture(p));
    }
    if (t.asf)
        setAsfPictures(t.asf, pictures);
    if (t.mp4)
        setMp4Pictures(t.mp4, pictures);
    if (t.id3v2)
        setId3Pictures(t.id3v2, pictures);
    if (t.ape)
        setApePictures(t.ape, pictures);
}

struct ReadTag {
    TagFields fields;
    Properties properties;
    Pictures pictures;
};

ReadTag readTags(const QString &path)
{
    ReadTag r;
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::FileRef ref(encoded.constData(), false);
    if (ref.isNull())
        return r; // the audio is readable, the tag is not: no tag
    const FileTags tags = tagsOf(ref.file(), false);
    for (TagLib::Tag *tag : tags.all()) {
        readFields(tag, r.fields);
        addMissing(r.properties, propertiesOf(tag));
    }
    if (tags.asf) {
        // FFmpeg and some rippers store the year as a plain "date" attribute.
        const TagLib::ASF::AttributeList date = tags.asf->attribute("date");
        if (!date.isEmpty()) {
            const QString text = fromTag(date.front().toString());
            if (r.fields.year == 0)
                r.fields.year = text.left(4).toInt();
            if (!r.properties.contains(QStringLiteral("DATE")) && !text.isEmpty())
                r.properties.insert(QStringLiteral("DATE"), {text});
        }
    }
    r.pictures = picturesOf(tags);
    return r;
}

// "k/n" in each tag's own form; where a tag holds only a number, k.
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

TagLib::ID3v2::Version versionOf(const TagLib::ID3v2::Tag *tag, bool created)
{
    // TagLib writes 2.3 and 2.4 only; a 2.2 tag becomes 2.3, the most widely read.
    return !created && tag && tag->header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
}

void checkWritable(const QString &fileName, const QString &name)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file does not exist").arg(name));
    if (!info.isFile() || !info.isWritable())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file is read-only").arg(name));
    // TagLib 1.13 takes RF64 for RIFF: it puts its chunks over the start of the
    // audio, shifting every sample after them. The audio matters more than a tag.
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && file.read(4) == "RF64")
        throw AudioError(QStringLiteral("Cannot write the tag of %1: it is an RF64 WAV file (over 4 GiB), "
                                        "which the tag library would damage")
                             .arg(name));
}

// Keeps a FileRef open for writing, or throws naming the file.
void openForWriting(TagLib::FileRef &ref, const QByteArray &encoded, const QString &name)
{
    ref = TagLib::FileRef(encoded.constData(), false);
    if (ref.isNull())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: not an audio file the tag writer knows").arg(name));
    if (ref.file()->readOnly())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file cannot be opened for writing").arg(name));
}

// The fields as properties: they count where no property holds them (set
// without a loaded file, or read from a tag field the property map lacks).
Properties fieldsOf(const TAudioInformation2 &info)
{
    Properties fields;
    const auto field = [&fields](const char *key, const QString &v) {
        if (!v.isEmpty())
            fields.insert(QString::fromLatin1(key), {v});
    };
    field("TITLE", info.infoTitle());
    field("ARTIST", info.infoArtist());
    field("ALBUM", info.infoAlbum());
    field("COMMENT", info.infoComments());
    field("DATE", info.infoYear() > 0 ? QString::number(info.infoYear()) : QString());
    field("GENRE", info.GenreName(info.infoGenre()));
    return fields;
}

} // namespace

void TAudioInformation2::LoadFile(const QString &fileName)
{
    // Everything is gathered first, so a failure leaves the previous file's facts.
    const audio_detail::OpenedSource src = audio_detail::openSource(fileName);
    const audio_detail::SourceFacts facts = audio_detail::describeSource(fileName, src);
    ReadTag tags = readTags(fileName);

    totalSamples_ = facts.length;
    sampleRate_ = facts.sampleRate;
    channels_ = facts.channels;
    durationMs_ = sampleRate_ > 0 ? totalSamples_ * 1000 / sampleRate_ : 0;
    fileSize_ = QFileInfo(fileName).size();
    formatText_ = facts.formatText;
    title_ = tags.fields.title;
    artist_ = tags.fields.artist;
    album_ = tags.fields.album;
    comments_ = tags.fields.comments;
    year_ = tags.fields.year;
    genre_ = tags.fields.genre;
    genreSet_ = false;
    track_.clear();
    overrides_.clear();
    loaded_ = {title_, artist_, album_, comments_, year_};
    properties_ = std::move(tags.properties);
    pictures_ = std::move(tags.pictures);
    mpegLayer_ = facts.mpeg.valid ? facts.mpeg.layer : 0;
}

QMap<QString, QStringList> TAudioInformation2::edits() const
{
    QMap<QString, QStringList> e;
    const auto text = [&e](const char *key, const QString &now, const QString &loaded) {
        if (now != loaded)
            e.insert(QString::fromLatin1(key), now.isEmpty() ? QStringList() : QStringList{now});
    };
    text("TITLE", title_, loaded_.title);
    text("ARTIST", artist_, loaded_.artist);
    text("ALBUM", album_, loaded_.album);
    text("COMMENT", comments_, loaded_.comments);
    if (year_ != loaded_.year)
        e.insert(QStringLiteral("DATE"), year_ > 0 ? QStringList{QString::number(year_)} : QStringList());
    if (genreSet_) {
        const QString name = GenreName(genre_);
        e.insert(QStringLiteral("GENRE"), name.isEmpty() ? QStringList() : QStringList{name});
    }
    if (!track_.isEmpty())
        e.insert(QStringLiteral("TRACKNUMBER"), {track_});
    for (auto it = overrides_.cbegin(); it != overrides_.cend(); ++it) {
        if (!it.value().isEmpty())
            e.insert(it.key(), {it.value()});
    }
    return e;
}

void TAudioInformation2::ClearTag()
{
    title_.clear();
    artist_.clear();
    album_.clear();
    comments_.clear();
    year_ = 0;
    genre_ = 255;
    genreSet_ = false;
    track_.clear();
    overrides_.clear();
    loaded_ = {};
    properties_.clear();
    pictures_.clear();
}

QString TAudioInformation2::GenreName(int genre) const
{
    if (genre < 0 || genre >= 255)
        return {};
    return fromTag(TagLib::ID3v1::genre(genre));
}

void TAudioInformation2::SaveTag(const QString &fileName)
{
    const QString name = displayName(fileName);
    checkWritable(fileName, name);
    const QFileInfo info(fileName);

    // A tag that grows makes TagLib rewrite the whole file; an interruption
    // there would cut the audio. So the tag goes into a copy beside the file,
    // which then replaces it in one rename. Without a writable folder the tag
    // is written in place. The copy keeps the extension: TagLib picks the file
    // type by it.
    const QString target = info.canonicalFilePath();
    QString work = target;
    {
        QTemporaryFile probe(QFileInfo(target).dir().filePath(QStringLiteral(".%1.tag-XXXXXX.%2").arg(info.completeBaseName(), info.suffix())));
        probe.setAutoRemove(false);
        if (probe.open()) {
            work = probe.fileName();
            probe.close();
            QFile::remove(work);
            if (!QFile::copy(target, work)) {
                QFile::remove(work);
                throw AudioError(QStringLiteral("Cannot write the tag of %1: the copy beside it could not be made (disk full?)").arg(name));
            }
        }
    }
    struct RemoveOnFailure {
        QString path;
        ~RemoveOnFailure()
        {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } cleanup{work != target ? work : QString()};

    writeTag(work, name);

    if (work != target) {
        QFile::setPermissions(work, QFile::permissions(target));
        std::error_code ec;
        std::filesystem::rename(std::filesystem::path(QFile::encodeName(work).toStdString()),
                                std::filesystem::path(QFile::encodeName(target).toStdString()), ec);
        if (ec)
            throw AudioError(QStringLiteral("Cannot write the tag of %1: %2").arg(name, QString::fromLocal8Bit(ec.message().c_str())));
        cleanup.path.clear();
    }
}

void TAudioInformation2::writeTag(const QString &path, const QString &name) const
{
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::FileRef ref;
    openForWriting(ref, encoded, name);

    Properties p = withEdits(properties_, edits());
    addMissing(p, fieldsOf(*this));
    // The program that made the source did not make this file.
    const QStringList notCarried{QStringLiteral("ENCODING"), QStringLiteral("ENCODER")};
    for (const QString &key : notCarried)
        p.remove(key);
    const TagLib::PropertyMap map = toPropertyMap(p);

    TagLib::File *file = ref.file();
    const FileTags tags = tagsOf(file, true);
    for (TagLib::Tag *tag : tags.all()) {
        if (tag == tags.info)
            writeInfo(tags.info, p, notCarried);
        else if (tag == tags.other)
            file->setProperties(map); // dispatches to the format's own tags
        else
            setPropertiesOf(tag, map);
    }
    setPictures(tags, pictures_);

    bool saved = false;
    if (auto *mp3 = dynamic_cast<TagLib::MPEG::File *>(file)) {
        // ID3v2.3 alone: the most widely read version; no ID3v1/APE copy left
        // behind with old values. The audio frames and their info tag stay as they are.
        saved = mp3->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        // Players read either the RIFF INFO list or an "id3 " chunk: write both.
        saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3);
    } else {
        saved = file->save();
    }
    if (!saved)
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the tag library could not save the file").arg(name));
}

void TAudioInformation2::UpdateTag(const QString &fileName)
{
    const QString name = displayName(fileName);
    checkWritable(fileName, name);
    const Properties changes = edits();
    if (changes.isEmpty())
        return; // nothing edited: the file is not touched

    // In place, through the file itself: a copy renamed over it would give the
    // user's file a new inode, losing its hard links, and its owner when
    // someone else's folder is writable to us.
    const QByteArray encoded = QFile::encodeName(fileName);
    TagLib::FileRef ref;
    openForWriting(ref, encoded, name);
    TagLib::File *file = ref.file();
    FileTags tags = tagsOf(file, false);
    const bool created = tags.all().empty();
    if (created)
        tags = tagsOf(file, true);
    for (TagLib::Tag *tag : tags.all())
        editTag(tag, changes);

    bool saved = false;
    if (auto *mp3 = dynamic_cast<TagLib::MPEG::File *>(file)) {
        int which = 0;
        if (tags.id3v2)
            which |= TagLib::MPEG::File::ID3v2;
        if (tags.ape)
            which |= TagLib::MPEG::File::APE;
        if (tags.id3v1)
            which |= TagLib::MPEG::File::ID3v1;
        saved = mp3->save(which, TagLib::File::StripNone, versionOf(tags.id3v2, created), TagLib::File::DoNotDuplicate);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        int which = 0;
        if (tags.id3v2)
            which |= TagLib::RIFF::WAV::File::ID3v2;
        if (tags.info)
            which |= TagLib::RIFF::WAV::File::Info;
        saved = wav->save(TagLib::RIFF::WAV::File::TagTypes(which), TagLib::File::StripNone, versionOf(tags.id3v2, created));
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        saved = aiff->save(versionOf(tags.id3v2, created));
    } else {
        saved = file->save();
    }
    if (!saved)
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the tag library could not save the file").arg(name));

    // The file now holds the fields: a later edit is measured from them.
    properties_ = withEdits(properties_, changes);
    loaded_ = {title_, artist_, album_, comments_, year_};
    genreSet_ = false;
}

QByteArray TAudioInformation2::RenderId3v2Tag(const QString &sourceFileName) const
{
    const QByteArray encoded = QFile::encodeName(sourceFileName);
    TagLib::MPEG::File file(encoded.constData(), false);
    if (!file.isValid())
        throw AudioError(QStringLiteral("Cannot read the tag of %1").arg(displayName(sourceFileName)));
    // The tag is changed in memory only; the source is never saved here.
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    const bool hadPictures = !tag->frameList("APIC").isEmpty();
    Properties p = propertiesOf(tag);
    addMissing(p, properties_);
    p = withEdits(p, edits());
    addMissing(p, fieldsOf(*this));
    // Frames whose fields are unchanged are kept as they are, with their encodings.
    tag->setProperties(toPropertyMap(p));
    if (!hadPictures && !pictures_.empty())
        setId3Pictures(tag, pictures_);
    const TagLib::ByteVector bytes = tag->render(TagLib::ID3v2::v3);
    return QByteArray(bytes.data(), int(bytes.size()));
}
