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
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
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
