#include "audio/TagPictures.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4tag.h>

namespace audio_detail {
namespace {

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

} // namespace

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

namespace {

// APE keeps one picture per kind, as "Cover Art (Front)" items holding the
// description, a zero byte and the image; the kinds follow the ID3v2 types.
constexpr const char *kApeCoverKinds[21] = {
    "Other",      "File Icon",          "Other File Icon",  "Front",   "Back",           "Leaflet",
    "Media",      "Lead Artist",        "Artist",           "Conductor", "Band",         "Composer",
    "Lyricist",   "Recording Location", "During Recording", "During Performance", "Movie Screen Capture",
    "Colored Fish", "Illustration",     "Band Logo",        "Publisher Logo"};

QString apeCoverKey(int type) { return QStringLiteral("Cover Art (%1)").arg(kApeCoverKinds[type]); }

} // namespace

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

} // namespace audio_detail
