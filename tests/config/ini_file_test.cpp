#include "config/IniFile.h"
#include "tests/common/AsOrdinaryUser.h"
#include "tests/common/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("test.ini");

    void WriteText(const QByteArray &text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray Text() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct IntCase {
    const char *text;
    int expected;
};

class IniIntParsing : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniIntParsing, ReadsDecimalAndHexOrFallsBackToDefault)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("[mp3]\nbitrate=") + GetParam().text + "\n");
    f.close();
    EXPECT_EQ(ReadIniInt(path, "mp3", "bitrate", 128), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntParsing,
                         ::testing::Values(IntCase{"abc", 128}, IntCase{"0x80", 128}, IntCase{"0X80", 128},
                                           IntCase{"$C0", 192}, IntCase{"$c0", 192}, IntCase{"320", 320},
                                           IntCase{"-5", -5}, IntCase{"", 128}, IntCase{"12abc", 128},
                                           IntCase{"0x", 128}, IntCase{"$", 128}, IntCase{" 64 ", 64},
                                           IntCase{"2147483647", 2147483647}, IntCase{"2147483648", 128},
                                           IntCase{"$FFFFFFFF", -1}, IntCase{"$100000000", 128}));

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefault)
{
    EXPECT_EQ(ReadIniInt(path, "mp3", "bitrate", 7), 7);
    EXPECT_EQ(ReadIniString(path, "general", "savepath", "x"), "x");
    WriteText("[mp3]\nfrequency=48000\n");
    EXPECT_EQ(ReadIniInt(path, "mp3", "bitrate", 7), 7);
    EXPECT_EQ(ReadIniInt(path, "ogg", "frequency", 1), 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("nothing.ini")));
}

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCase)
{
    WriteText("[MP3]\nBitRate=192\n[General]\nSAVEFORMAT=ogg\n");
    EXPECT_EQ(ReadIniInt(path, "mp3", "bitrate", 0), 192);
    EXPECT_EQ(ReadIniString(path, "general", "saveformat", ""), "ogg");

    WriteIniInt(path, "mp3", "BITRATE", 256);
    EXPECT_EQ(Text(), "[MP3]\nBitRate=256\n[General]\nSAVEFORMAT=ogg\n");
}

TEST_F(IniFileTest, SameKeyInDifferentSectionsStaysApart)
{
    WriteText("[mp3]\nfrequency=22050\n[ogg]\nfrequency=48000\n");
    EXPECT_EQ(ReadIniInt(path, "mp3", "frequency", 0), 22050);
    EXPECT_EQ(ReadIniInt(path, "ogg", "frequency", 0), 48000);
}

TEST_F(IniFileTest, TextValuesAreCutAt2047Characters)
{
    const QString longText(3000, QLatin1Char('a'));
    WriteIniString(path, "general", "savepath", longText);
    EXPECT_EQ(ReadIniString(path, "general", "savepath", "").size(), 2047);
    WriteIniString(path, "general", "savepath", longText.left(2047));
    EXPECT_EQ(ReadIniString(path, "general", "savepath", ""), longText.left(2047));
}

TEST_F(IniFileTest, TextKeepsSpacesInsideAndNonAsciiCharacters)
{
    WriteIniString(path, "general", "savepath", "/home/anna/Musik für mich/");
    EXPECT_EQ(ReadIniString(path, "general", "savepath", ""), "/home/anna/Musik für mich/");
}

TEST_F(IniFileTest, LineBreaksInValuesCannotCreateKeys)
{
    WriteIniString(path, "general", "mergefilename", "a\nsaveformat=wav");
    EXPECT_EQ(ReadIniString(path, "general", "saveformat", "none"), "none");
}

TEST_F(IniFileTest, FirstWriteCreatesFileWithSection)
{
    WriteIniInt(path, "tips", "showtip", 0);
    EXPECT_EQ(Text(), "[tips]\nshowtip=0\n");
}

TEST_F(IniFileTest, NewKeyGoesToEndOfItsSectionAndNewSectionToEndOfFile)
{
    WriteText("; my settings\n[mp3]\nbitrate=128\n\n[tips]\nshowtip=1\n");
    WriteIniInt(path, "mp3", "frequency", 44100);
    WriteIniInt(path, "ogg", "quality", 300);
    WriteIniString(path, "tips", "tipno", "4");
    EXPECT_EQ(Text(), "; my settings\n[mp3]\nbitrate=128\nfrequency=44100\n\n[tips]\nshowtip=1\ntipno=4\n"
                      "[ogg]\nquality=300\n");
}

TEST_F(IniFileTest, ExistingKeyIsReplacedInPlaceKeepingOtherLines)
{
    WriteText("[general]\r\n; folder chosen last\r\nsavepath=/old/\r\nsaveformat=mp3\r\nunknown line\r\n");
    WriteIniString(path, "general", "savepath", "/new/");
    EXPECT_EQ(Text(), "[general]\r\n; folder chosen last\r\nsavepath=/new/\r\nsaveformat=mp3\r\nunknown line\r\n");
}

