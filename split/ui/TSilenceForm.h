#pragma once
#include "split/SilenceDetector.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

// Asks how to find silences: the threshold, the shortest silence, how many
// tracks the file holds and whether the silences are cut out. Collects the values only; the caller
// searches.
class TSilenceForm : public QDialog {
    Q_OBJECT
public:
    explicit TSilenceForm(QWidget *parent, const SilenceSettings &initial = {});

    SilenceSettings Settings() const;

    QDoubleSpinBox *EdThreshold;  // dB
    QDoubleSpinBox *EdMinSilence; // seconds
    QSpinBox *EdTracks; // 0 for any number
    QCheckBox *CheckDropSilence;
};
