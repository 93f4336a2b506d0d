#include "config/IniFile.h"
#include "config/ProgramSettings.h"
#include "config/ui/FlacSettingsPage.h"
#include "config/ui/Mp3SettingsPage.h"
#include "config/ui/OggSettingsPage.h"
#include "config/ui/OpusSettingsPage.h"
#include "config/ui/TSettingForm.h"
#include "config/ui/WavSettingsPage.h"
#include "config/ui/WmaSettingsPage.h"
#include "audio/TAudioFile2.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// Stands in for the audio file component: offers `count` profiles named
// "Profile <n>", records every call, and can refuse to be reached.
class FakeProfiles : public TSettingForm::WmaProfileComponent {
public:
    FakeProfiles(int count, std::shared_ptr<QStringList> log, bool unreachable = false)
        : count_(count), log_(std::move(log)), unreachable_(unreachable) {}

    void SetFormatIndex(int index) override { Call(QString("FormatIndex %1").arg(index)); }
    int WmaProfileCount() override
    {
        Call("WmaProfileCount");
        return count_;
    }
    void SetWmaProfile(int profile) override
    {
        Call(QString("WmaProfile %1").arg(profile));
        selected_ = profile;
    }
    QString WmaProfileName() override
    {
        Call("WmaProfileName");
        return QString("Profile %1").arg(selected_);
    }

private:
    void Call(const QString &what)
    {
        if (unreachable_)
            throw std::runtime_error("Class not registered");
        log_->append(what);
    }
    int count_;
    std::shared_ptr<QStringList> log_;
    bool unreachable_;
    int selected_ = 0;
};

class SettingFormTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedPlatform platform;
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    QPointer<TSettingForm> form;

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

    TSettingForm *Open(int profiles = 40, bool unreachable = false)
    {
        form = new TSettingForm(nullptr, std::make_unique<FakeProfiles>(profiles, calls, unreachable));
        SettingForm = form;
        form->show();
        return form;
    }
    QByteArray Ini() const
    {
        QFile f(ConfigFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void WriteIni(const QByteArray &text)
    {
        QFile f(ConfigFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // A click on the box's indicator, where the user clicks.
    static void ClickBox(QCheckBox *box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }
    void PressOK() { QTest::mouseClick(form->BtnOK, Qt::LeftButton); }
    static void Deleted() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

QStringList Items(const QComboBox *cb)
{
    QStringList items;
    for (int i = 0; i < cb->count(); ++i)
        items << cb->itemText(i);
    return items;
}

TEST_F(SettingFormTest, PagesGroupsAndListsReadAsDesigned)
{
    Open();
    EXPECT_EQ(form->windowTitle(), "Output Format Settings");
    ASSERT_EQ(form->PageControl1->count(), 8);
    EXPECT_EQ(form->PageControl1->tabText(0), "MP3");
    EXPECT_EQ(form->PageControl1->tabText(1), "WAV");
    EXPECT_EQ(form->PageControl1->tabText(2), "WMA");
    EXPECT_EQ(form->PageControl1->tabText(3), "OGG");
    EXPECT_EQ(form->PageControl1->tabText(4), "FLAC");
    EXPECT_EQ(form->PageControl1->tabText(5), "OPUS");
    EXPECT_EQ(form->PageControl1->tabText(6), "M4A");
    EXPECT_EQ(form->PageControl1->tabText(7), "ALAC");
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
    EXPECT_EQ(form->TabSheet1->GroupBox1->title(), "MP3 Settings");
    EXPECT_EQ(form->TabSheet1->GroupBox2->title(), "VBR");
    EXPECT_EQ(form->TabSheet2->GroupBox3->title(), "WAV Settings");
    EXPECT_EQ(form->TabSheet3->GroupBox4->title(), "WMA Settings");
    EXPECT_EQ(form->TabSheet4->GroupBox5->title(), "OGG Settings");
    EXPECT_EQ(form->TabSheet4->GroupBox6->title(), "VBR");
    EXPECT_EQ(form->TabSheet4->GroupBox7->title(), "Quality");
    EXPECT_EQ(form->TabSheet5->GroupBox8->title(), "FLAC Settings");
    EXPECT_EQ(form->TabSheet6->GroupBox9->title(), "OPUS Settings");
    EXPECT_EQ(form->TabSheet6->Label23->text(), "Opus files are always written at 48000 Hz.");
    EXPECT_EQ(form->TabSheet1->Label4->text(), "Max Bitrate (kbps)");
    EXPECT_EQ(form->TabSheet2->Label8->text(), "BitsPerSample");
    EXPECT_EQ(form->TabSheet4->Label15->text(), "Min Bitrate (kbps)");
    EXPECT_EQ(form->TabSheet1->CheckMP3VBR->text(), "Enable VBR");
    EXPECT_EQ(form->TabSheet4->CheckOggQuality->text(), "Enable Quality");
    EXPECT_EQ(form->BtnOK->text(), "OK");
    EXPECT_EQ(form->BtnCancel->text(), "Cancel");
    EXPECT_TRUE(form->BtnOK->isDefault());

    const QStringList rates{"8000", "11025", "16000", "22050", "24000", "32000", "44100", "48000"};
    const QStringList bitRates{"8", "16", "24", "32", "48", "56", "64", "96", "112", "128", "160", "192", "224", "256", "320"};
    // Every page but Opus's can follow the source: its item comes last, so
    // the numbered items keep their places.
    const QStringList ratesOrSource = rates + QStringList{"Same as source"};
    EXPECT_EQ(Items(form->TabSheet1->cbMP3Frequency), ratesOrSource);
    EXPECT_EQ(Items(form->TabSheet2->cbWAVFrequency), ratesOrSource);
    EXPECT_EQ(Items(form->TabSheet4->cbOGGFrequency), ratesOrSource);
    EXPECT_EQ(Items(form->TabSheet5->cbFLACFrequency), ratesOrSource);
    EXPECT_EQ(Items(form->TabSheet1->cbMP3MaxBitrate), bitRates);
    EXPECT_EQ(Items(form->TabSheet4->cbOGGMinBitrate), bitRates);
    EXPECT_EQ(Items(form->TabSheet1->cbMP3Channel),
              QStringList({"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet2->cbWAVChannel), QStringList({"Mono", "Stereo", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet4->cbOGGChannel), QStringList({"Mono", "Stereo", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet2->cbWAVBPS),
              QStringList({"2", "3", "4", "5", "8", "16", "24", "32", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet1->cbMP3VBRQuality).join(','), "0,1,2,3,4,5,6,7,8,9");
    EXPECT_EQ(Items(form->TabSheet4->cbOGGquality).join(','), "100,200,300,400,500,600,700,800,900,1000");
    EXPECT_EQ(Items(form->TabSheet5->cbFLACChannel), QStringList({"Mono", "Stereo", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet5->cbFLACBPS), QStringList({"16", "24", "Same as source"}));
    EXPECT_EQ(Items(form->TabSheet5->cbFLACLevel).join(','), "0 (fastest),1,2,3,4,5 (default),6,7,8 (smallest)");
    EXPECT_EQ(Items(form->TabSheet6->cbOPUSBitrate).join(','),
              "6,8,12,16,24,32,48,64,80,96,112,128,160,192,224,256,320,384,448,510");
    EXPECT_EQ(Items(form->TabSheet6->cbOPUSMode), QStringList({"VBR", "Constrained VBR", "CBR"}));
    EXPECT_EQ(Items(form->TabSheet6->cbOPUSComplexity).join(','), "0 (fastest),1,2,3,4,5,6,7,8,9,10 (best)");
    for (QComboBox *cb : form->findChildren<QComboBox *>())
        EXPECT_FALSE(cb->isEditable()) << cb->objectName().toStdString();
}

TEST_F(SettingFormTest, DefaultsShowAsExpected)
{
    Open(40);
    EXPECT_EQ(form->TabSheet1->cbMP3Frequency->currentText(), "44100");
    EXPECT_EQ(form->TabSheet1->cbMP3Channel->currentText(), "Joint Stereo");
    EXPECT_EQ(form->TabSheet1->cbMP3Bitrate->currentText(), "128");
    EXPECT_FALSE(form->TabSheet1->CheckMP3VBR->isChecked());
    EXPECT_EQ(form->TabSheet1->cbMP3MaxBitrate->currentText(), "192");
    EXPECT_EQ(form->TabSheet1->cbMP3VBRQuality->currentText(), "7");
    EXPECT_FALSE(form->TabSheet1->cbMP3MaxBitrate->isEnabled());
    EXPECT_FALSE(form->TabSheet1->cbMP3VBRQuality->isEnabled());
    EXPECT_FALSE(form->TabSheet1->Label4->isEnabled());
    EXPECT_FALSE(form->TabSheet1->Label5->isEnabled());
    EXPECT_TRUE(form->TabSheet1->GroupBox2->isEnabled());
    EXPECT_EQ(form->TabSheet2->cbWAVFrequency->currentText(), "44100");
    EXPECT_EQ(form->TabSheet2->cbWAVChannel->currentText(), "Stereo");
    EXPECT_EQ(form->TabSheet2->cbWAVBPS->currentText(), "16");
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->count(), 40);
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentText(), "Profile 38");
    EXPECT_EQ(form->TabSheet4->cbOGGFrequency->currentText(), "44100");
    EXPECT_EQ(form->TabSheet4->cbOGGChannel->currentText(), "Stereo");
    EXPECT_EQ(form->TabSheet4->cbOGGBitrate->currentText(), "128");
    EXPECT_FALSE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOggQuality->isChecked());
    EXPECT_EQ(form->TabSheet4->cbOGGMinBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet4->cbOGGMAXBitrate->currentText(), "192");
    EXPECT_EQ(form->TabSheet4->cbOGGquality->currentText(), "300");
    for (QWidget *w : {static_cast<QWidget *>(form->TabSheet4->cbOGGMinBitrate), static_cast<QWidget *>(form->TabSheet4->cbOGGMAXBitrate),
                       static_cast<QWidget *>(form->TabSheet4->cbOGGquality), static_cast<QWidget *>(form->TabSheet4->Label13),
                       static_cast<QWidget *>(form->TabSheet4->Label14), static_cast<QWidget *>(form->TabSheet4->Label15)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(platform.calls.isEmpty());
}

TEST_F(SettingFormTest, ProfilesAreListedWithOneSelectionPerName)
{
    ProgramSettings.wma_wmaprofile = 2;
    Open(3);
    EXPECT_EQ(*calls, QStringList({"FormatIndex -1", "WmaProfileCount",                      //
                                   "FormatIndex -1", "WmaProfile 1", "WmaProfileName",     //
                                   "FormatIndex -1", "WmaProfile 2", "WmaProfileName",     //
                                   "FormatIndex -1", "WmaProfile 3", "WmaProfileName",     //
                                   "WmaProfile 2"}));
    EXPECT_EQ(Items(form->TabSheet3->cbWMAProfile), QStringList({"Profile 1", "Profile 2", "Profile 3"}));
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentIndex(), 1);
}

TEST_F(SettingFormTest, StoredProfileBeyondTheOfferedOnesShowsNoSelectionAndSavesZero)
{
    Open(20);
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->count(), 20);
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentIndex(), -1);
    PressOK();
    EXPECT_EQ(ProgramSettings.wma_wmaprofile, 0);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "wma", "wmaprofile", -7), 0);
}

TEST_F(SettingFormTest, ListsTheProfilesOfTheRealAudioFileComponent)
{
    TAudioFile2 component;
    component.SetFormatIndex(-1);
    const int offered = component.WmaProfileCount();
    form = new TSettingForm(nullptr);
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->count(), std::max(offered, 0));
    EXPECT_TRUE(platform.calls.isEmpty()) << platform.messages().join('\n').toStdString();
    if (offered >= 38) {
        EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentIndex(), 37);
        component.SetWmaProfile(38);
        EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentText(), component.WmaProfileName());
    } else {
        EXPECT_EQ(form->TabSheet3->cbWMAProfile->currentIndex(), -1);
    }
}

