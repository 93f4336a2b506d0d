#pragma once
#include "merge/RunObserver.h"

class TMergeForm;

// Shows in the merge/convert window what its runs report: the gauge and the
// Status column of the page the window mode shows, the status bar, the
// application's boxes; saves the general settings for the runs.
class MergeFormObserver final : public RunObserver {
public:
    explicit MergeFormObserver(TMergeForm &form) : form_(form) {}

    void SetGauge(int percent) override;
    void SetStatusText(const QString &text) override;
    void SetRowStatus(int row, const QString &text) override;
    void OutputWritten(int row, const QString &path) override;
    void Information(const QString &text) override;
    void Message(const QString &text) override;
    void Error(const QString &text) override;
    void Breathe() override;
    void SetControlsEnabled(bool on) override;
    void StopPreview() override;
    void OutputChosen(const QString &savepath, const QString &saveformat) override;
    void SaveGeneralSettings(const QString &mergeFileName) override;

private:
    TMergeForm &form_;
};
