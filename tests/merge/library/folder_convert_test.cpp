#include "tests/common/AudioFixtures.h"

#include "merge/FolderSources.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString CliPath() { return QString::fromLocal8Bit(qgetenv("QUORVIS_BUILD_DIR")) + "/quorvis-cli"; }

// Every file below `root`, as paths relative to it, sorted.
QStringList FilesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

class FolderConvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(CliPath()))
            GTEST_SKIP() << "quorvis-cli is not built";
        ASSERT_TRUE(dir.isValid());
    }

    QString Path(const QString &rel) const { return dir.filePath(rel); }

    // A short FLAC with the given tags (none when `title` is empty).
    void Tone(const QString &rel, const QString &album = {}, const QString &title = {}, int track = 1)
    {
        QDir().mkpath(QFileInfo(Path(rel)).absolutePath());
        QStringList args{"-c:a", "flac"};
        if (!title.isEmpty())
            args << "-metadata" << "artist=Nina" << "-metadata" << "album=" + album << "-metadata"
                 << "title=" + title << "-metadata" << QString("track=%1").arg(track);
        fixtures::MakeTone(Path(rel), 0.3, 44100, 2, args);
    }

    // Runs a conversion to WAV in "out"; returns standard error.
    QString Convert(const QStringList &extra)
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(CliPath(), QStringList{"convert", "--format", "wav", "--out", "out", "--jobs", "2"} + extra);
        EXPECT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        return err;
    }

    QTemporaryDir dir;
};

} // namespace

TEST(FolderSources, ReadableFilesInNameOrderEachFolderBeforeItsSubfolders)
{
    QTemporaryDir dir;
    for (const char *rel : {"lib/b.mp3", "lib/A.flac", "lib/10.wav", "lib/2.wav", "lib/notes.txt", "lib/sub/z.ogg",
                            "lib/a sub/c.opus"}) {
        QDir().mkpath(QFileInfo(dir.filePath(rel)).absolutePath());
        QFile f(dir.filePath(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString lib = dir.filePath("lib");
    const FolderSources flat = ExpandSources({lib}, false);
    QStringList names;
    for (const QString &f : flat.files)
        names << QDir(lib).relativeFilePath(f);
    EXPECT_EQ(names, (QStringList{"2.wav", "10.wav", "A.flac", "b.mp3"}));

    const FolderSources deep = ExpandSources({lib, dir.filePath("loose.wav")}, true);
    names.clear();
    for (const QString &f : deep.files)
        names << QDir(lib).relativeFilePath(f);
    EXPECT_EQ(names.mid(4), (QStringList{"a sub/c.opus", "sub/z.ogg", "../loose.wav"}));
    EXPECT_EQ(deep.baseFolders.value(deep.files[4]), QDir::cleanPath(lib));
    EXPECT_FALSE(deep.baseFolders.contains(deep.files.last()));
}

TEST_F(FolderConvert, KeptStructureSeparatesAlbumsAndSkipExistingFollowsTheClock)
{
    for (const char *album : {"lib/Album A", "lib/Album B/CD1"}) {
        Tone(QString(album) + "/01 Intro.flac");
        Tone(QString(album) + "/02 Song.flac");
    }
    QString err = Convert({"lib", "--recursive", "--keep-structure"});
    const QStringList expected{"Album A/01 Intro.wav", "Album A/02 Song.wav", "Album B/CD1/01 Intro.wav",
                               "Album B/CD1/02 Song.wav"};
    EXPECT_EQ(FilesBelow(Path("out")), expected);
    EXPECT_TRUE(err.contains("4 converted, 0 skipped, 0 failed")) << err.toStdString();

    // Nothing changed: nothing is converted again.
    err = Convert({"lib", "--recursive", "--keep-structure", "--skip-existing"});
    EXPECT_TRUE(err.contains("0 converted, 4 skipped, 0 failed")) << err.toStdString();
    EXPECT_EQ(FilesBelow(Path("out")), expected);

    // A source changed after its output was written is converted again.
    QFile touched(Path("lib/Album B/CD1/02 Song.flac"));
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    touched.close();
    err = Convert({"lib", "--recursive", "--keep-structure", "--skip-existing"});
    EXPECT_TRUE(err.contains("1 converted, 3 skipped, 0 failed")) << err.toStdString();
    EXPECT_EQ(FilesBelow(Path("out")).size(), 5);
}

TEST_F(FolderConvert, NamesFromTagsKeepAlbumsApartAndUntaggedFilesTheirNames)
{
    Tone("lib/x/a.flac", "First", "Intro", 1);
    Tone("lib/y/a.flac", "Second", "Intro", 1);
    Tone("lib/y/b.flac", "Second", "Why? / Because: \"so\"", 12);
    Tone("lib/untagged.flac");
    Convert({"lib", "--recursive", "--name", "{artist}/{album}/{track:02} - {title}"});
    EXPECT_EQ(FilesBelow(Path("out")), (QStringList{"Nina/First/01 - Intro.wav", "Nina/Second/01 - Intro.wav",
                                                    "Nina/Second/12 - Why_ _ Because_ _so_.wav", "untagged.wav"}));
}