TEST_F(SettingFormTest, FrequencyOutsideTheListShowsAndSaves44100)
{
    ProgramSettings.mp3_frequency = 12345;
    Open();
    EXPECT_EQ(form->TabSheet1->cbMP3Frequency->currentText(), "44100");
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_frequency, 44100);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "mp3", "frequency", 0), 44100);
}

TEST_F(SettingFormTest, ValuesOutsideTheirListsFallBackToTheListDefault)
{
    ProgramSettings.mp3_bitrate = 100;
    ProgramSettings.mp3_maxbitrate = 1000;
    ProgramSettings.wav_bps = 12;
    ProgramSettings.wav_frequency = 96000;
    ProgramSettings.ogg_minbitrate = 0;
    ProgramSettings.ogg_quality = 350;
    Open();
    EXPECT_EQ(form->TabSheet1->cbMP3Bitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet1->cbMP3MaxBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet2->cbWAVBPS->currentText(), "16");
    EXPECT_EQ(form->TabSheet2->cbWAVFrequency->currentText(), "44100");
    EXPECT_EQ(form->TabSheet4->cbOGGMinBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet4->cbOGGquality->currentText(), "500");
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_maxbitrate, 128);
    EXPECT_EQ(ProgramSettings.wav_bps, 16u);
    EXPECT_EQ(ProgramSettings.ogg_quality, 500);
}

