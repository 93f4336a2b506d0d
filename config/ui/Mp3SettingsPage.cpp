#include "config/ui/Mp3SettingsPage.h"

#include "config/ProgramSettings.h"
#include "config/ui/SettingsPageParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace settings_page;

Mp3SettingsPage::Mp3SettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet1");
    // Widgets are created in reading order: that order is also the tab order.
    GroupBox1 = NewGroup(this, "GroupBox1", "MP3 Settings");
    Label1 = NewLabel(GroupBox1, "Label1", "Frequency (Hz)");
    cbMP3Frequency = NewList(GroupBox1, "cbMP3Frequency");
    Label2 = NewLabel(GroupBox1, "Label2", "Channel");
    cbMP3Channel = NewList(GroupBox1, "cbMP3Channel");
    Label3 = NewLabel(GroupBox1, "Label3", "Bitrate (kbps)");
    cbMP3Bitrate = NewList(GroupBox1, "cbMP3Bitrate");
    AddRows(GroupBox1, {{Label1, cbMP3Frequency}, {Label2, cbMP3Channel}, {Label3, cbMP3Bitrate}});
    CheckMP3VBR = new QCheckBox("Enable VBR", this);
    CheckMP3VBR->setObjectName("CheckMP3VBR");
    GroupBox2 = NewGroup(this, "GroupBox2", "VBR");
    Label4 = NewLabel(GroupBox2, "Label4", "Max Bitrate (kbps)");
    cbMP3MaxBitrate = NewList(GroupBox2, "cbMP3MaxBitrate");
    Label5 = NewLabel(GroupBox2, "Label5", "Quality");
    cbMP3VBRQuality = NewList(GroupBox2, "cbMP3VBRQuality");
    AddRows(GroupBox2, {{Label4, cbMP3MaxBitrate}, {Label5, cbMP3VBRQuality}});
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox1);
    page->addWidget(CheckMP3VBR);
    page->addWidget(GroupBox2);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    SampleRatesOrSource.Fill(cbMP3Frequency);
    cbMP3Channel->addItems({"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"});
    AddSameAsSource(cbMP3Channel);
    BitRates.Fill(cbMP3Bitrate);
    BitRates.Fill(cbMP3MaxBitrate);
    for (int q = 0; q <= 9; ++q)
        cbMP3VBRQuality->addItem(QString::number(q));
    SampleRatesOrSource.Show(cbMP3Frequency, 44100);
    cbMP3Channel->setCurrentIndex(2);
    BitRates.Show(cbMP3Bitrate, 128);
    BitRates.Show(cbMP3MaxBitrate, 128);
    cbMP3VBRQuality->setCurrentIndex(7);
    for (QWidget *w : std::initializer_list<QWidget *>{Label4, cbMP3MaxBitrate, Label5, cbMP3VBRQuality})
        w->setEnabled(false);

    // The rule follows the state, not the click: setting the box in code runs
    // it exactly as a user's click does.
    connect(CheckMP3VBR, &QCheckBox::toggled, this, &Mp3SettingsPage::CheckMP3VBRClick);
}

void Mp3SettingsPage::Load(const TProgramSettings &s)
{
    ShowCountedOrSource(cbMP3Channel, s.mp3_channels, 1);
    SampleRatesOrSource.Show(cbMP3Frequency, s.mp3_frequency);
    BitRates.Show(cbMP3Bitrate, s.mp3_bitrate);
    CheckMP3VBR->setChecked(s.mp3_fvbr == 1);
    BitRates.Show(cbMP3MaxBitrate, s.mp3_maxbitrate);
    ShowCounted(cbMP3VBRQuality, s.mp3_vbrquality, 0);
}

void Mp3SettingsPage::Save(TProgramSettings &s) const
{
    s.mp3_channels = CountedOrSourceValue(cbMP3Channel, 1);
    s.mp3_frequency = SampleRatesOrSource.Value(cbMP3Frequency);
    s.mp3_bitrate = BitRates.Value(cbMP3Bitrate);
    s.mp3_fvbr = CheckMP3VBR->isChecked() ? 1 : 0;
    s.mp3_vbrquality = CountedValue(cbMP3VBRQuality, 0);
    s.mp3_maxbitrate = BitRates.Value(cbMP3MaxBitrate);
}

void Mp3SettingsPage::CheckMP3VBRClick()
{
    const bool on = CheckMP3VBR->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{cbMP3MaxBitrate, cbMP3VBRQuality, Label4, Label5})
        w->setEnabled(on);
}
