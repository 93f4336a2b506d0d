#include "audio/FileTags.h"
#include "audio/TagPictures.h"

#include <QFile>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

namespace audio_detail {
namespace {

// Musepack, Monkey's Audio and WavPack files: an APE tag is written, an
// ID3v1 tag only read. Their classes share no base that offers these calls.
template <typename File>
void apeFileTags(File *file, bool forOutput, FileTags &t)
{
    if (forOutput || file->hasAPETag())
        t.ape = file->APETag(true);
    if (!forOutput && file->hasID3v1Tag())
        t.id3v1 = file->ID3v1Tag();
}

} // namespace

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
        apeFileTags(mpc, forOutput, t);
    } else if (auto *monkey = dynamic_cast<TagLib::APE::File *>(file)) {
        apeFileTags(monkey, forOutput, t);
    } else if (auto *wv = dynamic_cast<TagLib::WavPack::File *>(file)) {
        apeFileTags(wv, forOutput, t);
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

} // namespace audio_detail