TEST_F(SettingFormTest, SameAsSourceShowsAndSavesAsZero)
{
    ProgramSettings.wav_frequency = 0;
    ProgramSettings.ogg_channels = 0;
    Open();
    EXPECT_EQ(form->TabSheet2->cbWAVFrequency->currentText(), "Same as source");
    EXPECT_EQ(form->TabSheet4->cbOGGChannel->currentText(), "Same as source");
    form->TabSheet1->cbMP3Frequency->setCurrentText("Same as source");
    form->TabSheet1->cbMP3Channel->setCurrentText("Same as source");
    form->TabSheet2->cbWAVBPS->setCurrentText("Same as source");
    form->TabSheet4->cbOGGChannel->setCurrentText("Stereo");
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_frequency, 0);
    EXPECT_EQ(ProgramSettings.mp3_channels, 0);
    EXPECT_EQ(ProgramSettings.wav_frequency, 0u);
    EXPECT_EQ(ProgramSettings.wav_bps, 0u);
    EXPECT_EQ(ProgramSettings.ogg_channels, 2);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "wav", "bps", -1), 0);
}

TEST_F(SettingFormTest, CountedValuesOutsideTheirListsShowNoSelection)
{
    ProgramSettings.mp3_channels = 6;
    ProgramSettings.mp3_vbrquality = 10;
    ProgramSettings.wav_channels = 3;
    ProgramSettings.ogg_channels = -4;
    Open();
    EXPECT_EQ(form->TabSheet1->cbMP3Channel->currentIndex(), -1);
    EXPECT_EQ(form->TabSheet1->cbMP3VBRQuality->currentIndex(), -1);
    EXPECT_EQ(form->TabSheet2->cbWAVChannel->currentIndex(), -1);
    EXPECT_EQ(form->TabSheet4->cbOGGChannel->currentIndex(), -1);
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_channels, 0);
    EXPECT_EQ(ProgramSettings.mp3_vbrquality, -1);
    EXPECT_EQ(ProgramSettings.wav_channels, 0u);
    EXPECT_EQ(ProgramSettings.ogg_channels, 0);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "mp3", "channels", 9), 0);
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "mp3", "vbrquality", 9), -1);
}

TEST_F(SettingFormTest, UserChoicesAreSaved)
{
    Open();
    form->TabSheet1->cbMP3Channel->setCurrentIndex(0);
    form->TabSheet1->cbMP3Frequency->setCurrentText("22050");
    form->TabSheet1->CheckMP3VBR->click();
    form->TabSheet1->cbMP3MaxBitrate->setCurrentText("320");
    form->TabSheet1->cbMP3VBRQuality->setCurrentText("2");
    form->TabSheet2->cbWAVBPS->setCurrentText("24");
    form->TabSheet2->cbWAVChannel->setCurrentIndex(0);
    form->TabSheet3->cbWMAProfile->setCurrentIndex(4);
    form->TabSheet4->cbOGGChannel->setCurrentIndex(0);
    form->TabSheet4->CheckOGGVBR->click();
    form->TabSheet4->cbOGGMinBitrate->setCurrentText("64");
    form->TabSheet4->cbOGGMAXBitrate->setCurrentText("256");
    PressOK();
    Deleted();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(SettingForm, nullptr);
    const TProgramSettings &s = ProgramSettings;
    EXPECT_EQ(s.mp3_channels, 1);
    EXPECT_EQ(s.mp3_frequency, 22050);
    EXPECT_EQ(s.mp3_fvbr, 1);
    EXPECT_EQ(s.mp3_maxbitrate, 320);
    EXPECT_EQ(s.mp3_vbrquality, 2);
    EXPECT_EQ(s.wav_bps, 24u);
    EXPECT_EQ(s.wav_channels, 1u);
    EXPECT_EQ(s.wma_wmaprofile, 5);
    EXPECT_EQ(s.ogg_channels, 1);
    EXPECT_EQ(s.ogg_vbr, 1);
    EXPECT_EQ(s.ogg_fquality, 0);
    EXPECT_EQ(s.ogg_minbitrate, 64);
    EXPECT_EQ(s.ogg_maxbitrate, 256);

    ProgramSettings = TProgramSettings{};
    LoadProgramSettings();
    EXPECT_EQ(ProgramSettings.mp3_maxbitrate, 320);
    EXPECT_EQ(ProgramSettings.ogg_minbitrate, 64);
    EXPECT_EQ(ProgramSettings.wma_wmaprofile, 5);
}

