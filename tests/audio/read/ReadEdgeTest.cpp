// Inputs outside the plain path: files that are not audio, files that cannot
// be written, tags written by other programs, streams that change format.
#include "tests/audio/read/ReadFixtures.h"

#include "audio/AudioError.h"
#include "audio/Decoder.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "tests/common/AsOrdinaryUser.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <gtest/gtest.h>

using audio_detail::Decoder;

namespace {

int64_t framesOf(Decoder &dec)
{
    int64_t frames = 0;
    for (PcmArray a; !(a = dec.read(8192)).empty();)
        frames += int64_t(a.size()) / dec.channels();
    return frames;
}

QString writeText(const QString &name, const QByteArray &text)
{
    const QString p = readfix::TempPath(name);
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return p;
}

TEST(ReadErrors, NonAudioFileFailsWithItsNameInEveryComponent)
{
    const QString notAudio = writeText("letter.mp3", QByteArray("Dear reader,\nthis is not a song.\n").repeated(200));
    try {
        Decoder dec(notAudio);
        ADD_FAILURE() << "a text file opened as audio";
    } catch (const AudioError &e) {
        EXPECT_TRUE(e.text().contains("letter.mp3")) << e.what();
    }
    TAudioFile2 file;
    file.OpenFile(notAudio, 0, 1);
    EXPECT_NE(file.LastError(), 0);
    EXPECT_TRUE(file.ReadArray(100).empty());

    TAudioInformation2 info;
    EXPECT_THROW(info.LoadFile(notAudio), AudioError);
}

TEST(ReadErrors, MissingFileIsNamedAndLeavesThePreviousFacts)
{
    const auto &good = readfix::Get(readfix::Case::Wav16Mono);
    TAudioInformation2 info;
    info.LoadFile(good.path);
    const QString missing = readfix::TempPath("nowhere/gone.wav");
    try {
        info.LoadFile(missing);
        ADD_FAILURE() << "a missing file loaded";
    } catch (const AudioError &e) {
        EXPECT_TRUE(e.text().contains("gone.wav")) << e.what();
        EXPECT_TRUE(e.text().contains("does not exist")) << e.what();
    }
    EXPECT_EQ(info.TotalSamples(), good.trueLength);
    EXPECT_THROW(info.SaveTag(missing), AudioError);
}

TEST(ReadErrors, SaveTagOnReadOnlyFileThrowsAndChangesNothing)
{
    const QString copy = readfix::CopyOf(readfix::Get(readfix::Case::Mp3CbrTagged), "readonly");
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_TRUE(QFile::setPermissions(copy, QFileDevice::ReadOwner));

    TAudioInformation2 info;
    info.setInfoTitle("New");
    {
        // The folder is writable, so a tagger that writes a new file and
        // renames it over the old one would get past the permission.
        AsOrdinaryUser user{QFileInfo(copy).path(), copy};
        try {
            info.SaveTag(copy);
            ADD_FAILURE() << "a read-only file was tagged";
        } catch (const AudioError &e) {
            EXPECT_TRUE(e.text().contains(QFileInfo(copy).fileName())) << e.what();
        }
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(ReadErrors, SaveTagKeepsTheFilesPermissions)
{
    const QString copy = readfix::CopyOf(readfix::Get(readfix::Case::Ogg), "perms");
    const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(copy, perms));
    TAudioInformation2 info;
    info.setInfoTitle("Kept");
    info.SaveTag(copy);
    EXPECT_EQ(QFile::permissions(copy) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                          QFileDevice::WriteGroup | QFileDevice::ReadOther),
              perms);
    info.LoadFile(copy);
    EXPECT_EQ(info.infoTitle(), "Kept");
}

TEST(Genres, FollowTheId3v1Table)
{
    TAudioInformation2 info;
    EXPECT_EQ(info.GenreName(0), "Blues");
    EXPECT_EQ(info.GenreName(17), "Rock");
    EXPECT_EQ(info.GenreName(255), "");
    EXPECT_EQ(info.GenreName(-1), "");
    EXPECT_EQ(info.infoGenre(), 255) << "unknown until a file says otherwise";
}

// Tags as other programs write them, each in its container's own format.
class ForeignTags : public ::testing::TestWithParam<const char *> {};

TEST_P(ForeignTags, AreRead)
{
    const QString ext = GetParam();
    const QString p = readfix::TempPath("foreign." + ext);
    const QStringList codec = ext == "mp3" ? QStringList{"-c:a", "libmp3lame", "-id3v2_version", "3"}
                              : ext == "ogg" ? QStringList{"-c:a", "libvorbis"}
                              : ext == "wma" ? QStringList{"-c:a", "wmav2"}
                                             : QStringList{"-c:a", "pcm_s16le"};
    fixtures::MakeTone(p, 1.0, 44100, 2,
                       codec + QStringList{"-metadata", "title=Foreign Title", "-metadata", "artist=Someone", "-metadata",
                                           "album=Record", "-metadata", "date=2004", "-metadata", "genre=Jazz"});
    TAudioInformation2 info;
    info.LoadFile(p);
    EXPECT_EQ(info.infoTitle(), "Foreign Title");
    EXPECT_EQ(info.infoArtist(), "Someone");
    EXPECT_EQ(info.infoAlbum(), "Record");
    EXPECT_EQ(info.infoYear(), 2004);
    EXPECT_EQ(info.GenreName(info.infoGenre()), "Jazz");
}

INSTANTIATE_TEST_SUITE_P(Containers, ForeignTags, ::testing::Values("mp3", "ogg", "wma", "wav"));

TEST(ReadStreams, CoverArtDoesNotDisturbTheAudio)
{
    const QString cover = readfix::TempPath("cover.png");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=64x64", "-frames:v", "1", cover}), 0);
    const auto &plain = readfix::Get(readfix::Case::Mp3CbrTagged);
    const QString withArt = readfix::TempPath("withart.mp3");
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-i", plain.path, "-i", cover, "-map", "0", "-map", "1",
                                       "-c", "copy", "-id3v2_version", "3", "-disposition:v", "attached_pic", withArt}),
              0);
    Decoder dec(withArt);
    EXPECT_EQ(dec.length(), plain.trueLength);
    EXPECT_EQ(framesOf(dec), plain.trueLength);
    TAudioInformation2 info;
    info.LoadFile(withArt);
    EXPECT_EQ(info.TotalSamples(), plain.trueLength);
}

// Two bare MPEG streams joined byte-wise: the rate and channel count change in
// the middle. The output keeps the first format throughout.
TEST(ReadStreams, FormatChangeMidStreamIsConverted)
{
    const QString a = readfix::TempPath("join_a.mp3");
    const QString b = readfix::TempPath("join_b.mp3");
    fixtures::MakeTone(a, 1.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"});
    fixtures::MakeTone(b, 1.0, 22050, 1, {"-c:a", "libmp3lame", "-b:a", "64k", "-write_xing", "0", "-id3v2_version", "0"});
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    const QString joined = writeText("joined.mp3", fa.readAll() + fb.readAll());

    Decoder dec(joined);
    EXPECT_EQ(dec.sampleRate(), 44100);
    EXPECT_EQ(dec.channels(), 2);
    const int64_t expected = fixtures::DecodedFrames(a) + 2 * fixtures::DecodedFrames(b);
    EXPECT_NEAR(double(framesOf(dec)), double(expected), 2 * 1152.0);
}

} // namespace
