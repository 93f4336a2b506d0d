#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class AlacSettingsPage;
class FlacSettingsPage;
class M4aSettingsPage;
class Mp3SettingsPage;
class OggSettingsPage;
class OpusSettingsPage;
class QPushButton;
class QTabWidget;
class QWidget;
class WavSettingsPage;
class WmaSettingsPage;

// The output format settings dialog: sample rate, channels, bit rate and the
// VBR/quality options of MP3, WAV and OGG output, the WMA encoding profile,
// FLAC's sample format and compression level, and Opus' bit rate, rate
// control and complexity.
// It shows ProgramSettings when it opens; OK copies the choices back and
// writes them to setup.ini. Built anew on every opening, destroyed on close.
class TSettingForm : public QDialog {
    Q_OBJECT
public:
    // The audio file component operations the dialog needs to list the WMA
    // profiles (TAudioFile2's, by default). Any call may throw when the
    // component cannot be reached.
    class WmaProfileComponent {
    public:
        virtual ~WmaProfileComponent() = default;
        virtual void SetFormatIndex(int index) = 0;
        virtual int WmaProfileCount() = 0;
        virtual void SetWmaProfile(int profile) = 0; // numbered from 1
        virtual QString WmaProfileName() = 0;        // of the selected profile
    };

    explicit TSettingForm(QWidget *owner);
    // For a component other than TAudioFile2 (tests stand in for it here).
    TSettingForm(QWidget *owner, std::unique_ptr<WmaProfileComponent> audioFile);
    ~TSettingForm() override;

    QTabWidget *PageControl1;
    // One page per format, in the tabs' order; each holds its own controls.
    Mp3SettingsPage *TabSheet1;
    WavSettingsPage *TabSheet2;
    WmaSettingsPage *TabSheet3;
    OggSettingsPage *TabSheet4;
    FlacSettingsPage *TabSheet5;
    OpusSettingsPage *TabSheet6;
    M4aSettingsPage *TabSheet7; // M4B shares it
    AlacSettingsPage *TabSheet8;

    QPushButton *BtnOK, *BtnCancel;

    // Handlers, one per user action; the pages handle their own check boxes.
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BuildFrame();
    void FormCreate();
    void LoadControls();
    void CopyControls();

    std::unique_ptr<WmaProfileComponent> AudioFile1;
    bool centred_ = false;
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TSettingForm *SettingForm;
