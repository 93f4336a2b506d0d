#include "config/ui/OggSettingsPage.h"

#include "config/ProgramSettings.h"
#include "config/ui/SettingsPageParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace settings_page;

namespace {

const ValueList OggQualities{{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, 4};

} // namespace

OggSettingsPage::OggSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet4");
    // The format group on top, below it the two option check boxes side by
    // side, each above the group it enables.
    GroupBox5 = NewGroup(this, "GroupBox5", "OGG Settings");
    Label10 = NewLabel(GroupBox5, "Label10", "Frequency (Hz)");
    cbOGGFrequency = NewList(GroupBox5, "cbOGGFrequency");
    Label11 = NewLabel(GroupBox5, "Label11", "Channel");
    cbOGGChannel = NewList(GroupBox5, "cbOGGChannel");
    Label12 = NewLabel(GroupBox5, "Label12", "Bitrate (kbps)");
    cbOGGBitrate = NewList(GroupBox5, "cbOGGBitrate");
    AddRows(GroupBox5, {{Label10, cbOGGFrequency}, {Label11, cbOGGChannel}, {Label12, cbOGGBitrate}});
    CheckOGGVBR = new QCheckBox("Enable VBR", this);
    CheckOGGVBR->setObjectName("CheckOGGVBR");
    GroupBox6 = NewGroup(this, "GroupBox6", "VBR");
    Label13 = NewLabel(GroupBox6, "Label13", "Max Bitrate (kbps)");
    cbOGGMAXBitrate = NewList(GroupBox6, "cbOGGMAXBitrate");
    Label15 = NewLabel(GroupBox6, "Label15", "Min Bitrate (kbps)");
    cbOGGMinBitrate = NewList(GroupBox6, "cbOGGMinBitrate");
    AddRows(GroupBox6, {{Label13, cbOGGMAXBitrate}, {Label15, cbOGGMinBitrate}});
    CheckOggQuality = new QCheckBox("Enable Quality", this);
    CheckOggQuality->setObjectName("CheckOggQuality");
    GroupBox7 = NewGroup(this, "GroupBox7", "Quality");
    Label14 = NewLabel(GroupBox7, "Label14", "Quality");
    cbOGGquality = NewList(GroupBox7, "cbOGGquality");
    AddRows(GroupBox7, {{Label14, cbOGGquality}});
    auto *vbrColumn = new QVBoxLayout;
    vbrColumn->addWidget(CheckOGGVBR);
    vbrColumn->addWidget(GroupBox6);
    vbrColumn->addStretch();
    auto *qualityColumn = new QVBoxLayout;
    qualityColumn->addWidget(CheckOggQuality);
    qualityColumn->addWidget(GroupBox7);
    qualityColumn->addStretch();
    auto *options = new QHBoxLayout;
    options->addLayout(vbrColumn);
    options->addLayout(qualityColumn);
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox5);
    page->addLayout(options);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    SampleRatesOrSource.Fill(cbOGGFrequency);
    cbOGGChannel->addItems({"Mono", "Stereo"});
    AddSameAsSource(cbOGGChannel);
    BitRates.Fill(cbOGGBitrate);
    BitRates.Fill(cbOGGMAXBitrate);
    BitRates.Fill(cbOGGMinBitrate);
    OggQualities.Fill(cbOGGquality);
    SampleRatesOrSource.Show(cbOGGFrequency, 44100);
    cbOGGChannel->setCurrentIndex(1);
    BitRates.Show(cbOGGBitrate, 128);
    BitRates.Show(cbOGGMAXBitrate, 128);
    BitRates.Show(cbOGGMinBitrate, 192);
    OggQualities.Show(cbOGGquality, 500);
    for (QWidget *w :
         std::initializer_list<QWidget *>{Label13, cbOGGMAXBitrate, Label15, cbOGGMinBitrate, Label14, cbOGGquality})
        w->setEnabled(false);

    // The rules follow the state, not the click: setting a box in code runs
    // them exactly as a user's click does.
    connect(CheckOGGVBR, &QCheckBox::toggled, this, &OggSettingsPage::CheckOGGVBRClick);
    connect(CheckOggQuality, &QCheckBox::toggled, this, &OggSettingsPage::CheckOggQualityClick);
}

void OggSettingsPage::Load(const TProgramSettings &s)
{
    SampleRatesOrSource.Show(cbOGGFrequency, s.ogg_frequency);
    ShowCountedOrSource(cbOGGChannel, s.ogg_channels, 1);
    BitRates.Show(cbOGGBitrate, s.ogg_bitrate);
    // With both flags stored as 1 the quality box, set second, wins.
    CheckOGGVBR->setChecked(s.ogg_vbr == 1);
    CheckOggQuality->setChecked(s.ogg_fquality == 1);
    BitRates.Show(cbOGGMinBitrate, s.ogg_minbitrate);
    BitRates.Show(cbOGGMAXBitrate, s.ogg_maxbitrate);
    OggQualities.Show(cbOGGquality, s.ogg_quality);
}

void OggSettingsPage::Save(TProgramSettings &s) const
{
    s.ogg_frequency = SampleRatesOrSource.Value(cbOGGFrequency);
    s.ogg_channels = CountedOrSourceValue(cbOGGChannel, 1);
    s.ogg_bitrate = BitRates.Value(cbOGGBitrate);
    s.ogg_vbr = CheckOGGVBR->isChecked() ? 1 : 0;
    s.ogg_fquality = CheckOggQuality->isChecked() ? 1 : 0;
    s.ogg_minbitrate = BitRates.Value(cbOGGMinBitrate);
    s.ogg_maxbitrate = BitRates.Value(cbOGGMAXBitrate);
    s.ogg_quality = OggQualities.Value(cbOGGquality);
}

void OggSettingsPage::CheckOGGVBRClick()
{
    const bool on = CheckOGGVBR->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{cbOGGMAXBitrate, cbOGGMinBitrate, Label13, Label15})
        w->setEnabled(on);
    if (on) {
        CheckOggQuality->setChecked(false);
        cbOGGquality->setEnabled(false);
        Label14->setEnabled(false);
    }
}

void OggSettingsPage::CheckOggQualityClick()
{
    const bool on = CheckOggQuality->isChecked();
    if (on) {
        CheckOGGVBR->setChecked(false);
        for (QWidget *w : std::initializer_list<QWidget *>{cbOGGMAXBitrate, cbOGGMinBitrate, Label13, Label15})
            w->setEnabled(false);
    }
    cbOGGquality->setEnabled(on);
    Label14->setEnabled(on);
}
