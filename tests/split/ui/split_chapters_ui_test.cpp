#include "config/ProgramSettings.h"
#include "split/ui/TSplitForm.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class SplitChaptersWizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        saved = ProgramSettings;
        form = new TSplitForm(&owner);
        SplitForm = form;
        owner.show();
        form->show();
    }
    void TearDown() override
    {
        delete form.data();
        ProgramSettings = saved;
        SetProgramDirectoryForTesting(QString());
    }
    // Opens `path` and goes on to step 3's hand-set mode, WAV output.
    void ToSettings(const QString &path)
    {
        platform.openAnswers << QStringList{path};
        QTest::mouseClick(form->SpeedBtnOpen, Qt::LeftButton);
        QTest::mouseClick(form->BitBtnNext, Qt::LeftButton);
        form->cbFormat->setCurrentText("WAV");
        QTest::mouseClick(form->BitBtnNext, Qt::LeftButton);
        form->RBManual->click();
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QWidget owner;
    QPointer<TSplitForm> form;
    TProgramSettings saved;
};

TEST_F(SplitChaptersWizard, ImportChaptersSplitsAtTheFilesOwnChapters)
{
    // Chapters written by ffmpeg (ID3v2 CHAP frames), not by us.
    const QString tone = dir.filePath("tone.wav"), meta = dir.filePath("meta.txt"), book = dir.filePath("book.mp3");
    fixtures::MakeTone(tone, 3.0);
    QFile m(meta);
    ASSERT_TRUE(m.open(QIODevice::WriteOnly));
    m.write(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=One\n"
            "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=3000\ntitle=Two\n");
    m.close();
    ASSERT_EQ(fixtures::Run("ffmpeg", {"-v", "error", "-y", "-i", tone, "-i", meta, "-map", "0", "-map_metadata", "1", "-map_chapters", "1", book}), 0);

    ToSettings(book);
    auto *import = form->findChild<QPushButton *>("BitBtnImportChapters");
    ASSERT_TRUE(import && import->isEnabled());
    EXPECT_EQ(import->text(), "Import Chapters");
    import->click();
    ASSERT_EQ(form->ListView1->topLevelItemCount(), 2);
    EXPECT_EQ(form->ListView1->topLevelItem(0)->text(4), "01 - One.wav");
    EXPECT_EQ(form->ListView1->topLevelItem(1)->text(4), "02 - Two.wav");
    EXPECT_EQ(form->Plan.PointFrames[1], 66150);
    EXPECT_EQ(form->Plan.PartTags.value(2).title, "Two");
    EXPECT_EQ(form->cbPrecision->currentText(), "Exact");
}

TEST_F(SplitChaptersWizard, AFileWithoutChaptersIsNamedAndThePartsStay)
{
    const QString tone = dir.filePath("plain.wav");
    fixtures::MakeTone(tone, 2.0);
    ToSettings(tone);
    form->findChild<QPushButton *>("BitBtnImportChapters")->click();
    ASSERT_EQ(platform.messages().size(), 1);
    EXPECT_TRUE(platform.messages().first().contains(QDir::toNativeSeparators(tone) + " has no chapters"));
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 1);
}

} // namespace
