#include "config/ui/WavSettingsPage.h"

#include "config/ProgramSettings.h"
#include "config/ui/SettingsPageParts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace settings_page;

namespace {

const ValueList BitsPerSample{{2, 3, 4, 5, 8, 16, 24, 32, 0}, 5};

} // namespace

WavSettingsPage::WavSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet2");
    GroupBox3 = NewGroup(this, "GroupBox3", "WAV Settings");
    Label6 = NewLabel(GroupBox3, "Label6", "Frequency (Hz)");
    cbWAVFrequency = NewList(GroupBox3, "cbWAVFrequency");
    Label7 = NewLabel(GroupBox3, "Label7", "Channel");
    cbWAVChannel = NewList(GroupBox3, "cbWAVChannel");
    Label8 = NewLabel(GroupBox3, "Label8", "BitsPerSample");
    cbWAVBPS = NewList(GroupBox3, "cbWAVBPS");
    AddRows(GroupBox3, {{Label6, cbWAVFrequency}, {Label7, cbWAVChannel}, {Label8, cbWAVBPS}});
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox3);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    SampleRatesOrSource.Fill(cbWAVFrequency);
    cbWAVChannel->addItems({"Mono", "Stereo"});
    AddSameAsSource(cbWAVChannel);
    BitsPerSample.Fill(cbWAVBPS);
    SampleRatesOrSource.Show(cbWAVFrequency, 44100);
    cbWAVChannel->setCurrentIndex(1);
    BitsPerSample.Show(cbWAVBPS, 16);
}

void WavSettingsPage::Load(const TProgramSettings &s)
{
    SampleRatesOrSource.Show(cbWAVFrequency, static_cast<int>(s.wav_frequency));
    ShowCountedOrSource(cbWAVChannel, s.wav_channels, 1);
    BitsPerSample.Show(cbWAVBPS, static_cast<int>(s.wav_bps));
}

void WavSettingsPage::Save(TProgramSettings &s) const
{
    s.wav_frequency = static_cast<uint32_t>(SampleRatesOrSource.Value(cbWAVFrequency));
    s.wav_channels = static_cast<uint32_t>(CountedOrSourceValue(cbWAVChannel, 1));
    s.wav_bps = static_cast<uint32_t>(BitsPerSample.Value(cbWAVBPS));
}
