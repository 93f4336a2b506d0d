#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The WAV page of the output format settings: sample rate, channels and bits
// per sample.
class WavSettingsPage : public QWidget {
public:
    explicit WavSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox3;
    QLabel *Label6, *Label7, *Label8;
    QComboBox *cbWAVFrequency, *cbWAVChannel, *cbWAVBPS;
};
