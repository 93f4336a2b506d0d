#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The OPUS page of the output format settings: bit rate, rate control and
// complexity. No sample rate list: the encoder always works at 48 kHz.
class OpusSettingsPage : public QWidget {
public:
    explicit OpusSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox9;
    QLabel *Label20, *Label21, *Label22, *Label23;
    QComboBox *cbOPUSBitrate, *cbOPUSMode, *cbOPUSComplexity;
};