TEST_F(SettingFormTest, Mp3VbrBoxEnablesItsListsAndOffKeepsTheirValues)
{
    ProgramSettings.mp3_fvbr = 1;
    ProgramSettings.mp3_maxbitrate = 256;
    ProgramSettings.mp3_vbrquality = 3;
    Open();
    EXPECT_TRUE(form->TabSheet1->CheckMP3VBR->isChecked());
    EXPECT_TRUE(form->TabSheet1->cbMP3MaxBitrate->isEnabled());
    EXPECT_TRUE(form->TabSheet1->Label5->isEnabled());
    ClickBox(form->TabSheet1->CheckMP3VBR);
    EXPECT_FALSE(form->TabSheet1->cbMP3MaxBitrate->isEnabled());
    EXPECT_FALSE(form->TabSheet1->cbMP3VBRQuality->isEnabled());
    EXPECT_FALSE(form->TabSheet1->Label4->isEnabled());
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_fvbr, 0);
    EXPECT_EQ(ProgramSettings.mp3_maxbitrate, 256);
    EXPECT_EQ(ProgramSettings.mp3_vbrquality, 3);
}

TEST_F(SettingFormTest, OnlyExactlyOneTurnsAFlagOn)
{
    ProgramSettings.mp3_fvbr = 2;
    ProgramSettings.ogg_vbr = -1;
    ProgramSettings.ogg_fquality = 5;
    Open();
    EXPECT_FALSE(form->TabSheet1->CheckMP3VBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOggQuality->isChecked());
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_fvbr, 0);
    EXPECT_EQ(ProgramSettings.ogg_vbr, 0);
    EXPECT_EQ(ProgramSettings.ogg_fquality, 0);
}

TEST_F(SettingFormTest, OggVbrAndQualityExcludeEachOther)
{
    Open();
    ClickBox(form->TabSheet4->CheckOGGVBR);
    EXPECT_TRUE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_TRUE(form->TabSheet4->cbOGGMinBitrate->isEnabled());
    EXPECT_TRUE(form->TabSheet4->cbOGGMAXBitrate->isEnabled());
    EXPECT_TRUE(form->TabSheet4->Label13->isEnabled());
    EXPECT_TRUE(form->TabSheet4->Label15->isEnabled());
    EXPECT_FALSE(form->TabSheet4->cbOGGquality->isEnabled());

    ClickBox(form->TabSheet4->CheckOggQuality);
    EXPECT_TRUE(form->TabSheet4->CheckOggQuality->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->cbOGGMinBitrate->isEnabled());
    EXPECT_FALSE(form->TabSheet4->cbOGGMAXBitrate->isEnabled());
    EXPECT_FALSE(form->TabSheet4->Label13->isEnabled());
    EXPECT_TRUE(form->TabSheet4->cbOGGquality->isEnabled());
    EXPECT_TRUE(form->TabSheet4->Label14->isEnabled());

    ClickBox(form->TabSheet4->CheckOGGVBR);
    EXPECT_TRUE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOggQuality->isChecked());
    EXPECT_FALSE(form->TabSheet4->cbOGGquality->isEnabled());
    EXPECT_FALSE(form->TabSheet4->Label14->isEnabled());
    EXPECT_TRUE(form->TabSheet4->cbOGGMinBitrate->isEnabled());

    // Unchecking VBR leaves both unchecked: a plain bit rate.
    ClickBox(form->TabSheet4->CheckOGGVBR);
    EXPECT_FALSE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_FALSE(form->TabSheet4->CheckOggQuality->isChecked());
    EXPECT_FALSE(form->TabSheet4->cbOGGMinBitrate->isEnabled());
    EXPECT_FALSE(form->TabSheet4->cbOGGquality->isEnabled());
    EXPECT_TRUE(form->TabSheet4->GroupBox6->isEnabled());
    EXPECT_TRUE(form->TabSheet4->GroupBox7->isEnabled());
}

TEST_F(SettingFormTest, BothOggFlagsStoredLoadAsQualityOnly)
{
    ProgramSettings.ogg_vbr = 1;
    ProgramSettings.ogg_fquality = 1;
    Open();
    EXPECT_FALSE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_TRUE(form->TabSheet4->CheckOggQuality->isChecked());
    EXPECT_FALSE(form->TabSheet4->cbOGGMinBitrate->isEnabled());
    EXPECT_TRUE(form->TabSheet4->cbOGGquality->isEnabled());
    PressOK();
    EXPECT_EQ(ProgramSettings.ogg_vbr, 0);
    EXPECT_EQ(ProgramSettings.ogg_fquality, 1);
}

