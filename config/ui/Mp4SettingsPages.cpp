#include "config/ui/Mp4SettingsPages.h"

#include "config/ProgramSettings.h"
#include "config/ui/SettingsPageParts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace settings_page;

namespace {

// Every item is a value the encoder accepts, and a stored value outside a
// list shows and saves the list's default, so OK never writes a setting that
// would fail a conversion. The channel items, words, stand for these values
// in order.
const ValueList AacBitRates{{32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320}, 6};
const ValueList Mp4Channels{{1, 2, 0}, 2};
const ValueList AlacBitsPerSample{{16, 24, 0}, 2};

QVBoxLayout *PageLayout(QWidget *page, QGroupBox *group)
{
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    return layout;
}

} // namespace

M4aSettingsPage::M4aSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet7");
    GroupBox10 = NewGroup(this, "GroupBox10", "M4A Settings");
    Label24 = NewLabel(GroupBox10, "Label24", "Bitrate (kbps)");
    cbM4ABitrate = NewList(GroupBox10, "cbM4ABitrate");
    Label25 = NewLabel(GroupBox10, "Label25", "Frequency (Hz)");
    cbM4AFrequency = NewList(GroupBox10, "cbM4AFrequency");
    Label26 = NewLabel(GroupBox10, "Label26", "Channel");
    cbM4AChannel = NewList(GroupBox10, "cbM4AChannel");
    AddRows(GroupBox10, {{Label24, cbM4ABitrate}, {Label25, cbM4AFrequency}, {Label26, cbM4AChannel}});
    Label27 = NewLabel(this, "Label27", "AAC; M4B (audiobook) files use these settings too.");
    QVBoxLayout *page = PageLayout(this, GroupBox10);
    page->addWidget(Label27);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    AacBitRates.Fill(cbM4ABitrate);
    SampleRatesOrSource.Fill(cbM4AFrequency);
    cbM4AChannel->addItems({"Mono", "Stereo", SameAsSourceText()});
    AacBitRates.Show(cbM4ABitrate, 128);
    SampleRatesOrSource.Show(cbM4AFrequency, 0);
    Mp4Channels.Show(cbM4AChannel, 0);
}

void M4aSettingsPage::Load(const TProgramSettings &s)
{
    AacBitRates.Show(cbM4ABitrate, s.m4a_bitrate);
    SampleRatesOrSource.Show(cbM4AFrequency, s.m4a_frequency);
    Mp4Channels.Show(cbM4AChannel, s.m4a_channels);
}

void M4aSettingsPage::Save(TProgramSettings &s) const
{
    s.m4a_bitrate = AacBitRates.Value(cbM4ABitrate);
    s.m4a_frequency = SampleRatesOrSource.Value(cbM4AFrequency);
    s.m4a_channels = Mp4Channels.Value(cbM4AChannel);
}

AlacSettingsPage::AlacSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet8");
    GroupBox11 = NewGroup(this, "GroupBox11", "ALAC Settings");
    Label28 = NewLabel(GroupBox11, "Label28", "Frequency (Hz)");
    cbALACFrequency = NewList(GroupBox11, "cbALACFrequency");
    Label29 = NewLabel(GroupBox11, "Label29", "Channel");
    cbALACChannel = NewList(GroupBox11, "cbALACChannel");
    Label30 = NewLabel(GroupBox11, "Label30", "BitsPerSample");
    cbALACBPS = NewList(GroupBox11, "cbALACBPS");
    AddRows(GroupBox11, {{Label28, cbALACFrequency}, {Label29, cbALACChannel}, {Label30, cbALACBPS}});
    PageLayout(this, GroupBox11)->addStretch();

    SampleRatesOrSource.Fill(cbALACFrequency);
    cbALACChannel->addItems({"Mono", "Stereo", SameAsSourceText()});
    AlacBitsPerSample.Fill(cbALACBPS);
    SampleRatesOrSource.Show(cbALACFrequency, 0);
    Mp4Channels.Show(cbALACChannel, 0);
    AlacBitsPerSample.Show(cbALACBPS, 0);
}

void AlacSettingsPage::Load(const TProgramSettings &s)
{
    SampleRatesOrSource.Show(cbALACFrequency, s.alac_frequency);
    Mp4Channels.Show(cbALACChannel, s.alac_channels);
    AlacBitsPerSample.Show(cbALACBPS, s.alac_bps);
}

void AlacSettingsPage::Save(TProgramSettings &s) const
{
    s.alac_frequency = SampleRatesOrSource.Value(cbALACFrequency);
    s.alac_channels = Mp4Channels.Value(cbALACChannel);
    s.alac_bps = AlacBitsPerSample.Value(cbALACBPS);
}
