#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "audio/Loudness.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/LibraryOptions.h"
#include "merge/ui/TMergeForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class LoudnessWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
        ProgramSettings.savepath = dir.filePath("out") + "/";
        ProgramSettings.saveformat = "flac";
        a = dir.filePath("a.wav");
        b = dir.filePath("b.wav");
        fixtures::MakeTone(a, 3, 44100, 2, {"-af", "volume=0.5"});
        fixtures::MakeTone(b, 3, 44100, 2, {"-af", "volume=2"}, 1000);
    }
    void TearDown() override
    {
        delete form.data();
        SetProgramDirectoryForTesting({});
    }
    void Open(LauncherMode mode)
    {
        delete form.data();
        WindowMode = mode;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
        platform.openAnswers << QStringList{a, b};
        form->ToolBtnOpenClick();
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QString a, b;
    QPointer<TMergeForm> form;
};

} // namespace

TEST_F(LoudnessWindow, NormaliseToBringsTheMergeToTheTargetAndIsRemembered)
{
    Open(LauncherMode::Merge);
    QComboBox *box = form->findChild<QComboBox *>("CBNormalise");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->currentText(), "Off");
    ASSERT_EQ(box->count(), 5);
    EXPECT_EQ(box->itemText(4), "-14 LUFS");
    auto *label = form->findChild<QLabel *>("LabelNormalise");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Normalise to");
    box->setCurrentIndex(box->findText("-18 LUFS"));
    form->BitBtnMerge->click();
    const QString output = dir.filePath("out/Untitled.flac");
    ASSERT_TRUE(QFile::exists(output));
    EXPECT_NEAR(MeasureFile(output).integrated, -18, 0.5);
    EXPECT_EQ(ProgramSettings.normalise, -18);

    Open(LauncherMode::Merge);
    EXPECT_EQ(form->findChild<QComboBox *>("CBNormalise")->currentText(), "-18 LUFS");
}

TEST_F(LoudnessWindow, ReplayGainBoxTagsTheConvertedFilesAndIsRemembered)
{
    Open(LauncherMode::Convert);
    QCheckBox *check = form->Library->CheckReplayGain;
    EXPECT_EQ(check->text(), "Write ReplayGain tags");
    EXPECT_FALSE(check->isChecked());
    check->setChecked(true);
    form->BitBtnConvert->click();
    for (const char *name : {"a", "b"}) {
        const QJsonObject tags = fixtures::ProbeFile(dir.filePath(QString("out/%1.flac").arg(name))).tags;
        EXPECT_TRUE(tags.value("replaygain_track_gain").toString().endsWith(" dB")) << name;
        EXPECT_TRUE(tags.contains("replaygain_album_peak")) << name;
    }
    EXPECT_EQ(ProgramSettings.replaygain, 1);
    Open(LauncherMode::Convert);
    EXPECT_TRUE(form->Library->CheckReplayGain->isChecked());
}
