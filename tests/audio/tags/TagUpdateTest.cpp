// Updating the tag of the user's own file: only the edited field changes.
#include "TagTestUtil.h"
#include "tests/common/AudioFixtures.h"

#include "audio/AudioError.h"
#include "audio/TAudioInformation2.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

using namespace tagtest;

namespace {

// The MPEG frames of an MP3, without the ID3v2 tag in front and the APE and
// ID3v1 tags behind.
QByteArray Mp3Frames(QByteArray b)
{
    if (b.startsWith("ID3") && b.size() >= 10) {
        const auto byte = [&b](int i) { return qint64(uchar(b[i])); };
        const qint64 size = (byte(6) << 21 | byte(7) << 14 | byte(8) << 7 | byte(9)) + 10 + ((byte(5) & 0x10) ? 10 : 0);
        b = b.mid(size);
    }
    if (b.size() >= 128 && b.mid(b.size() - 128, 3) == "TAG")
        b.chop(128);
    if (b.size() >= 32 && b.mid(b.size() - 32, 8) == "APETAGEX") {
        const auto le32 = [&b](qsizetype at) {
            quint32 v = 0;
            for (int i = 3; i >= 0; --i)
                v = v << 8 | uchar(b[at + i]);
            return v;
        };
        const qsizetype footer = b.size() - 32;
        const quint32 size = le32(footer + 12);
        const bool hasHeader = le32(footer + 20) & 0x80000000u;
        b.chop(qsizetype(size) + (hasHeader ? 32 : 0));
    }
    return b;
}

// An MD5 of the audio packets as FFmpeg demuxes them, untouched by any decoder.
QByteArray AudioPacketsMd5(const QString &path)
{
    QByteArray out;
    fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "md5", "-"}, &out);
    return out.trimmed();
}

struct stat StatOf(const QString &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st;
}

class TagUpdate : public ::testing::TestWithParam<const char *> {};

} // namespace

TEST_P(TagUpdate, ChangesOnlyTheEditedFieldInTheSameFile)
{
    QTemporaryDir dir;
    const QString extension = GetParam();
    // The MP3 carries all three kinds of tag, its ID3v2 as version 2.4.
    const QStringList extra = extension == "mp3" ? QStringList{"-id3v2_version", "4", "-write_id3v1", "1"} : QStringList{};
    const QString cover = MakeCover(dir.path());
    const QString path = MakeTaggedSource(dir.path(), extension, cover, extra);
    ASSERT_FALSE(path.isEmpty());
    if (extension == "mp3") {
        // FFmpeg writes no APE tag: TagLib adds one, touching nothing else.
        const QByteArray encoded = QFile::encodeName(path);
        TagLib::MPEG::File f(encoded.constData(), false);
        f.APETag(true)->setTitle("Night Drive");
        f.APETag()->setArtist(TagLib::String("Néon", TagLib::String::UTF8));
        ASSERT_TRUE(f.save(TagLib::MPEG::File::APE, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate));
    }
    const QString link = dir.filePath("link." + extension);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    const struct stat before = StatOf(path);
    const QByteArray bytesBefore = ReadAll(path);
    const QJsonObject tagsBefore = fixtures::ProbeFile(path).tags;
    const QByteArray audioBefore = AudioPacketsMd5(path);

    // What the wizard's Update does: every box back into the component, one of them edited.
    TAudioInformation2 info;
    info.LoadFile(path);
    info.setInfoTitle("Edited");
    info.setInfoArtist(info.infoArtist());
    info.setInfoAlbum(info.infoAlbum());
    info.setInfoYear(info.infoYear());
    info.UpdateTag(path);

    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_ino, before.st_ino) << "updated in place";
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    QJsonObject tagsAfter = fixtures::ProbeFile(path).tags;
    EXPECT_EQ(tagsAfter.value("title").toString(), "Edited");
    tagsAfter.insert("title", tagsBefore.value("title"));
    EXPECT_EQ(tagsAfter, tagsBefore) << "every other field as it was";
    EXPECT_EQ(AudioPacketsMd5(path), audioBefore);
    if (extension != "ogg" && extension != "wav") {
        EXPECT_EQ(AttachedPicture(path), ReadAll(cover));
    }

    const QByteArray bytesAfter = ReadAll(path);
    if (extension == "mp3") {
        EXPECT_EQ(Mp3Frames(bytesAfter), Mp3Frames(bytesBefore)) << "the frames, the Info frame among them, byte for byte";
        EXPECT_EQ(bytesAfter.at(3), 4) << "still ID3v2.4";
        const QByteArray encoded = QFile::encodeName(path);
        TagLib::MPEG::File f(encoded.constData(), false);
        ASSERT_TRUE(f.hasID3v1Tag() && f.hasAPETag());
        EXPECT_EQ(f.ID3v1Tag()->title(), "Edited");
        EXPECT_EQ(f.APETag()->title(), "Edited");
        EXPECT_EQ(f.APETag()->artist(), TagLib::String("Néon", TagLib::String::UTF8));
    }
    if (extension == "wav") {
        const QByteArray encoded = QFile::encodeName(path);
        TagLib::RIFF::WAV::File f(encoded.constData(), false);
        EXPECT_TRUE(f.hasInfoTag());
        EXPECT_FALSE(f.hasID3v2Tag()) << "no tag kind the file did not have";
    }

    // Nothing edited since: the file is not written at all.
    info.UpdateTag(path);
    EXPECT_EQ(ReadAll(path), bytesAfter);
}

INSTANTIATE_TEST_SUITE_P(Formats, TagUpdate, ::testing::Values("mp3", "wav", "flac", "ogg", "m4a"));

TEST(TagUpdateErrors, AMissingFileIsNamed)
{
    TAudioInformation2 info;
    info.setInfoTitle("x");
    try {
        info.UpdateTag("/nonexistent/dir/gone.mp3");
        FAIL() << "no error";
    } catch (const AudioError &e) {
        EXPECT_TRUE(e.text().contains("gone.mp3")) << e.text().toStdString();
    }
}
