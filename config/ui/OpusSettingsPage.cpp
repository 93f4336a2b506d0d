#include "config/ui/OpusSettingsPage.h"

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
// would fail a conversion. The mode items, words, stand for these values in
// order.
const ValueList OpusBitRates{{6, 8, 12, 16, 24, 32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 510},
                             11};
const ValueList OpusModes{{0, 1, 2}, 0};
const ValueList OpusComplexities{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10};

} // namespace

OpusSettingsPage::OpusSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet6");
    GroupBox9 = NewGroup(this, "GroupBox9", "OPUS Settings");
    Label20 = NewLabel(GroupBox9, "Label20", "Bitrate (kbps)");
    cbOPUSBitrate = NewList(GroupBox9, "cbOPUSBitrate");
    Label21 = NewLabel(GroupBox9, "Label21", "Mode");
    cbOPUSMode = NewList(GroupBox9, "cbOPUSMode");
    Label22 = NewLabel(GroupBox9, "Label22", "Complexity");
    cbOPUSComplexity = NewList(GroupBox9, "cbOPUSComplexity");
    AddRows(GroupBox9, {{Label20, cbOPUSBitrate}, {Label21, cbOPUSMode}, {Label22, cbOPUSComplexity}});
    Label23 = NewLabel(this, "Label23", "Opus files are always written at 48000 Hz.");
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox9);
    page->addWidget(Label23);
    page->addStretch();

    // Items and the selections the page shows when loading is skipped.
    OpusBitRates.Fill(cbOPUSBitrate);
    cbOPUSMode->addItems({"VBR", "Constrained VBR", "CBR"});
    OpusComplexities.Fill(cbOPUSComplexity);
    cbOPUSComplexity->setItemText(0, "0 (fastest)");
    cbOPUSComplexity->setItemText(10, "10 (best)");
    OpusBitRates.Show(cbOPUSBitrate, 128);
    OpusModes.Show(cbOPUSMode, 0);
    OpusComplexities.Show(cbOPUSComplexity, 10);
}

void OpusSettingsPage::Load(const TProgramSettings &s)
{
    OpusBitRates.Show(cbOPUSBitrate, s.opus_bitrate);
    OpusModes.Show(cbOPUSMode, s.opus_mode);
    OpusComplexities.Show(cbOPUSComplexity, s.opus_complexity);
}

void OpusSettingsPage::Save(TProgramSettings &s) const
{
    s.opus_bitrate = OpusBitRates.Value(cbOPUSBitrate);
    s.opus_mode = OpusModes.Value(cbOPUSMode);
    s.opus_complexity = OpusComplexities.Value(cbOPUSComplexity);
}
