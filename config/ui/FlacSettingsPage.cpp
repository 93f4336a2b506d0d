#include "config/ui/FlacSettingsPage.h"

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
const ValueList FlacChannels{{1, 2, 0}, 1};
const ValueList FlacBitsPerSample{{16, 24, 0}, 0};
const ValueList FlacLevels{{0, 1, 2, 3, 4, 5, 6, 7, 8}, 5};

} // namespace

FlacSettingsPage::FlacSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet5");
    GroupBox8 = NewGroup(this, "GroupBox8", "FLAC Settings");
    Label16 = NewLabel(GroupBox8, "Label16", "Frequency (Hz)");
    cbFLACFrequency = NewList(GroupBox8, "cbFLACFrequency");
    Label17 = NewLabel(GroupBox8, "Label17", "Channel");
    cbFLACChannel = NewList(GroupBox8, "cbFLACChannel");
    Label18 = NewLabel(GroupBox8, "Label18", "BitsPerSample");
    cbFLACBPS = NewList(GroupBox8, "cbFLACBPS");
    Label19 = NewLabel(GroupBox8, "Label19", "Compression Level");
    cbFLACLevel = NewList(GroupBox8, "cbFLACLevel");
    AddRows(GroupBox8, {{Label16, cbFLACFrequency}, {Label17, cbFLACChannel}, {Label18, cbFLACBPS},
                        {Label19, cbFLACLevel}});
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox8);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    SampleRatesOrSource.Fill(cbFLACFrequency);
    cbFLACChannel->addItems({"Mono", "Stereo", SameAsSourceText()});
    FlacBitsPerSample.Fill(cbFLACBPS);
    FlacLevels.Fill(cbFLACLevel);
    cbFLACLevel->setItemText(0, "0 (fastest)");
    cbFLACLevel->setItemText(5, "5 (default)");
    cbFLACLevel->setItemText(8, "8 (smallest)");
    SampleRatesOrSource.Show(cbFLACFrequency, 0);
    FlacChannels.Show(cbFLACChannel, 0);
    FlacBitsPerSample.Show(cbFLACBPS, 0);
    FlacLevels.Show(cbFLACLevel, 5);
}

void FlacSettingsPage::Load(const TProgramSettings &s)
{
    SampleRatesOrSource.Show(cbFLACFrequency, s.flac_frequency);
    FlacChannels.Show(cbFLACChannel, s.flac_channels);
    FlacBitsPerSample.Show(cbFLACBPS, s.flac_bps);
    FlacLevels.Show(cbFLACLevel, s.flac_level);
}

void FlacSettingsPage::Save(TProgramSettings &s) const
{
    s.flac_frequency = SampleRatesOrSource.Value(cbFLACFrequency);
    s.flac_channels = FlacChannels.Value(cbFLACChannel);
    s.flac_bps = FlacBitsPerSample.Value(cbFLACBPS);
    s.flac_level = FlacLevels.Value(cbFLACLevel);
}
