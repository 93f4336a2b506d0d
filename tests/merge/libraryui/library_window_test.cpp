#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "config/IniFile.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/LibraryOptions.h"
#include "merge/ui/TMergeForm.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class LibraryWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
        ProgramSettings.savepath = dir.filePath("out") + "/";
        ProgramSettings.saveformat = "wav";
        WindowMode = LauncherMode::Convert;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
    }
    void TearDown() override
    {
        delete form.data();
        SetProgramDirectoryForTesting({});
    }

    void Tone(const QString &rel, const QString &album, const QString &title)
    {
        QDir().mkpath(QFileInfo(dir.filePath(rel)).absolutePath());
        fixtures::MakeTone(dir.filePath(rel), 0.3, 22050, 1,
                           {"-c:a", "flac", "-metadata", "artist=Nina", "-metadata", "album=" + album, "-metadata",
                            "title=" + title, "-metadata", "track=1"});
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QPointer<TMergeForm> form;
};

} // namespace

TEST_F(LibraryWindowTest, AFolderAddedKeepsItsStructureAndTheChoicesAreRemembered)
{
    Tone("lib/A/song.flac", "First", "Intro");
    Tone("lib/B/song.flac", "Second", "Intro");
    EXPECT_FALSE(form->Library->CheckKeepStructure->isChecked());
    EXPECT_FALSE(form->Library->CheckSkipExisting->isChecked());
    EXPECT_TRUE(form->Library->EdNameTemplate->text().isEmpty());

    platform.folderAnswers << dir.filePath("lib");
    form->ToolBtnAddFolder->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);

    form->Library->EdNameTemplate->setText("{album} - {title}");
    EXPECT_EQ(form->Library->LabelNamePreview->text(), "First - Intro.wav\nSecond - Intro.wav");
    form->Library->EdNameTemplate->setText("{nope}");
    EXPECT_TRUE(form->Library->LabelNamePreview->text().contains("unknown field {nope}"));
    form->Library->EdNameTemplate->setText("{album} - {title}");
    form->Library->CheckKeepStructure->setChecked(true);
    form->BitBtnConvert->click();

    EXPECT_TRUE(QFile::exists(dir.filePath("out/A/First - Intro.wav")));
    EXPECT_TRUE(QFile::exists(dir.filePath("out/B/Second - Intro.wav")));
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "general", "keepstructure", -1), 1);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "general", "skipexisting", -1), 0);
    EXPECT_EQ(ReadIniString(ConfigFilePath(), "general", "nametemplate", {}), "{album} - {title}");

    // Skipping what is there: a second run makes no new file.
    form->Library->CheckSkipExisting->setChecked(true);
    form->BitBtnConvert->click();
    QStringList made;
    for (QDirIterator it(dir.filePath("out"), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        made << it.next();
    EXPECT_EQ(made.size(), 2) << made.join(", ").toStdString();
}

TEST_F(LibraryWindowTest, AFolderOfManyFilesShowsAtOnceAndFillsInBeforeTheRun)
{
    Tone("many/000.flac", "Album", "Song");
    for (int i = 1; i < 60; ++i)
        ASSERT_TRUE(QFile::copy(dir.filePath("many/000.flac"), dir.filePath(QStringLiteral("many/%1.flac").arg(i, 3, 10, QChar('0')))));
    form->Library->CheckSkipExisting->setChecked(false);
    platform.folderAnswers << dir.filePath("many");
    form->ToolBtnAddFolder->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 60);
    EXPECT_EQ(form->ListView1->topLevelItem(59)->text(2), "Reading...");

    // Filled in as the worker reads them, and all of them before a run.
    QTRY_VERIFY_WITH_TIMEOUT(form->ListView1->topLevelItem(0)->text(2) != "Reading...", 20000);
    form->BitBtnConvert->click();
    for (int i = 0; i < 60; ++i)
        EXPECT_TRUE(form->ListView1->topLevelItem(i)->text(2).startsWith("FLAC")) << i;
    EXPECT_EQ(form->StatusPanel2->text(), "Complete!");
    EXPECT_TRUE(form->Gauge2->text().contains("60 done, 0 left")) << form->Gauge2->text().toStdString();
    EXPECT_TRUE(form->StatusPanel1->text().startsWith(" 60 file(s)"));
    EXPECT_EQ(QDir(dir.filePath("out")).entryList({"*.wav"}).size(), 60);
}