TEST_F(SettingFormTest, OggVbrStoredEnablesItsLimits)
{
    ProgramSettings.ogg_vbr = 1;
    ProgramSettings.ogg_minbitrate = 96;
    ProgramSettings.ogg_maxbitrate = 224;
    Open();
    EXPECT_TRUE(form->TabSheet4->CheckOGGVBR->isChecked());
    EXPECT_TRUE(form->TabSheet4->cbOGGMinBitrate->isEnabled());
    EXPECT_EQ(form->TabSheet4->cbOGGMinBitrate->currentText(), "96");
    EXPECT_EQ(form->TabSheet4->cbOGGMAXBitrate->currentText(), "224");
    EXPECT_FALSE(form->TabSheet4->cbOGGquality->isEnabled());
}

TEST_F(SettingFormTest, FlacAndOpusPagesShowTheRecordAndOkSavesTheChoices)
{
    TProgramSettings &s = ProgramSettings;
    s.flac_frequency = 48000;
    s.flac_channels = 1;
    s.flac_bps = 24;
    s.flac_level = 8;
    s.opus_bitrate = 510;
    s.opus_mode = 1;
    s.opus_complexity = 3;
    Open();
    EXPECT_EQ(form->TabSheet5->cbFLACFrequency->currentText(), "48000");
    EXPECT_EQ(form->TabSheet5->cbFLACChannel->currentText(), "Mono");
    EXPECT_EQ(form->TabSheet5->cbFLACBPS->currentText(), "24");
    EXPECT_EQ(form->TabSheet5->cbFLACLevel->currentText(), "8 (smallest)");
    EXPECT_EQ(form->TabSheet6->cbOPUSBitrate->currentText(), "510");
    EXPECT_EQ(form->TabSheet6->cbOPUSMode->currentText(), "Constrained VBR");
    EXPECT_EQ(form->TabSheet6->cbOPUSComplexity->currentText(), "3");

    form->TabSheet5->cbFLACFrequency->setCurrentText("22050");
    form->TabSheet5->cbFLACChannel->setCurrentText("Stereo");
    form->TabSheet5->cbFLACBPS->setCurrentText("16");
    form->TabSheet5->cbFLACLevel->setCurrentText("0 (fastest)");
    form->TabSheet6->cbOPUSBitrate->setCurrentText("6");
    form->TabSheet6->cbOPUSMode->setCurrentText("CBR");
    form->TabSheet6->cbOPUSComplexity->setCurrentText("10 (best)");
    PressOK();
    Deleted();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(s.flac_frequency, 22050);
    EXPECT_EQ(s.flac_channels, 2);
    EXPECT_EQ(s.flac_bps, 16);
    EXPECT_EQ(s.flac_level, 0);
    EXPECT_EQ(s.opus_bitrate, 6);
    EXPECT_EQ(s.opus_mode, 2);
    EXPECT_EQ(s.opus_complexity, 10);
    EXPECT_TRUE(Ini().endsWith("fquality=0\nquality=300\n"
                               "[flac]\nfrequency=22050\nchannels=2\nbps=16\nlevel=0\n"
                               "[opus]\nbitrate=6\nmode=2\ncomplexity=10\n"
                               "[m4a]\nbitrate=128\nfrequency=0\nchannels=0\n"
                               "[alac]\nfrequency=0\nchannels=0\nbps=0\n"))
        << Ini().constData();
}

// A setup.ini from before these formats, and one whose values no list offers:
// both pages show their defaults, and OK writes them.
// A missing FLAC key follows the source; a value outside its list shows the
// list's default.
class FlacOpusDefaultsTest : public SettingFormTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(FlacOpusDefaultsTest, ShowAndSaveTheDefaults)
{
    WriteIni(QByteArray("[mp3]\nbitrate=64\n[ogg]\nquality=900\n") + GetParam());
    LoadProgramSettings();
    Open();
    const bool missing = QByteArray(GetParam()).isEmpty();
    EXPECT_EQ(form->TabSheet5->cbFLACFrequency->currentText(), missing ? "Same as source" : "44100");
    EXPECT_EQ(form->TabSheet5->cbFLACChannel->currentText(), missing ? "Same as source" : "Stereo");
    EXPECT_EQ(form->TabSheet5->cbFLACBPS->currentText(), missing ? "Same as source" : "16");
    EXPECT_EQ(form->TabSheet5->cbFLACLevel->currentText(), "5 (default)");
    EXPECT_EQ(form->TabSheet6->cbOPUSBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet6->cbOPUSMode->currentText(), "VBR");
    EXPECT_EQ(form->TabSheet6->cbOPUSComplexity->currentText(), "10 (best)");
    PressOK();
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "ogg", "quality", 0), 900);
    const struct { const char *section, *key; int value; } saved[] = {
        {"flac", "frequency", missing ? 0 : 44100}, {"flac", "channels", missing ? 0 : 2},
        {"flac", "bps", missing ? 0 : 16},          {"flac", "level", 5},
        {"opus", "bitrate", 128},     {"opus", "mode", 0},     {"opus", "complexity", 10}};
    for (const auto &k : saved)
        EXPECT_EQ(ReadIniInt(ConfigFilePath(), k.section, k.key, -99), k.value) << k.section << '/' << k.key;
}

