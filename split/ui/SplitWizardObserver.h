#pragma once
#include "split/SplitEngine.h"

class TSplitForm;

// The run's view of the split wizard: gauge, status panel, message boxes, the
// parts list's check boxes, and an event pass after every block.
class SplitWizardObserver : public SplitObserver {
public:
    explicit SplitWizardObserver(TSplitForm &form) : form_(form) {}

    void Progress(int percent) override;
    void StatusText(const QString &text) override;
    void InformationMessage(const QString &text) override;
    void PlainMessage(const QString &text) override;
    void ErrorMessage(const QString &text) override;
    bool IsRowChecked(int row) const override;
    void Breathe() override;

private:
    TSplitForm &form_;
};
