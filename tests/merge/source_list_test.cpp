#include "merge/OutputNames.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Facts per path, as the information component would report them.
SourceInfoProbe FakeProbe(const QMap<QString, SourceFileFacts> &facts)
{
    return [facts](const QString &path) { return facts.value(path); };
}

SourceFileFacts Facts(const QString &format, int64_t ms, int64_t bytes, int64_t frames)
{
    return SourceFileFacts{true, format, ms, frames, bytes, {}};
}

} // namespace

TEST(FormatMinutesSeconds, PadsMinutesAndSecondsToTwoDigits)
{
    EXPECT_EQ(FormatMinutesSeconds(0), "00:00");
    EXPECT_EQ(FormatMinutesSeconds(65), "01:05");
    EXPECT_EQ(FormatMinutesSeconds(59), "00:59");
    EXPECT_EQ(FormatMinutesSeconds(600), "10:00");
    EXPECT_EQ(FormatMinutesSeconds(727), "12:07");
    EXPECT_EQ(FormatMinutesSeconds(6000), "100:00");
    EXPECT_EQ(FormatMinutesSeconds(125 * 60 + 7), "125:07");
}

TEST(DeriveFormatText, ShortensMpeg1LayerAndBlanksTheFirstColon)
{
    EXPECT_EQ(DeriveFormatText("MPEG 1.0 layer-3: 44100 Hz"), "MP3  44100 Hz");
    EXPECT_EQ(DeriveFormatText("MPEG 1.0 LAYER-2: 48000 Hz"), "MP2  48000 Hz");
    EXPECT_EQ(DeriveFormatText("MPEG 2.0 layer-3: 22050 Hz"), "MPEG 2.0 layer-3  22050 Hz");
    // The layer is shortened only when "MPEG" appears in exactly that case.
    EXPECT_EQ(DeriveFormatText("mpeg 1.0 layer-3: 44100 Hz"), "mpeg 1.0 layer-3  44100 Hz");
    EXPECT_EQ(DeriveFormatText("PCM: 44100 Hz: 16 bit"), "PCM  44100 Hz: 16 bit");
    EXPECT_EQ(DeriveFormatText("Vorbis 44100 Hz"), "Vorbis 44100 Hz");
}

TEST(SourceList, RowsShowNameFormatLengthSizeAndFolder)
{
    MergeSourceList list;
    list.Add({"/music/a/one.mp3"});
    list.Refresh(FakeProbe({{"/music/a/one.mp3", Facts("MPEG 1.0 layer-3: 44100 Hz", 59999, 999, 2645955)}}));
    ASSERT_EQ(list.Entries().size(), 1);
    const SourceFileEntry &e = list.Entries()[0];
    EXPECT_EQ(e.number, "1");
    EXPECT_EQ(e.fileName, "one.mp3");
    EXPECT_EQ(e.format, "MP3  44100 Hz");
    EXPECT_EQ(e.length, "00:59");
    EXPECT_EQ(e.sizeKb, "0");
    EXPECT_EQ(e.directory, "/music/a/");
    EXPECT_EQ(e.status, "");
}

TEST(SourceList, TotalsDivideEachFileBeforeAdding)
{
    MergeSourceList list;
    list.Add({"/a.wav", "/b.wav"});
    list.Refresh(FakeProbe({{"/a.wav", Facts("PCM", 1999, 999, 88)}, {"/b.wav", Facts("PCM", 1999, 999, 12)}}));
    EXPECT_EQ(list.TotalSizeKb, 0);
    EXPECT_EQ(list.TotalSeconds, 2);
    EXPECT_EQ(list.ListTotalSamples, 100);
}

