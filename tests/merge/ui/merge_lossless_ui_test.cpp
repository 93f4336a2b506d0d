#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/TMergeForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class MergeLosslessWindow : public ::testing::Test {
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
    void Open()
    {
        WindowMode = LauncherMode::Merge;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
        QTest::qWait(20);
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QPointer<TMergeForm> form;
};

// Offered only where the copy can be made, saying why not otherwise; the
// choice drives the run and is remembered.
TEST_F(MergeLosslessWindow, OfferedForMatchingSourcesAndRemembered)
{
    const QString a = dir.filePath("a.flac"), b = dir.filePath("b.flac"), odd = dir.filePath("odd.flac");
    fixtures::MakeTone(a, 1.2, 44100, 2, {"-c:a", "flac"}, 300);
    fixtures::MakeTone(b, 0.7, 44100, 2, {"-c:a", "flac"}, 500);
    fixtures::MakeTone(odd, 0.5, 48000, 2, {"-c:a", "flac"});
    Open();
    EXPECT_FALSE(form->CheckLossless->isEnabled()); // an empty list
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    QTest::qWait(20);
    ASSERT_TRUE(form->CheckLossless->isEnabled()) << form->CheckLossless->toolTip().toStdString();
    form->CheckLossless->click();
    form->BitBtnMerge->click();
    const QString output = dir.filePath("out/Untitled.flac");
    ASSERT_TRUE(QFile::exists(output));
    EXPECT_EQ(fixtures::DecodedFrames(output), fixtures::DecodedFrames(a) + fixtures::DecodedFrames(b));
    EXPECT_EQ(fixtures::Run("flac", {"-s", "-t", output}), 0);
    QTest::qWait(20);
    EXPECT_TRUE(form->CheckLossless->isEnabled()); // back after the run
    QFile ini(ConfigFilePath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("losslessjoin=1"));
    delete form.data();

    Open();
    EXPECT_TRUE(form->CheckLossless->isChecked());
    platform.openAnswers << QStringList{a, odd};
    form->ToolBtnOpenClick();
    QTest::qWait(20);
    EXPECT_FALSE(form->CheckLossless->isEnabled());
    EXPECT_TRUE(form->CheckLossless->toolTip().contains(QDir::toNativeSeparators(odd)))
        << form->CheckLossless->toolTip().toStdString();
    form->CBFormat->setCurrentIndex(0); // MP3
    QTest::qWait(20);
    EXPECT_TRUE(form->CheckLossless->toolTip().contains("not an MP3 file")) << form->CheckLossless->toolTip().toStdString();
}

} // namespace
