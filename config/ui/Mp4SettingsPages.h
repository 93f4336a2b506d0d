#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The M4A page of the output format settings: AAC bit rate, sample rate and
// channels. M4B (audiobook) files are written with the same settings.
class M4aSettingsPage : public QWidget {
public:
    explicit M4aSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox10;
    QLabel *Label24, *Label25, *Label26, *Label27;
    QComboBox *cbM4ABitrate, *cbM4AFrequency, *cbM4AChannel;
};

// The ALAC page: sample rate, channels and bits per sample of the lossless output.
class AlacSettingsPage : public QWidget {
public:
    explicit AlacSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox11;
    QLabel *Label28, *Label29, *Label30;
    QComboBox *cbALACFrequency, *cbALACChannel, *cbALACBPS;
};