TEST(SourceList, TotalsLineForThreeFiles)
{
    MergeSourceList list;
    list.Add({"/x/1.mp3", "/x/2.mp3", "/x/3.mp3"});
    list.Refresh(FakeProbe({{"/x/1.mp3", Facts("MP3", 300000, 5000000, 1)},
                            {"/x/2.mp3", Facts("MP3", 327000, 6000000, 2)},
                            {"/x/3.mp3", Facts("MP3", 100500, 234999, 3)}}));
    EXPECT_EQ(list.TotalSeconds, 727);
    EXPECT_EQ(list.TotalSizeKb, 11234);
    EXPECT_EQ(list.TotalsLine(), " 3 file(s); Total Length:12:07; Total Size:11234kb");
    EXPECT_EQ(list.ListTotalSamples, 6);

    list.Clear();
    list.Refresh(FakeProbe({}));
    EXPECT_EQ(list.TotalsLine(), " 0 file(s); Total Length:00:00; Total Size:0kb");
    EXPECT_TRUE(list.Entries().isEmpty());
}

TEST(SourceList, UnreadableFileStaysWithZeros)
{
    MergeSourceList list;
    list.Add({"/x/broken.mp3"});
    list.Refresh(FakeProbe({}));
    ASSERT_EQ(list.Entries().size(), 1);
    EXPECT_EQ(list.Entries()[0].format, "Unreadable");
    EXPECT_EQ(list.Entries()[0].length, "00:00");
    EXPECT_EQ(list.Entries()[0].sizeKb, "0");
}

TEST(SourceList, DuplicatePathGetsTheNextNumber)
{
    MergeSourceList list;
    list.Add({"/a.mp3"});
    list.Add({"/a.mp3"});
    list.Refresh(FakeProbe({}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entries()[1].number, "2");
    EXPECT_EQ(list.Entries()[1].fileName, "a.mp3");
}

TEST(SourceList, MovesAndRemovesAtTheEdgesChangeNothing)
{
    MergeSourceList list;
    list.Add({"/1", "/2", "/3", "/4"});
    EXPECT_FALSE(list.MoveUp(1));
    EXPECT_FALSE(list.MoveDown(4));
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(0));
    EXPECT_FALSE(list.Remove(0));
    EXPECT_FALSE(list.Remove(5));
    EXPECT_EQ(list.Paths(), QStringList({"/1", "/2", "/3", "/4"}));

    EXPECT_TRUE(list.MoveUp(3));
    EXPECT_EQ(list.Paths(), QStringList({"/1", "/3", "/2", "/4"}));
    EXPECT_TRUE(list.MoveDown(1));
    EXPECT_EQ(list.Paths(), QStringList({"/3", "/1", "/2", "/4"}));
    EXPECT_TRUE(list.Remove(2));
    EXPECT_EQ(list.Paths(), QStringList({"/3", "/2", "/4"}));
}

TEST(OutputNames, ExtensionIsReplacedAfterTheLastSeparatorOnly)
{
    EXPECT_EQ(MergeOutputName("Untitled", "mp3"), "Untitled.mp3");
    EXPECT_EQ(MergeOutputName("song.wav", "mp3"), "song.mp3");
    EXPECT_EQ(MergeOutputName("a.b.c", "mp3"), "a.b.mp3");
    EXPECT_EQ(MergeOutputName("track.old.wav", "ogg"), "track.old.ogg");
    EXPECT_EQ(MergeOutputName("dir.x/name", "ogg"), "dir.x/name.ogg");
    EXPECT_EQ(ConvertOutputPath("D:\\out\\", "C:\\in\\Song.Live.wma", ".mp3"), "D:\\out\\Song.Live.mp3");
}

TEST(OutputNames, ATakenNameGetsNewThenTheFirstFreeNumberedNew)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("song.mp3");
    const auto take = [&](const char *name) { QFile(dir.filePath(name)).open(QIODevice::WriteOnly); };
    EXPECT_EQ(WrittenPath(out), out);
    take("song.mp3");
    EXPECT_EQ(WrittenPath(out), dir.filePath("New_song.mp3"));
    take("New_song.mp3");
    take("New_3_song.mp3");
    EXPECT_EQ(WrittenPath(out), dir.filePath("New_2_song.mp3"));
    take("New_2_song.mp3");
    // A broken link is no file, but writing through it would make one elsewhere.
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("New_4_song.mp3")));
    EXPECT_EQ(WrittenPath(out), dir.filePath("New_5_song.mp3"));
}
