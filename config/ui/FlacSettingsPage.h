#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The FLAC page of the output format settings: sample rate, channels, sample
// format and compression level.
class FlacSettingsPage : public QWidget {
public:
    explicit FlacSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox8;
    QLabel *Label16, *Label17, *Label18, *Label19;
    QComboBox *cbFLACFrequency, *cbFLACChannel, *cbFLACBPS, *cbFLACLevel;
};
