#include "audio/TAudioInformation2.h"
#include "audio/AudioError.h"
#include "audio/ReadSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/asftag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>
#include <taglib/wavfile.h>

using audio_detail::displayName;

namespace {

QString fromTag(const TagLib::String &s) { return QString::fromStdWString(s.toWString()).trimmed(); }
TagLib::String toTag(const QString &s) { return TagLib::String(s.toStdWString()); }

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

// Fields missing from `tag` are taken from `fallback` (RIFF INFO behind ID3v2 in a WAV).
void readFields(const TagLib::Tag *tag, TagFields &f)
{
    if (!tag)
        return;
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

TagFields readTags(const QString &path)
{
    TagFields f;
    const QByteArray encoded = QFile::encodeName(path);
    TagLib::FileRef ref(encoded.constData(), false);
    if (ref.isNull())
        return f; // the audio is readable, the tag is not: no tag
    if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(ref.file())) {
        if (wav->hasID3v2Tag())
            readFields(wav->ID3v2Tag(), f);
        if (wav->hasInfoTag())
            readFields(wav->InfoTag(), f);
        return f;
    }
    readFields(ref.tag(), f);
    if (auto *asf = dynamic_cast<TagLib::ASF::File *>(ref.file()); asf && f.year == 0) {
        // FFmpeg and some rippers store the year as a plain "date" attribute.
        const auto &attributes = asf->tag()->attributeListMap();
        if (attributes.contains("date") && !attributes["date"].isEmpty())
            f.year = fromTag(attributes["date"].front().toString()).left(4).toInt();
    }
    return f;
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
    } else if (auto *asf = dynamic_cast<TagLib::ASF::Tag *>(tag)) {
        asf->setAttribute("WM/TrackNumber", TagLib::ASF::Attribute(text));
    } else if (auto *ape = dynamic_cast<TagLib::APE::Tag *>(tag)) {
        ape->addValue("Track", text, true);
    } else if (auto *riff = dynamic_cast<TagLib::RIFF::Info::Tag *>(tag)) {
        riff->setFieldText("IPRT", text);
    } else {
        tag->setTrack(unsigned(qMax(0, track.section('/', 0, 0).toInt())));
    }
}

// The fields the windows edit, over whatever else the tag holds.
void applyFields(const TAudioInformation2 &info, TagLib::Tag *tag)
{
    if (!tag)
        return;
    tag->setTitle(toTag(info.infoTitle()));
    tag->setArtist(toTag(info.infoArtist()));
    tag->setAlbum(toTag(info.infoAlbum()));
    tag->setComment(toTag(info.infoComments()));
    tag->setYear(info.infoYear() > 0 ? unsigned(info.infoYear()) : 0u);
    tag->setGenre(toTag(info.GenreName(info.infoGenre())));
    if (!info.infoTrack().isEmpty())
        setTrack(tag, info.infoTrack());
}

} // namespace

void TAudioInformation2::LoadFile(const QString &fileName)
{
    // Everything is gathered first, so a failure leaves the previous file's facts.
    const audio_detail::OpenedSource src = audio_detail::openSource(fileName);
    const audio_detail::SourceFacts facts = audio_detail::describeSource(fileName, src);
    const TagFields tags = readTags(fileName);

    totalSamples_ = facts.length;
    sampleRate_ = facts.sampleRate;
    channels_ = facts.channels;
    durationMs_ = sampleRate_ > 0 ? totalSamples_ * 1000 / sampleRate_ : 0;
    fileSize_ = QFileInfo(fileName).size();
    formatText_ = facts.formatText;
    title_ = tags.title;
    artist_ = tags.artist;
    album_ = tags.album;
    comments_ = tags.comments;
    year_ = tags.year;
    genre_ = tags.genre;
    mpegLayer_ = facts.mpeg.valid ? facts.mpeg.layer : 0;
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
    const QFileInfo info(fileName);
    if (!info.exists())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file does not exist").arg(name));
    if (!info.isFile() || !info.isWritable())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file is read-only").arg(name));

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
    TagLib::FileRef ref(encoded.constData(), false);
    if (ref.isNull())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: not an audio file the tag writer knows").arg(name));
    if (ref.file()->readOnly())
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the file cannot be opened for writing").arg(name));

    const auto apply = [this](TagLib::Tag *tag) { applyFields(*this, tag); };

    bool saved = false;
    if (auto *mp3 = dynamic_cast<TagLib::MPEG::File *>(ref.file())) {
        // ID3v2.3 alone: the most widely read version; no ID3v1/APE copy left
        // behind with old values. The audio frames and their info tag stay as they are.
        apply(mp3->ID3v2Tag(true));
        saved = mp3->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(ref.file())) {
        // Players read either the RIFF INFO list or an "id3 " chunk: write both.
        apply(wav->ID3v2Tag());
        apply(wav->InfoTag());
        saved = wav->save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3);
    } else if (auto *mpc = dynamic_cast<TagLib::MPC::File *>(ref.file())) {
        apply(mpc->APETag(true));
        saved = mpc->save();
    } else {
        apply(ref.tag());
        saved = ref.save();
    }
    if (!saved)
        throw AudioError(QStringLiteral("Cannot write the tag of %1: the tag library could not save the file").arg(name));
}

QByteArray TAudioInformation2::RenderId3v2Tag(const QString &sourceFileName) const
{
    const QByteArray encoded = QFile::encodeName(sourceFileName);
    TagLib::MPEG::File file(encoded.constData(), false);
    if (!file.isValid())
        throw AudioError(QStringLiteral("Cannot read the tag of %1").arg(displayName(sourceFileName)));
    // The tag is changed in memory only; the source is never saved here.
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    applyFields(*this, tag);
    const TagLib::ByteVector bytes = tag->render(TagLib::ID3v2::v3);
    return QByteArray(bytes.data(), int(bytes.size()));
}
