// The M4A (shared with M4B) and ALAC pages: the record shown, OK saving the
// choices into setup.ini, and the file loading them back.
#include "config/IniFile.h"
#include "config/ProgramSettings.h"
#include "config/ui/Mp4SettingsPages.h"
#include "config/ui/TSettingForm.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class NoProfiles : public TSettingForm::WmaProfileComponent {
public:
    void SetFormatIndex(int) override {}
    int WmaProfileCount() override { return 0; }
    void SetWmaProfile(int) override {}
    QString WmaProfileName() override { return {}; }
};

class Mp4SettingPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
    }
    void TearDown() override
    {
        delete form.data();
        SettingForm = nullptr;
        SetProgramDirectoryForTesting(QString());
    }
    void Open()
    {
        form = new TSettingForm(nullptr, std::make_unique<NoProfiles>());
        SettingForm = form;
        form->show();
    }

    QTemporaryDir dir;
    ScriptedPlatform platform;
    QPointer<TSettingForm> form;
};

TEST_F(Mp4SettingPages, DefaultsFollowTheSourceAndOkStoresTheChoicesForTheNextStart)
{
    Open();
    EXPECT_EQ(form->TabSheet7->cbM4ABitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet7->cbM4AFrequency->currentText(), "Same as source");
    EXPECT_EQ(form->TabSheet7->cbM4AChannel->currentText(), "Same as source");
    EXPECT_EQ(form->TabSheet8->cbALACBPS->currentText(), "Same as source");
    EXPECT_EQ(form->TabSheet7->cbM4ABitrate->itemText(0), "32");
    EXPECT_EQ(form->TabSheet7->cbM4ABitrate->itemText(form->TabSheet7->cbM4ABitrate->count() - 1), "320");

    form->TabSheet7->cbM4ABitrate->setCurrentText("256");
    form->TabSheet7->cbM4AChannel->setCurrentText("Mono");
    form->TabSheet8->cbALACBPS->setCurrentText("24");
    form->TabSheet8->cbALACFrequency->setCurrentText("48000");
    QTest::mouseClick(form->BtnOK, Qt::LeftButton);

    const QString ini = ConfigFilePath();
    EXPECT_EQ(ReadIniInt(ini, "m4a", "bitrate", 0), 256);
    EXPECT_EQ(ReadIniInt(ini, "m4a", "channels", -1), 1);
    EXPECT_EQ(ReadIniInt(ini, "alac", "bps", 0), 24);
    ProgramSettings = TProgramSettings{};
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.m4a_bitrate, 256);
    EXPECT_EQ(ProgramSettings.m4a_frequency, 0);
    EXPECT_EQ(ProgramSettings.m4a_channels, 1);
    EXPECT_EQ(ProgramSettings.alac_frequency, 48000);
    EXPECT_EQ(ProgramSettings.alac_bps, 24);
}

TEST_F(Mp4SettingPages, AStoredBitRateTheEncoderRefusesShowsAndSavesTheDefault)
{
    ProgramSettings.m4a_bitrate = 8; // below AAC's 32 kbps
    Open();
    EXPECT_EQ(form->TabSheet7->cbM4ABitrate->currentText(), "128");
    QTest::mouseClick(form->BtnOK, Qt::LeftButton);
    EXPECT_EQ(ProgramSettings.m4a_bitrate, 128);
}

} // namespace
