#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
struct TProgramSettings;

// The WMA page of the output format settings: the encoding profile. The
// dialog fills the list from the audio file component; item k is profile
// k + 1.
class WmaSettingsPage : public QWidget {
public:
    explicit WmaSettingsPage(QWidget *parent);

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;

    QGroupBox *GroupBox4;
    QLabel *Label9;
    QComboBox *cbWMAProfile;
};
