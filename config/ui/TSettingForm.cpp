#include "config/ui/TSettingForm.h"

#include "base/PlatformServices.h"
#include "app/TMainForm.h"
#include "audio/TAudioFile2.h"
#include "config/ProgramSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <vector>

TSettingForm *SettingForm = nullptr;

namespace {

// A list whose items are values: a stored value missing from it selects the
// fallback index, and no selection saves the fallback value.
struct ValueList {
    std::vector<int> values;
    int fallbackIndex;

    int ValueFallback() const { return values[static_cast<size_t>(fallbackIndex)]; }

    void Fill(QComboBox *cb) const
    {
        for (int v : values)
            cb->addItem(QString::number(v));
    }
    void Show(QComboBox *cb, int value) const
    {
        int index = fallbackIndex;
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i] == value)
                index = static_cast<int>(i);
        cb->setCurrentIndex(index);
    }
    int Value(const QComboBox *cb) const
    {
        const int k = cb->currentIndex();
        return k >= 0 && k < static_cast<int>(values.size()) ? values[static_cast<size_t>(k)] : ValueFallback();
    }
};

const ValueList SampleRates{{8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000}, 6};
const ValueList BitRates{{8, 16, 24, 32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320}, 9};
const ValueList BitsPerSample{{2, 3, 4, 5, 8, 16, 24, 32}, 5};
const ValueList OggQualities{{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, 4};
// Every item of the FLAC and Opus lists is a value their encoders accept, and
// a stored value outside a list shows and saves the list's default, so OK
// never writes a setting that would fail a conversion. The items of the lists
// filled with words stand for these values in order.
const ValueList FlacChannels{{1, 2}, 1};
const ValueList FlacBitsPerSample{{16, 24}, 0};
const ValueList FlacLevels{{0, 1, 2, 3, 4, 5, 6, 7, 8}, 5};
const ValueList OpusBitRates{{6, 8, 12, 16, 24, 32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 510},
                             11};
const ValueList OpusModes{{0, 1, 2}, 0};
const ValueList OpusComplexities{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10};

// Counted lists: item k stands for k + offset. A value outside the list
// leaves no item selected (index -1), which then saves as offset - 1.
void ShowCounted(QComboBox *cb, int64_t value, int offset)
{
    const int64_t index = value - offset;
    cb->setCurrentIndex(index >= 0 && index < cb->count() ? static_cast<int>(index) : -1);
}
int CountedValue(const QComboBox *cb, int offset) { return cb->currentIndex() + offset; }

// TAudioFile2 behind the dialog's narrow interface. The component is created
// at its first use, so a failure to reach it comes from that first call.
class AudioFile2Profiles : public TSettingForm::WmaProfileComponent {
public:
    void SetFormatIndex(int index) override { File().SetFormatIndex(index); }
    int WmaProfileCount() override { return File().WmaProfileCount(); }
    void SetWmaProfile(int profile) override { File().SetWmaProfile(profile); }
    QString WmaProfileName() override { return File().WmaProfileName(); }

private:
    TAudioFile2 &File()
    {
        if (!file_)
            file_ = std::make_unique<TAudioFile2>();
        return *file_;
    }
    std::unique_ptr<TAudioFile2> file_;
};

QComboBox *NewList(QWidget *parent, const QString &name)
{
    auto *cb = new QComboBox(parent);
    cb->setObjectName(name);
    cb->setEditable(false);
    cb->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return cb;
}

QLabel *NewLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QGroupBox *NewGroup(QWidget *parent, const QString &name, const QString &title)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(name);
    return group;
}

// Adds "label  list" rows to a group box; the label names its list for
// screen readers.
void AddRows(QGroupBox *group, std::initializer_list<std::pair<QLabel *, QComboBox *>> rows)
{
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    for (const auto &[label, list] : rows) {
        label->setBuddy(list);
        form->addRow(label, list);
    }
}

} // namespace

TSettingForm::TSettingForm(QWidget *owner) : TSettingForm(owner, std::make_unique<AudioFile2Profiles>()) {}

TSettingForm::TSettingForm(QWidget *owner, std::unique_ptr<WmaProfileComponent> audioFile)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      AudioFile1(std::move(audioFile))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("SettingForm");
    setWindowTitle("Output Format Settings");
    BuildControls();
    FormCreate();
}

TSettingForm::~TSettingForm()
{
    if (SettingForm == this)
        SettingForm = nullptr;
}

