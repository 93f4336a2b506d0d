#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;

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
    QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4, *TabSheet5, *TabSheet6;

    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6, *GroupBox7, *GroupBox8,
        *GroupBox9;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10,
        *Label11, *Label12, *Label13, *Label14, *Label15, *Label16, *Label17, *Label18, *Label19, *Label20,
        *Label21, *Label22, *Label23;

    QComboBox *cbMP3Frequency, *cbMP3Channel, *cbMP3Bitrate, *cbMP3MaxBitrate, *cbMP3VBRQuality;
    QCheckBox *CheckMP3VBR;
    QComboBox *cbWAVFrequency, *cbWAVChannel, *cbWAVBPS;
    QComboBox *cbWMAProfile;
    QComboBox *cbOGGFrequency, *cbOGGChannel, *cbOGGBitrate, *cbOGGMAXBitrate, *cbOGGMinBitrate, *cbOGGquality;
    QCheckBox *CheckOGGVBR, *CheckOggQuality;
    QComboBox *cbFLACFrequency, *cbFLACChannel, *cbFLACBPS, *cbFLACLevel;
    QComboBox *cbOPUSBitrate, *cbOPUSMode, *cbOPUSComplexity;

    QPushButton *BtnOK, *BtnCancel;

    // Handlers, one per user action.
    void CheckMP3VBRClick();
    void CheckOGGVBRClick();
    void CheckOggQualityClick();
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BuildControls();
    void FormCreate();
    void LoadControls();
    void CopyControls();

    std::unique_ptr<WmaProfileComponent> AudioFile1;
    bool centred_ = false;
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TSettingForm *SettingForm;
