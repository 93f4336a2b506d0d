#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "audio/Chapters.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/TMergeForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class MergeChaptersWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
        ProgramSettings.savepath = dir.filePath("out") + "/";
        ProgramSettings.saveformat = "flac";
    }
    void TearDown() override
    {
        delete form.data();
        SetProgramDirectoryForTesting({});
    }
    void Open(LauncherMode mode)
    {
        WindowMode = mode;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
    }
    QStringList Titles(const QString &path)
    {
        QStringList titles;
        for (const ChapterMark &c : ReadChapters(path))
            titles << c.title;
        return titles;
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QPointer<TMergeForm> form;
};

TEST_F(MergeChaptersWindow, TheBoxDrivesTheRunWithTheTitlesOfTheList)
{
    const QString a = dir.filePath("a.wav"), b = dir.filePath("b.wav");
    fixtures::MakeTone(a, 1.0, 22050, 1);
    fixtures::MakeTone(b, 0.5, 22050, 1, {"-metadata", "title=Bee"});
    Open(LauncherMode::Merge);
    ASSERT_NE(form->CheckChapters, nullptr);
    EXPECT_EQ(form->CheckChapters->objectName(), "CheckChapters");
    EXPECT_FALSE(form->CheckChapters->isChecked()); // off until a merge with it is remembered
    EXPECT_TRUE(form->ListView1->isColumnHidden(7));
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();

    form->CheckChapters->click();
    EXPECT_FALSE(form->ListView1->isColumnHidden(7));
    EXPECT_EQ(form->ListView1->topLevelItem(0)->text(7), "a");
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(7), "Bee");
    // A double-click on the title edits it rather than playing the file.
    emit form->ListView1->itemDoubleClicked(form->ListView1->topLevelItem(0), 7);
    EXPECT_FALSE(form->ListView1->viewport()->findChildren<QLineEdit *>().isEmpty());
    form->ListView1->topLevelItem(0)->setText(7, "Intro"); // as the edit commits it
    // The title moves with its file.
    form->ListView1->setCurrentItem(form->ListView1->topLevelItem(0));
    form->ToolBtnMoveDownClick();
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(7), "Intro");

    form->BitBtnMerge->click();
    const QString output = dir.filePath("out/Untitled.flac");
    ASSERT_TRUE(QFile::exists(output));
    EXPECT_EQ(Titles(output), (QStringList{"Bee", "Intro"}));
    EXPECT_EQ(ProgramSettings.chaptermarks, 1);
    delete form.data();

    // Remembered; unticked, the next merge has none.
    Open(LauncherMode::Merge);
    EXPECT_TRUE(form->CheckChapters->isChecked());
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    form->CheckChapters->click();
    form->BitBtnMerge->click();
    EXPECT_TRUE(Titles(output).isEmpty());
    delete form.data();

    // The conversion makes no chapters: the box is not there.
    Open(LauncherMode::Convert);
    EXPECT_FALSE(form->CheckChapters->isVisible());
}

} // namespace