void TSettingForm::BuildControls()
{
    // Widgets are created in reading order: that order is also the tab order.
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");

    // MP3
    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName("TabSheet1");
    GroupBox1 = NewGroup(TabSheet1, "GroupBox1", "MP3 Settings");
    Label1 = NewLabel(GroupBox1, "Label1", "Frequency (Hz)");
    cbMP3Frequency = NewList(GroupBox1, "cbMP3Frequency");
    Label2 = NewLabel(GroupBox1, "Label2", "Channel");
    cbMP3Channel = NewList(GroupBox1, "cbMP3Channel");
    Label3 = NewLabel(GroupBox1, "Label3", "Bitrate (kbps)");
    cbMP3Bitrate = NewList(GroupBox1, "cbMP3Bitrate");
    AddRows(GroupBox1, {{Label1, cbMP3Frequency}, {Label2, cbMP3Channel}, {Label3, cbMP3Bitrate}});
    CheckMP3VBR = new QCheckBox("Enable VBR", TabSheet1);
    CheckMP3VBR->setObjectName("CheckMP3VBR");
    GroupBox2 = NewGroup(TabSheet1, "GroupBox2", "VBR");
    Label4 = NewLabel(GroupBox2, "Label4", "Max Bitrate (kbps)");
    cbMP3MaxBitrate = NewList(GroupBox2, "cbMP3MaxBitrate");
    Label5 = NewLabel(GroupBox2, "Label5", "Quality");
    cbMP3VBRQuality = NewList(GroupBox2, "cbMP3VBRQuality");
    AddRows(GroupBox2, {{Label4, cbMP3MaxBitrate}, {Label5, cbMP3VBRQuality}});
    auto *mp3 = new QVBoxLayout(TabSheet1);
    mp3->addWidget(GroupBox1);
    mp3->addWidget(CheckMP3VBR);
    mp3->addWidget(GroupBox2);
    mp3->addStretch();

    // WAV
    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName("TabSheet2");
    GroupBox3 = NewGroup(TabSheet2, "GroupBox3", "WAV Settings");
    Label6 = NewLabel(GroupBox3, "Label6", "Frequency (Hz)");
    cbWAVFrequency = NewList(GroupBox3, "cbWAVFrequency");
    Label7 = NewLabel(GroupBox3, "Label7", "Channel");
    cbWAVChannel = NewList(GroupBox3, "cbWAVChannel");
    Label8 = NewLabel(GroupBox3, "Label8", "BitsPerSample");
    cbWAVBPS = NewList(GroupBox3, "cbWAVBPS");
    AddRows(GroupBox3, {{Label6, cbWAVFrequency}, {Label7, cbWAVChannel}, {Label8, cbWAVBPS}});
    auto *wav = new QVBoxLayout(TabSheet2);
    wav->addWidget(GroupBox3);
    wav->addStretch();

    // WMA
    TabSheet3 = new QWidget(PageControl1);
    TabSheet3->setObjectName("TabSheet3");
    GroupBox4 = NewGroup(TabSheet3, "GroupBox4", "WMA Settings");
    Label9 = NewLabel(GroupBox4, "Label9", "WMA Profile");
    cbWMAProfile = NewList(GroupBox4, "cbWMAProfile");
    // Profile names are long; let the list take the page's width instead of
    // growing the dialog.
    cbWMAProfile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbWMAProfile->setMinimumContentsLength(28);
    Label9->setBuddy(cbWMAProfile);
    auto *wmaRows = new QFormLayout(GroupBox4);
    wmaRows->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    wmaRows->addRow(Label9, cbWMAProfile);
    auto *wma = new QVBoxLayout(TabSheet3);
    wma->addWidget(GroupBox4);
    wma->addStretch();

    // OGG: the format group on top, below it the two option check boxes side
    // by side, each above the group it enables.
    TabSheet4 = new QWidget(PageControl1);
    TabSheet4->setObjectName("TabSheet4");
    GroupBox5 = NewGroup(TabSheet4, "GroupBox5", "OGG Settings");
    Label10 = NewLabel(GroupBox5, "Label10", "Frequency (Hz)");
    cbOGGFrequency = NewList(GroupBox5, "cbOGGFrequency");
    Label11 = NewLabel(GroupBox5, "Label11", "Channel");
    cbOGGChannel = NewList(GroupBox5, "cbOGGChannel");
    Label12 = NewLabel(GroupBox5, "Label12", "Bitrate (kbps)");
    cbOGGBitrate = NewList(GroupBox5, "cbOGGBitrate");
    AddRows(GroupBox5, {{Label10, cbOGGFrequency}, {Label11, cbOGGChannel}, {Label12, cbOGGBitrate}});
    CheckOGGVBR = new QCheckBox("Enable VBR", TabSheet4);
    CheckOGGVBR->setObjectName("CheckOGGVBR");
    GroupBox6 = NewGroup(TabSheet4, "GroupBox6", "VBR");
    Label13 = NewLabel(GroupBox6, "Label13", "Max Bitrate (kbps)");
    cbOGGMAXBitrate = NewList(GroupBox6, "cbOGGMAXBitrate");
    Label15 = NewLabel(GroupBox6, "Label15", "Min Bitrate (kbps)");
    cbOGGMinBitrate = NewList(GroupBox6, "cbOGGMinBitrate");
    AddRows(GroupBox6, {{Label13, cbOGGMAXBitrate}, {Label15, cbOGGMinBitrate}});
    CheckOggQuality = new QCheckBox("Enable Quality", TabSheet4);
    CheckOggQuality->setObjectName("CheckOggQuality");
    GroupBox7 = NewGroup(TabSheet4, "GroupBox7", "Quality");
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
    auto *ogg = new QVBoxLayout(TabSheet4);
    ogg->addWidget(GroupBox5);
    ogg->addLayout(options);
    ogg->addStretch();

    // FLAC
    TabSheet5 = new QWidget(PageControl1);
    TabSheet5->setObjectName("TabSheet5");
    GroupBox8 = NewGroup(TabSheet5, "GroupBox8", "FLAC Settings");
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
    auto *flac = new QVBoxLayout(TabSheet5);
    flac->addWidget(GroupBox8);
    flac->addStretch();

    // OPUS: no sample rate list, the encoder always works at 48 kHz.
    TabSheet6 = new QWidget(PageControl1);
    TabSheet6->setObjectName("TabSheet6");
    GroupBox9 = NewGroup(TabSheet6, "GroupBox9", "OPUS Settings");
    Label20 = NewLabel(GroupBox9, "Label20", "Bitrate (kbps)");
    cbOPUSBitrate = NewList(GroupBox9, "cbOPUSBitrate");
    Label21 = NewLabel(GroupBox9, "Label21", "Mode");
    cbOPUSMode = NewList(GroupBox9, "cbOPUSMode");
    Label22 = NewLabel(GroupBox9, "Label22", "Complexity");
    cbOPUSComplexity = NewList(GroupBox9, "cbOPUSComplexity");
    AddRows(GroupBox9, {{Label20, cbOPUSBitrate}, {Label21, cbOPUSMode}, {Label22, cbOPUSComplexity}});
    Label23 = NewLabel(TabSheet6, "Label23", "Opus files are always written at 48000 Hz.");
    auto *opus = new QVBoxLayout(TabSheet6);
    opus->addWidget(GroupBox9);
    opus->addWidget(Label23);
    opus->addStretch();

    PageControl1->addTab(TabSheet1, "MP3");
    PageControl1->addTab(TabSheet2, "WAV");
    PageControl1->addTab(TabSheet3, "WMA");
    PageControl1->addTab(TabSheet4, "OGG");
    PageControl1->addTab(TabSheet5, "FLAC");
    PageControl1->addTab(TabSheet6, "OPUS");
    PageControl1->setCurrentIndex(0);

    BtnOK = new QPushButton("OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setDefault(true);
    BtnOK->setAutoDefault(true);
    BtnCancel = new QPushButton("Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnCancel);
    auto *root = new QVBoxLayout(this);
    root->addWidget(PageControl1);
    root->addLayout(buttons);
    // A fixed border that still follows the fonts and the screen's scaling.
    root->setSizeConstraint(QLayout::SetFixedSize);
    PageControl1->setMinimumSize(414, 262);

    // Items and the selections the dialog shows when loading is skipped.
    SampleRates.Fill(cbMP3Frequency);
    cbMP3Channel->addItems({"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"});
    BitRates.Fill(cbMP3Bitrate);
    BitRates.Fill(cbMP3MaxBitrate);
    for (int q = 0; q <= 9; ++q)
        cbMP3VBRQuality->addItem(QString::number(q));
    SampleRates.Fill(cbWAVFrequency);
    cbWAVChannel->addItems({"Mono", "Stereo"});
    BitsPerSample.Fill(cbWAVBPS);
    SampleRates.Fill(cbOGGFrequency);
    cbOGGChannel->addItems({"Mono", "Stereo"});
    BitRates.Fill(cbOGGBitrate);
    BitRates.Fill(cbOGGMAXBitrate);
    BitRates.Fill(cbOGGMinBitrate);
    OggQualities.Fill(cbOGGquality);
    SampleRates.Fill(cbFLACFrequency);
    cbFLACChannel->addItems({"Mono", "Stereo"});
    FlacBitsPerSample.Fill(cbFLACBPS);
    FlacLevels.Fill(cbFLACLevel);
    cbFLACLevel->setItemText(0, "0 (fastest)");
    cbFLACLevel->setItemText(5, "5 (default)");
    cbFLACLevel->setItemText(8, "8 (smallest)");
    OpusBitRates.Fill(cbOPUSBitrate);
    cbOPUSMode->addItems({"VBR", "Constrained VBR", "CBR"});
    OpusComplexities.Fill(cbOPUSComplexity);
    cbOPUSComplexity->setItemText(0, "0 (fastest)");
    cbOPUSComplexity->setItemText(10, "10 (best)");

    SampleRates.Show(cbMP3Frequency, 44100);
    cbMP3Channel->setCurrentIndex(2);
    BitRates.Show(cbMP3Bitrate, 128);
    BitRates.Show(cbMP3MaxBitrate, 128);
    cbMP3VBRQuality->setCurrentIndex(7);
    SampleRates.Show(cbWAVFrequency, 44100);
    cbWAVChannel->setCurrentIndex(1);
    BitsPerSample.Show(cbWAVBPS, 16);
    cbWMAProfile->setCurrentIndex(-1);
    SampleRates.Show(cbOGGFrequency, 44100);
    cbOGGChannel->setCurrentIndex(1);
    BitRates.Show(cbOGGBitrate, 128);
    BitRates.Show(cbOGGMAXBitrate, 128);
    BitRates.Show(cbOGGMinBitrate, 192);
    OggQualities.Show(cbOGGquality, 500);
    SampleRates.Show(cbFLACFrequency, 44100);
    FlacChannels.Show(cbFLACChannel, 2);
    FlacBitsPerSample.Show(cbFLACBPS, 16);
    FlacLevels.Show(cbFLACLevel, 5);
    OpusBitRates.Show(cbOPUSBitrate, 128);
    OpusModes.Show(cbOPUSMode, 0);
    OpusComplexities.Show(cbOPUSComplexity, 10);
    for (QWidget *w : std::initializer_list<QWidget *>{Label4, cbMP3MaxBitrate, Label5, cbMP3VBRQuality, Label13,
                                                       cbOGGMAXBitrate, Label15, cbOGGMinBitrate, Label14, cbOGGquality})
        w->setEnabled(false);

    // The rules follow the state, not the click: setting a box in code runs
    // them exactly as a user's click does.
    connect(CheckMP3VBR, &QCheckBox::toggled, this, &TSettingForm::CheckMP3VBRClick);
    connect(CheckOGGVBR, &QCheckBox::toggled, this, &TSettingForm::CheckOGGVBRClick);
    connect(CheckOggQuality, &QCheckBox::toggled, this, &TSettingForm::CheckOggQualityClick);
    connect(BtnOK, &QPushButton::clicked, this, &TSettingForm::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TSettingForm::BtnCancelClick);
}

void TSettingForm::FormCreate()
{
    try {
        AudioFile1->SetFormatIndex(-1);
        const int n = AudioFile1->WmaProfileCount();
        cbWMAProfile->clear();
        for (int i = 1; i <= n; ++i) {
            AudioFile1->SetFormatIndex(-1);
            AudioFile1->SetWmaProfile(i);
            cbWMAProfile->addItem(AudioFile1->WmaProfileName());
        }
        AudioFile1->SetWmaProfile(ProgramSettings.wma_wmaprofile);
    } catch (const std::exception &e) {
        // Without the component the dialog still opens, with its initial
        // selections; OK then saves what it shows.
        cbWMAProfile->setCurrentIndex(-1);
        Platform().ErrorBox(ErrorBoxText(QString::fromUtf8(e.what())));
        return;
    }
    LoadControls();
}

void TSettingForm::LoadControls()
{
    const TProgramSettings &s = ProgramSettings;
    ShowCounted(cbMP3Channel, s.mp3_channels, 1);
    SampleRates.Show(cbMP3Frequency, s.mp3_frequency);
    BitRates.Show(cbMP3Bitrate, s.mp3_bitrate);
    CheckMP3VBR->setChecked(s.mp3_fvbr == 1);
    BitRates.Show(cbMP3MaxBitrate, s.mp3_maxbitrate);
    ShowCounted(cbMP3VBRQuality, s.mp3_vbrquality, 0);
    SampleRates.Show(cbWAVFrequency, static_cast<int>(s.wav_frequency));
    ShowCounted(cbWAVChannel, s.wav_channels, 1);
    BitsPerSample.Show(cbWAVBPS, static_cast<int>(s.wav_bps));
    ShowCounted(cbWMAProfile, s.wma_wmaprofile, 1);
    SampleRates.Show(cbOGGFrequency, s.ogg_frequency);
    ShowCounted(cbOGGChannel, s.ogg_channels, 1);
    BitRates.Show(cbOGGBitrate, s.ogg_bitrate);
    // With both flags stored as 1 the quality box, set second, wins.
    CheckOGGVBR->setChecked(s.ogg_vbr == 1);
    CheckOggQuality->setChecked(s.ogg_fquality == 1);
    BitRates.Show(cbOGGMinBitrate, s.ogg_minbitrate);
    BitRates.Show(cbOGGMAXBitrate, s.ogg_maxbitrate);
    OggQualities.Show(cbOGGquality, s.ogg_quality);
    SampleRates.Show(cbFLACFrequency, s.flac_frequency);
    FlacChannels.Show(cbFLACChannel, s.flac_channels);
    FlacBitsPerSample.Show(cbFLACBPS, s.flac_bps);
    FlacLevels.Show(cbFLACLevel, s.flac_level);
    OpusBitRates.Show(cbOPUSBitrate, s.opus_bitrate);
    OpusModes.Show(cbOPUSMode, s.opus_mode);
    OpusComplexities.Show(cbOPUSComplexity, s.opus_complexity);
}

void TSettingForm::CopyControls()
{
    TProgramSettings &s = ProgramSettings;
    s.mp3_channels = CountedValue(cbMP3Channel, 1);
    s.mp3_frequency = SampleRates.Value(cbMP3Frequency);
    s.mp3_bitrate = BitRates.Value(cbMP3Bitrate);
    s.mp3_fvbr = CheckMP3VBR->isChecked() ? 1 : 0;
    s.mp3_vbrquality = CountedValue(cbMP3VBRQuality, 0);
    s.mp3_maxbitrate = BitRates.Value(cbMP3MaxBitrate);
    s.wav_frequency = static_cast<uint32_t>(SampleRates.Value(cbWAVFrequency));
    s.wav_channels = static_cast<uint32_t>(CountedValue(cbWAVChannel, 1));
    s.wav_bps = static_cast<uint32_t>(BitsPerSample.Value(cbWAVBPS));
    s.wma_wmaprofile = CountedValue(cbWMAProfile, 1);
    s.ogg_frequency = SampleRates.Value(cbOGGFrequency);
    s.ogg_channels = CountedValue(cbOGGChannel, 1);
    s.ogg_bitrate = BitRates.Value(cbOGGBitrate);
    s.ogg_vbr = CheckOGGVBR->isChecked() ? 1 : 0;
    s.ogg_fquality = CheckOggQuality->isChecked() ? 1 : 0;
    s.ogg_minbitrate = BitRates.Value(cbOGGMinBitrate);
    s.ogg_maxbitrate = BitRates.Value(cbOGGMAXBitrate);
    s.ogg_quality = OggQualities.Value(cbOGGquality);
    s.flac_frequency = SampleRates.Value(cbFLACFrequency);
    s.flac_channels = FlacChannels.Value(cbFLACChannel);
    s.flac_bps = FlacBitsPerSample.Value(cbFLACBPS);
    s.flac_level = FlacLevels.Value(cbFLACLevel);
    s.opus_bitrate = OpusBitRates.Value(cbOPUSBitrate);
    s.opus_mode = OpusModes.Value(cbOPUSMode);
    s.opus_complexity = OpusComplexities.Value(cbOPUSComplexity);
}

void TSettingForm::CheckMP3VBRClick()
{
    const bool on = CheckMP3VBR->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{cbMP3MaxBitrate, cbMP3VBRQuality, Label4, Label5})
        w->setEnabled(on);
}

void TSettingForm::CheckOGGVBRClick()
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

void TSettingForm::CheckOggQualityClick()
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

void TSettingForm::BtnOKClick()
{
    CopyControls();
    try {
        SaveFormatSettings();
    } catch (const std::runtime_error &e) {
        // The choices stay in ProgramSettings and on screen, and setup.ini is
        // as it was; the user can fix the file's permissions and press OK again.
        Platform().ErrorBox(ErrorBoxText(QString::fromUtf8(e.what())));
        return;
    }
    accept();
}

void TSettingForm::BtnCancelClick() { reject(); }

void TSettingForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    // Centred on the launcher, whichever window opened the dialog.
    const QWidget *anchor = MainForm ? static_cast<QWidget *>(MainForm) : parentWidget();
    if (!anchor)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(anchor->frameGeometry().center());
    if (const QScreen *screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
}
