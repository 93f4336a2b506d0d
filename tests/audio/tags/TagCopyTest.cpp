// The whole tag of a source carried into new files of every output format,
// judged by ffprobe/ffmpeg.
#include "TagTestUtil.h"
#include "tests/audio/write/WriteTestUtil.h"
#include "tests/common/AudioFixtures.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <memory>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

using namespace tagtest;

namespace {

struct Output {
    const char *extension;
    std::function<void(TAudioFile2 &)> configure;
    const char *name = nullptr; // when the extension does not tell the format
};

const Output kOutputs[] = {
    {"mp3", [](TAudioFile2 &f) { f.SetMp3Format(44100, 128, 2); }},
    {"wav", [](TAudioFile2 &f) { f.SetWavFormat(44100, 2, 16); }},
    {"ogg", [](TAudioFile2 &f) { f.SetOggFormat(44100, 2, 128, 0, 0, -1); }},
    {"wma", [](TAudioFile2 &f) { f.SetWmaProfile(38); }},
    {"flac", [](TAudioFile2 &f) { f.SetFlacFormat(44100, 2, 16, 5); }},
    {"opus", [](TAudioFile2 &f) { f.SetOpusFormat(128, 0, 10); }},
    {"m4a", [](TAudioFile2 &f) { f.SetM4aFormat(44100, 2, 128); }},
    {"m4a", [](TAudioFile2 &f) { f.SetAlacFormat(44100, 2, 16); }, "alac"},
};

// FFmpeg reads no picture from a WAV's "id3 " chunk and none of its fields
// when RIFF INFO is present: TagLib reads them there.
std::unique_ptr<TagLib::RIFF::WAV::File> OpenWav(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    return std::make_unique<TagLib::RIFF::WAV::File>(encoded.constData(), false);
}

QByteArray PictureOf(const QString &path)
{
    if (!path.endsWith(".wav"))
        return AttachedPicture(path);
    const auto wav = OpenWav(path);
    for (auto *frame : wav->ID3v2Tag()->frameList("APIC"))
        if (auto *apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
            return QByteArray(apic->picture().data(), int(apic->picture().size()));
    return {};
}

// The fields a player finds in the file, by FFmpeg's names.
QJsonObject TagsOf(const QString &path)
{
    QJsonObject tags = fixtures::ProbeFile(path).tags;
    if (path.endsWith(".wav")) {
        const auto wav = OpenWav(path);
        const TagLib::PropertyMap id3 = wav->ID3v2Tag()->properties();
        const std::pair<const char *, const char *> names[] = {
            {"ALBUMARTIST", "album_artist"}, {"COMPOSER", "composer"}, {"DISCNUMBER", "disc"}, {"LYRICS", "lyrics"}};
        for (const auto &[key, name] : names)
            if (id3.contains(key) && !tags.contains(name))
                tags.insert(name, QString::fromStdWString(id3[key].toString().toWString()));
    }
    // FFmpeg's ASF reader keeps WM/Year under its own name.
    if (!tags.contains("date") && tags.contains("wm/year"))
        tags.insert("date", tags.value("wm/year"));
    return tags;
}

void PrintTo(const Output &o, std::ostream *os) { *os << o.extension; }

// A new file as our writer makes it, half a second of tone.
QString WriteTone(const QTemporaryDir &dir, const QString &name, const Output &out)
{
    const QString path = dir.filePath(name + "." + out.extension);
    TAudioFile2 writer;
    out.configure(writer);
    EXPECT_TRUE(writetest::WriteAll(writer, path, writetest::Sine(44100, 2, 22050), 44100, 2));
    return path;
}

class TagCopy : public ::testing::TestWithParam<std::tuple<const char *, Output>> {
protected:
    void SetUp() override
    {
        cover = MakeCover(dir.path());
        source = MakeTaggedSource(dir.path(), std::get<0>(GetParam()), cover);
        ASSERT_FALSE(source.isEmpty());
    }
    QString Write(const QString &name) { return WriteTone(dir, name, std::get<1>(GetParam())); }

    QTemporaryDir dir;
    QString cover, source;
    TAudioInformation2 info;
};

} // namespace

TEST_P(TagCopy, EveryFieldAndThePictureReachTheNewFile)
{
    // What the conversion does: the source's tag over the new file's.
    const QString written = Write("out");
    info.LoadFile(source);
    info.SaveTag(written);
    EXPECT_EQ(info.infoGenre(), 255) << "a genre the ID3v1 list lacks is no number";

    const QJsonObject tags = TagsOf(written);
    const std::string all = QJsonDocument(tags).toJson(QJsonDocument::Compact).toStdString();
    for (const auto &[key, value] : kSourceTags) {
        const QString found = QLatin1String(key) == "lyrics" ? Lyrics(tags) : tags.value(key).toString();
        EXPECT_EQ(found, QString::fromUtf8(value)) << key << " in " << all;
    }
    EXPECT_EQ(PictureOf(written), ReadAll(cover)) << "the cover art travels";
}

TEST_P(TagCopy, EditedFieldsWinAndAnotherLoadReplacesEverything)
{
    // What a split does: each part's own title and number.
    const QString part = Write("part");
    info.LoadFile(source);
    info.setInfoTitle("Part 1");
    info.setInfoGenre(17);
    info.setInfoTrack("1/4");
    info.SaveTag(part);
    const QJsonObject tags = TagsOf(part);
    EXPECT_EQ(tags.value("title").toString(), "Part 1");
    EXPECT_EQ(tags.value("genre").toString(), "Rock");
    EXPECT_EQ(tags.value("track").toString(), "1/4");
    EXPECT_EQ(tags.value("composer").toString(), "Someone Else");

    const QString plain = dir.filePath("plain.wav");
    fixtures::MakeTone(plain, 0.5, 44100, 2, {"-c:a", "pcm_s16le", "-map_metadata", "-1"});
    const QString again = Write("again");
    info.LoadFile(plain);
    info.SaveTag(again);
    const QJsonObject none = TagsOf(again);
    for (const char *key : {"title", "album_artist", "composer", "genre", "track", "disc"})
        EXPECT_FALSE(none.contains(key)) << key;
    EXPECT_TRUE(PictureOf(again).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(SourcesAndOutputs, TagCopy,
                         ::testing::Combine(::testing::Values("mp3", "flac", "ogg", "m4a"), ::testing::ValuesIn(kOutputs)),
                         [](const auto &p) {
                             const Output &out = std::get<1>(p.param);
                             return std::string(std::get<0>(p.param)) + "_to_" + (out.name ? out.name : out.extension);
                         });

TEST(TagClear, AMergedFileGetsOnlyTheFieldsSetAfterClearTag)
{
    QTemporaryDir dir;
    const QString source = MakeTaggedSource(dir.path(), "mp3", MakeCover(dir.path()));
    ASSERT_FALSE(source.isEmpty());
    const QString merged = WriteTone(dir, "merged", kOutputs[0]);
    TAudioInformation2 info;
    info.LoadFile(source);
    info.ClearTag();
    info.setInfoTitle("Side A");
    info.SaveTag(merged);
    const QJsonObject tags = TagsOf(merged);
    EXPECT_EQ(tags.value("title").toString(), "Side A");
    for (const char *key : {"artist", "album_artist", "composer", "genre", "track", "date"})
        EXPECT_FALSE(tags.contains(key)) << key;
    EXPECT_TRUE(PictureOf(merged).isEmpty());
}