INSTANTIATE_TEST_SUITE_P(MissingOrOutsideTheLists, FlacOpusDefaultsTest,
                         ::testing::Values("", "[flac]\nfrequency=96000\nchannels=6\nbps=20\nlevel=12\n"
                                               "[opus]\nbitrate=100\nmode=-1\ncomplexity=11\n"));

TEST_F(SettingFormTest, OkOnAFreshMachineWritesTheFormatSectionsInOrder)
{
    ASSERT_FALSE(QFile::exists(ConfigFilePath()));
    Open();
    PressOK();
    EXPECT_EQ(Ini(), "[mp3]\nchannels=3\nfrequency=44100\nbitrate=128\nfvbr=0\nmaxbitrate=192\nvbrquality=7\n"
                     "[wav]\nfrequency=44100\nchannels=2\nbps=16\n"
                     "[wma]\nwmaprofile=38\n"
                     "[ogg]\nfrequency=44100\nchannels=2\nbitrate=128\nvbr=0\nminbitrate=128\nmaxbitrate=192\n"
                     "fquality=0\nquality=300\n"
                     "[flac]\nfrequency=0\nchannels=0\nbps=0\nlevel=5\n"
                     "[opus]\nbitrate=128\nmode=0\ncomplexity=10\n"
                     "[m4a]\nbitrate=128\nfrequency=0\nchannels=0\n"
                     "[alac]\nfrequency=0\nchannels=0\nbps=0\n");
}

class CancelTest : public SettingFormTest, public ::testing::WithParamInterface<int> {};

TEST_P(CancelTest, ChangesNothing)
{
    const QByteArray old = "[mp3]\nbitrate=64\n";
    WriteIni(old);
    LoadProgramSettings();
    const TProgramSettings before = ProgramSettings;
    Open();
    form->TabSheet1->cbMP3Bitrate->setCurrentText("320");
    form->TabSheet4->CheckOggQuality->click();
    form->TabSheet2->cbWAVChannel->setCurrentIndex(0);
    switch (GetParam()) {
    case 0: QTest::mouseClick(form->BtnCancel, Qt::LeftButton); break;
    case 1: form->close(); break;
    case 2: QTest::keyClick(form, Qt::Key_Escape); break;
    }
    Deleted();
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(SettingForm, nullptr);
    EXPECT_EQ(ProgramSettings.mp3_bitrate, before.mp3_bitrate);
    EXPECT_EQ(ProgramSettings.ogg_fquality, before.ogg_fquality);
    EXPECT_EQ(ProgramSettings.wav_channels, before.wav_channels);
    EXPECT_EQ(Ini(), old);
}

INSTANTIATE_TEST_SUITE_P(ByButtonCloseBoxAndEscape, CancelTest, ::testing::Values(0, 1, 2));

TEST_F(SettingFormTest, FailedSaveKeepsTheDialogOpenAndNewValuesInMemory)
{
    // The program folder lies below a regular file: nothing can be written there.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("keep");
    blocker.close();
    SetProgramDirectoryForTesting(dir.filePath("blocker"));
    Open();
    form->TabSheet1->cbMP3Bitrate->setCurrentText("320");
    PressOK();
    Deleted();
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ProgramSettings.mp3_bitrate, 320);
    ASSERT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_EQ(platform.callsOf("error")[0].text, "Unable to write to " + ConfigFilePath() + ".");
    QFile check(dir.filePath("blocker"));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "keep");
}

TEST_F(SettingFormTest, FailedSaveLeavesTheOldFileIntactAndOkCanBeRetried)
{
    const QByteArray old = "; mine\n[mp3]\nbitrate=64\n";
    WriteIni(old);
    Open();
    {
        FileSizeLimit full;
        PressOK();
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Ini(), old);
    EXPECT_EQ(platform.messages(), QStringList{"Unable to write to " + ConfigFilePath() + "."});

    // Space freed, OK again.
    PressOK();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "ogg", "quality", 0), 300);
}

