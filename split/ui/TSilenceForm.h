#pragma once
#include "split/SilenceDetector.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;

// Asks how to find silences: the threshold, the shortest silence and
// whether the silences are cut out. Collects the values only; the caller
// searches.
class TSilenceForm : public QDialog {
    Q_OBJECT
public:
    explicit TSilenceForm(QWidget *parent, const SilenceSettings &initial = {});

    SilenceSettings Settings() const;

    QDoubleSpinBox *EdThreshold;  // dB
    QDoubleSpinBox *EdMinSilence; // seconds
    QCheckBox *CheckDropSilence;
};
