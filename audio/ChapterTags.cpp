// Chapters into a file's own tags: ID3v2 CHAP/CTOC frames in an MP3,
// CHAPTERnnn comments in a Vorbis comment (Ogg Vorbis, Opus, FLAC).
#include "audio/Chapters.h"

#include "audio/AudioError.h"
#include "audio/Mp4Chapters.h"
#include "audio/ReadSource.h"
#include "audio/TagGlue.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <taglib/chapterframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <cmath>

using namespace audio_detail;

namespace {

int64_t milliseconds(int64_t frame, int rate)
{
    return rate > 0 ? int64_t(std::llround(double(frame) * 1000.0 / rate)) : 0;
}

QString commentKey(size_t index)
{
    return QStringLiteral("CHAPTER%1").arg(qulonglong(index + 1), 3, 10, QChar('0'));
}

bool isChapterKey(const QString &key)
{
    static const QRegularExpression pattern(QStringLiteral("^CHAPTER\\d+(NAME|URL)?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(key).hasMatch();
}

void writeComments(TagLib::Ogg::XiphComment *comment, const ChapterList &chapters)
{
    TagLib::StringList stale;
    for (const auto &field : comment->fieldListMap())
        if (isChapterKey(fromTag(field.first)))
            stale.append(field.first);
    for (const TagLib::String &key : stale)
        comment->removeFields(key);
    // FFmpeg takes a NAME only after its time; the comment keeps its keys in
    // sorted order, which puts CHAPTER001 before CHAPTER001NAME.
    for (size_t i = 0; i < chapters.size(); ++i) {
        const QString key = commentKey(i);
        comment->addField(toTag(key), toTag(ChapterTimeText(chapters[i].startFrame, chapters[i].sampleRate)));
        comment->addField(toTag(key + QStringLiteral("NAME")), toTag(chapters[i].title));
    }
}

void writeFrames(TagLib::ID3v2::Tag *tag, const ChapterList &chapters, int64_t endFrame)
{
    for (const char *id : {"CHAP", "CTOC"}) {
        const TagLib::ID3v2::FrameList frames = tag->frameList(id);
        for (TagLib::ID3v2::Frame *frame : frames)
            tag->removeFrame(frame);
    }
    TagLib::ByteVectorList ids;
    for (size_t i = 0; i < chapters.size(); ++i) {
        const ChapterMark &c = chapters[i];
        const int64_t end = i + 1 < chapters.size() ? chapters[i + 1].startFrame : endFrame;
        const TagLib::ByteVector id = TagLib::ByteVector(QStringLiteral("chp%1").arg(i).toLatin1().constData());
        auto *title = new TagLib::ID3v2::TextIdentificationFrame("TIT2", TagLib::String::UTF16);
        title->setText(toTag(c.title));
        TagLib::ID3v2::FrameList embedded;
        embedded.append(title);
        // Offsets unknown (all ones): readers go by the times.
        auto *chapter = new TagLib::ID3v2::ChapterFrame(id, unsigned(milliseconds(c.startFrame, c.sampleRate)),
                                                        unsigned(milliseconds(end, c.sampleRate)), 0xFFFFFFFF,
                                                        0xFFFFFFFF, embedded);
        tag->addFrame(chapter);
        ids.append(id);
    }
    if (ids.isEmpty())
        return;
    auto *toc = new TagLib::ID3v2::TableOfContentsFrame("toc", ids);
    toc->setIsTopLevel(true);
    toc->setIsOrdered(true);
    tag->addFrame(toc);
}

} // namespace

bool FormatCarriesChapters(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == "mp3" || ext == "ogg" || ext == "opus" || ext == "flac" || ext == "m4a" || ext == "m4b";
}

QString ChapterTimeText(int64_t frame, int sampleRate)
{
    const int64_t ms = milliseconds(frame, sampleRate);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QChar('0'))
        .arg(ms / 60000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

void WriteChapters(const QString &path, const ChapterList &chapters, int64_t endFrame)
{
    const QString name = displayName(path);
    const QByteArray encoded = QFile::encodeName(path);
    const QString ext = QFileInfo(path).suffix().toLower();
    bool saved = false;
    bool opened = false;
    if (ext == "mp3") {
        TagLib::MPEG::File file(encoded.constData(), false);
        if ((opened = file.isValid() && !file.readOnly())) {
            writeFrames(file.ID3v2Tag(true), chapters, endFrame);
            // As the merge's tag is written: ID3v2.3 alone, the audio untouched.
            saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                              TagLib::File::DoNotDuplicate);
        }
    } else if (ext == "ogg") {
        TagLib::Ogg::Vorbis::File file(encoded.constData(), false);
        if ((opened = file.isValid() && !file.readOnly())) {
            writeComments(file.tag(), chapters);
            saved = file.save();
        }
    } else if (ext == "opus") {
        TagLib::Ogg::Opus::File file(encoded.constData(), false);
        if ((opened = file.isValid() && !file.readOnly())) {
            writeComments(file.tag(), chapters);
            saved = file.save();
        }
    } else if (ext == "flac") {
        TagLib::FLAC::File file(encoded.constData(), false);
        if ((opened = file.isValid() && !file.readOnly())) {
            writeComments(file.xiphComment(true), chapters);
            saved = file.save();
        }
    } else if (ext == "m4a" || ext == "m4b") {
        writeMp4Chapters(path, chapters, endFrame);
        return;
    } else {
        throw AudioError(QStringLiteral("Cannot write chapters into %1: its format holds none").arg(name));
    }
    if (!opened)
        throw AudioError(QStringLiteral("Cannot write the chapters of %1: the file cannot be opened for writing").arg(name));
    if (!saved)
        throw AudioError(QStringLiteral("Cannot write the chapters of %1: the tag library could not save the file").arg(name));
}

namespace audio_detail {
bool IsChapterProperty(const QString &key) { return isChapterKey(key); }
} // namespace audio_detail
