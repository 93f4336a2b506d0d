#pragma once
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The OGG page of the output format settings: sample rate, channels and bit
// rate, then either VBR limits or a quality level. The two check boxes are
// never both checked; both unchecked means a plain bit rate.
class OggSettingsPage : public QWidget {
public:
    explicit OggSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox5, *GroupBox6, *GroupBox7;
    QLabel *Label10, *Label11, *Label12, *Label13, *Label14, *Label15;
    QComboBox *cbOGGFrequency, *cbOGGChannel, *cbOGGBitrate, *cbOGGMAXBitrate, *cbOGGMinBitrate, *cbOGGquality;
    QCheckBox *CheckOGGVBR, *CheckOggQuality;

    void CheckOGGVBRClick();
    void CheckOggQualityClick();
};