TEST_F(IniFileTest, FileWithoutFinalLineBreakGetsNewKeyOnItsOwnLine)
{
    WriteText("[mp3]\nbitrate=128");
    WriteIniInt(path, "mp3", "fvbr", 1);
    EXPECT_EQ(Text(), "[mp3]\nbitrate=128\nfvbr=1\n");
}

TEST_F(IniFileTest, BatchWritesLikeSingleWritesInOrder)
{
    WriteText("[ogg]\nquality=100\n");
    IniBatchWriter w(path);
    w.Set("mp3", "channels", 3);
    w.Set("ogg", "vbr", 0);
    w.Set("mp3", "bitrate", 128);
    w.Set("ogg", "quality", 500);
    w.Commit();
    const QByteArray batch = Text();

    WriteText("[ogg]\nquality=100\n");
    WriteIniInt(path, "mp3", "channels", 3);
    WriteIniInt(path, "ogg", "vbr", 0);
    WriteIniInt(path, "mp3", "bitrate", 128);
    WriteIniInt(path, "ogg", "quality", 500);
    EXPECT_EQ(Text(), batch);
    EXPECT_EQ(batch, "[ogg]\nquality=500\nvbr=0\n[mp3]\nchannels=3\nbitrate=128\n");
}

// The message of the write's failure, empty when it succeeded.
template <class Write>
QString FailureOf(Write write)
{
    try {
        write();
    } catch (const std::runtime_error &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

TEST_F(IniFileTest, ReadOnlyFileIsReportedAndLeftUntouched)
{
    const QByteArray old = "[mp3]\nbitrate=128\n; keep me\n";
    WriteText(old);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    {
        // The folder is the user's own, so it would let the file be renamed over.
        AsOrdinaryUser user{dir.path(), path};
        EXPECT_EQ(FailureOf([&] { WriteIniInt(path, "mp3", "bitrate", 320); }), "Unable to write to " + path);
        EXPECT_FALSE(QFileInfo(path).isWritable());
    }
    EXPECT_EQ(Text(), old);
}

// A setup.ini the user may write, in a folder they may not (a portable copy
// on a shared drive): no new file can be made beside it, so it is rewritten in
// place; a file that does not exist yet cannot be made there at all.
TEST_F(IniFileTest, ReadOnlyFolderRewritesWritableFileInPlace)
{
    WriteText("[mp3]\nbitrate=128\n");
    const QString missing = dir.filePath("other.ini");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString message, missingMessage;
    {
        AsOrdinaryUser user{dir.path(), path};
        message = FailureOf([&] {
            IniBatchWriter w(path);
            w.Set("mp3", "bitrate", 320);
            w.Set("ogg", "bitrate", 320);
            w.Commit();
        });
        missingMessage = FailureOf([&] { WriteIniInt(missing, "mp3", "bitrate", 320); });
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(message, "");
    EXPECT_EQ(Text(), "[mp3]\nbitrate=320\n[ogg]\nbitrate=320\n");
    EXPECT_EQ(missingMessage, "Unable to write to " + missing);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

TEST_F(IniFileTest, FullDiskIsReportedAndFileLeftUntouched)
{
    const QByteArray old = "[mp3]\nbitrate=128\n";
    WriteText(old);
    QString message;
    {
        FileSizeLimit full;
        message = FailureOf([&] { WriteIniInt(path, "mp3", "bitrate", 320); });
    }
    EXPECT_EQ(message, "Unable to write to " + path);
    EXPECT_EQ(Text(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

TEST_F(IniFileTest, FolderThatCannotExistIsReported)
{
    WriteText("not a folder");
    const QString impossible = path + "/setup.ini";
    try {
        WriteIniString(impossible, "general", "savepath", "x");
        FAIL() << "write below a regular file succeeded";
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + impossible);
    }
    EXPECT_EQ(Text(), "not a folder");
}

// Editors on Windows start UTF-8 files with a byte-order mark; it must not
// hide the first section, and a write keeps it.
TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndKept)
{
    WriteText("\xEF\xBB\xBF[mp3]\r\nbitrate=320\r\n");
    EXPECT_EQ(ReadIniInt(path, "mp3", "bitrate", 128), 320);
    WriteIniInt(path, "mp3", "channels", 1);
    EXPECT_EQ(Text(), "\xEF\xBB\xBF[mp3]\r\nbitrate=320\r\nchannels=1\r\n");
}

// setup.ini in the user's configuration folder: the folder appears with the file.
TEST_F(IniFileTest, FirstWriteCreatesTheFolders)
{
    const QString nested = dir.filePath("config/quorvis/setup.ini");
    WriteIniString(nested, "general", "saveformat", "ogg");
    EXPECT_EQ(ReadIniString(nested, "general", "saveformat", "mp3"), "ogg");
}

} // namespace
