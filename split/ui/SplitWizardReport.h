#pragma once
#include "split/SplitEngine.h"

class TSplitForm;

// The run's view of the split wizard: gauge, status panel, message boxes, the
// parts list's check boxes, and an event pass after every block.
class SplitWizardReport : public RunReport {
public:
    explicit SplitWizardReport(TSplitForm &form) : form_(form) {}

    void Progress(int percent) override;
    void Status(const QString &text) override;
    void Information(const QString &text) override;
    void Message(const QString &text) override;
    void Error(const QString &text) override;
    void Breathe() override;

private:
    TSplitForm &form_;
};
