// Writing tags: a new output's whole tag, an edit of the user's own file in
// place, and an ID3v2 tag rendered for the frames of an MP3 part.
#include "audio/TAudioInformation2.h"
#include "audio/AudioError.h"
#include "audio/FileTags.h"
#include "audio/Mp4Gapless.h"
#include "audio/ReadSource.h"
#include "audio/TagPictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#include <taglib/aifffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2header.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

using namespace audio_detail;

namespace {

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

void dropChapterProperties(Properties &p)
{
    for (auto it = p.begin(); it != p.end();)
        it = IsChapterProperty(it.key()) ? p.erase(it) : std::next(it);
}

} // namespace

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
    if (!carryChapters_)
        dropChapterProperties(p);
    const TagLib::PropertyMap map = toPropertyMap(p);

    TagLib::File *file = ref.file();
    KeptGaplessInfo ownGapless(file);
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
    ownGapless.Restore();

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
    if (!carryChapters_) {
        dropChapterProperties(p);
        for (const char *id : {"CHAP", "CTOC"}) {
            const TagLib::ID3v2::FrameList frames = tag->frameList(id);
            for (TagLib::ID3v2::Frame *frame : frames)
                tag->removeFrame(frame);
        }
    }
    // Frames whose fields are unchanged are kept as they are, with their encodings.
    tag->setProperties(toPropertyMap(p));
    if (!hadPictures && !pictures_.empty())
        setId3Pictures(tag, pictures_);
    const TagLib::ByteVector bytes = tag->render(TagLib::ID3v2::v3);
    return QByteArray(bytes.data(), int(bytes.size()));
}
