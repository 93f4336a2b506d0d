#pragma once
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The MP3 page of the output format settings: sample rate, channel mode and
// bit rate, and the VBR options that only count while "Enable VBR" is checked.
class Mp3SettingsPage : public QWidget {
public:
    explicit Mp3SettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox1, *GroupBox2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QComboBox *cbMP3Frequency, *cbMP3Channel, *cbMP3Bitrate, *cbMP3MaxBitrate, *cbMP3VBRQuality;
    QCheckBox *CheckMP3VBR;

    void CheckMP3VBRClick();
};
