#include "split/ui/TSilenceForm.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

TSilenceForm::TSilenceForm(QWidget *parent, const SilenceSettings &initial) : QDialog(parent)
{
    setObjectName("SilenceForm");
    setWindowTitle("Detect Silences");
    EdThreshold = new QDoubleSpinBox;
    EdThreshold->setObjectName("EdThreshold");
    EdThreshold->setRange(-150.0, 0.0);
    EdThreshold->setDecimals(1);
    EdThreshold->setSingleStep(1.0);
    EdThreshold->setSuffix(" dB");
    EdThreshold->setValue(initial.thresholdDb);
    EdMinSilence = new QDoubleSpinBox;
    EdMinSilence->setObjectName("EdMinSilence");
    EdMinSilence->setRange(0.1, 60.0);
    EdMinSilence->setDecimals(1);
    EdMinSilence->setSingleStep(0.1);
    EdMinSilence->setSuffix(" s");
    EdMinSilence->setValue(initial.minSeconds);
    EdTracks = new QSpinBox;
    EdTracks->setObjectName("EdTracks");
    EdTracks->setRange(0, 999);
    // For a recording of a known album; 0 cuts at every silence found.
    EdTracks->setSpecialValueText("Any");
    EdTracks->setValue(initial.tracks);
    CheckDropSilence = new QCheckBox("Drop the silent stretches");
    CheckDropSilence->setObjectName("CheckDropSilence");
    CheckDropSilence->setChecked(initial.dropSilences);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout;
    form->addRow("Threshold", EdThreshold);
    form->addRow("Minimum silence length", EdMinSilence);
    form->addRow("Number of tracks", EdTracks);
    form->addRow(CheckDropSilence);
    auto *root = new QVBoxLayout(this);
    root->addLayout(form);
    root->addWidget(buttons);
}

SilenceSettings TSilenceForm::Settings() const
{
    SilenceSettings s;
    s.thresholdDb = EdThreshold->value();
    s.minSeconds = EdMinSilence->value();
    s.tracks = EdTracks->value();
    s.dropSilences = CheckDropSilence->isChecked();
    return s;
}
