#include "config/ui/TSettingForm.h"

#include "audio/TAudioFile2.h"
#include "base/PlatformServices.h"
#include "config/ProgramSettings.h"
#include "config/ui/FlacSettingsPage.h"
#include "config/ui/Mp3SettingsPage.h"
#include "config/ui/Mp4SettingsPages.h"
#include "config/ui/OggSettingsPage.h"
#include "config/ui/OpusSettingsPage.h"
#include "config/ui/WavSettingsPage.h"
#include "config/ui/WmaSettingsPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

TSettingForm *SettingForm = nullptr;

namespace {

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
    BuildFrame();
    FormCreate();
}

TSettingForm::~TSettingForm()
{
    if (SettingForm == this)
        SettingForm = nullptr;
}

void TSettingForm::BuildFrame()
{
    // Pages are created in reading order, before the buttons: that order is
    // also the tab order.
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    TabSheet1 = new Mp3SettingsPage(PageControl1);
    TabSheet2 = new WavSettingsPage(PageControl1);
    TabSheet3 = new WmaSettingsPage(PageControl1);
    TabSheet4 = new OggSettingsPage(PageControl1);
    TabSheet5 = new FlacSettingsPage(PageControl1);
    TabSheet6 = new OpusSettingsPage(PageControl1);
    TabSheet7 = new M4aSettingsPage(PageControl1);
    TabSheet8 = new AlacSettingsPage(PageControl1);
    PageControl1->addTab(TabSheet1, "MP3");
    PageControl1->addTab(TabSheet2, "WAV");
    PageControl1->addTab(TabSheet3, "WMA");
    PageControl1->addTab(TabSheet4, "OGG");
    PageControl1->addTab(TabSheet5, "FLAC");
    PageControl1->addTab(TabSheet6, "OPUS");
    PageControl1->addTab(TabSheet7, "M4A");
    PageControl1->addTab(TabSheet8, "ALAC");
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

    connect(BtnOK, &QPushButton::clicked, this, &TSettingForm::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TSettingForm::BtnCancelClick);
}

void TSettingForm::FormCreate()
{
    try {
        AudioFile1->SetFormatIndex(-1);
        const int n = AudioFile1->WmaProfileCount();
        QComboBox *profiles = TabSheet3->cbWMAProfile;
        profiles->clear();
        for (int i = 1; i <= n; ++i) {
            AudioFile1->SetFormatIndex(-1);
            AudioFile1->SetWmaProfile(i);
            profiles->addItem(AudioFile1->WmaProfileName());
        }
        AudioFile1->SetWmaProfile(ProgramSettings.wma_wmaprofile);
    } catch (const std::exception &e) {
        // Without the component the dialog still opens, with its initial
        // selections; OK then saves what it shows.
        TabSheet3->cbWMAProfile->setCurrentIndex(-1);
        Platform().ErrorBox(ErrorBoxText(QString::fromUtf8(e.what())));
        return;
    }
    LoadControls();
}

void TSettingForm::LoadControls()
{
    const TProgramSettings &s = ProgramSettings;
    TabSheet1->Load(s);
    TabSheet2->Load(s);
    TabSheet3->Load(s);
    TabSheet4->Load(s);
    TabSheet5->Load(s);
    TabSheet6->Load(s);
    TabSheet7->Load(s);
    TabSheet8->Load(s);
}

void TSettingForm::CopyControls()
{
    TProgramSettings &s = ProgramSettings;
    TabSheet1->Save(s);
    TabSheet2->Save(s);
    TabSheet3->Save(s);
    TabSheet4->Save(s);
    TabSheet5->Save(s);
    TabSheet6->Save(s);
    TabSheet7->Save(s);
    TabSheet8->Save(s);
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
    // Centred on the launcher, whichever window opened the dialog: the split
    // and merge windows are owned by the launcher, so it is the outermost
    // owner.
    const QWidget *anchor = parentWidget();
    if (!anchor)
        return;
    while (anchor->parentWidget())
        anchor = anchor->parentWidget();
    QRect frame = frameGeometry();
    frame.moveCenter(anchor->frameGeometry().center());
    if (const QScreen *screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
}