TEST_F(SettingFormTest, UnreachableComponentOpensWithInitialSelections)
{
    ProgramSettings.mp3_bitrate = 320;
    ProgramSettings.mp3_fvbr = 1;
    ProgramSettings.ogg_quality = 900;
    Open(40, /*unreachable=*/true);
    ASSERT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_EQ(platform.callsOf("error")[0].text, "Class not registered.");
    EXPECT_EQ(form->TabSheet3->cbWMAProfile->count(), 0);
    EXPECT_EQ(form->TabSheet1->cbMP3Bitrate->currentText(), "128");
    EXPECT_FALSE(form->TabSheet1->CheckMP3VBR->isChecked());
    EXPECT_EQ(form->TabSheet1->cbMP3MaxBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet4->cbOGGMinBitrate->currentText(), "192");
    EXPECT_EQ(form->TabSheet4->cbOGGMAXBitrate->currentText(), "128");
    EXPECT_EQ(form->TabSheet4->cbOGGquality->currentText(), "500");
    EXPECT_FALSE(form->TabSheet4->cbOGGquality->isEnabled());
    PressOK();
    EXPECT_EQ(ProgramSettings.mp3_bitrate, 128);
    EXPECT_EQ(ProgramSettings.mp3_fvbr, 0);
    EXPECT_EQ(ProgramSettings.wma_wmaprofile, 0);
    EXPECT_EQ(ProgramSettings.ogg_minbitrate, 192);
    EXPECT_EQ(ProgramSettings.ogg_maxbitrate, 128);
    EXPECT_EQ(ProgramSettings.ogg_quality, 500);
}

TEST_F(SettingFormTest, EveryOpeningStartsFromTheRecord)
{
    Open();
    form->TabSheet4->cbOGGBitrate->setCurrentText("64");
    form->close();
    Deleted();
    calls->clear();
    Open();
    EXPECT_EQ(form->TabSheet4->cbOGGBitrate->currentText(), "128");
    EXPECT_EQ(calls->count("WmaProfileName"), 40);
}

TEST_F(SettingFormTest, OpensCentredOnTheLauncherWhicheverWindowOpenedIt)
{
    QWidget launcher;
    launcher.setGeometry(100, 100, 300, 200);
    launcher.show();
    QWidget workWindow(&launcher, Qt::Window);
    workWindow.setGeometry(420, 330, 200, 150);
    workWindow.show();
    form = new TSettingForm(&workWindow, std::make_unique<FakeProfiles>(40, calls));
    form->show();
    EXPECT_EQ(form->frameGeometry().center(), launcher.frameGeometry().center());
}

TEST_F(SettingFormTest, TabOrderFollowsTheReadingOrder)
{
    Open();
    const QStringList expected{"cbMP3Frequency", "cbMP3Channel", "cbMP3Bitrate", "CheckMP3VBR", "cbMP3MaxBitrate",
                               "cbMP3VBRQuality", "cbWAVFrequency", "cbWAVChannel", "cbWAVBPS", "cbWMAProfile",
                               "cbOGGFrequency", "cbOGGChannel", "cbOGGBitrate", "CheckOGGVBR", "cbOGGMAXBitrate",
                               "cbOGGMinBitrate", "CheckOggQuality", "cbOGGquality", "cbFLACFrequency",
                               "cbFLACChannel", "cbFLACBPS", "cbFLACLevel", "cbOPUSBitrate", "cbOPUSMode",
                               "cbOPUSComplexity", "BtnOK", "BtnCancel"};
    QStringList chain;
    QWidget *w = form->TabSheet1->cbMP3Frequency;
    do {
        if (expected.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != form->TabSheet1->cbMP3Frequency);
    EXPECT_EQ(chain, expected);
}

TEST_F(SettingFormTest, TextsFitAtNormalAndEnlargedFonts)
{
    for (const double scale : {1.0, 1.5}) {
        Open();
        QFont font = form->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        form->setFont(font);
        form->adjustSize();
        for (int page = 0; page < form->PageControl1->count(); ++page) {
            form->PageControl1->setCurrentIndex(page);
            QCoreApplication::processEvents();
            for (QWidget *w : form->PageControl1->widget(page)->findChildren<QWidget *>()) {
                if (qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) || qobject_cast<QComboBox *>(w)) {
                    EXPECT_GE(w->width(), w->sizeHint().width())
                        << w->objectName().toStdString() << " at scale " << scale;
                }
            }
        }
        delete form.data();
    }
}

} // namespace
