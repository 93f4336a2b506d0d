#pragma once
#include "base/RunReport.h"

class TMergeForm;

// Shows in the merge/convert window what its runs report: the gauge and the
// Status column of the page the window mode shows, the status bar, the
// application's boxes; locks the mode's controls and stops the preview while
// a run goes.
class MergeFormReport final : public RunReport {
public:
    explicit MergeFormReport(TMergeForm &form) : form_(form) {}

    void Progress(int percent) override;
    void Status(const QString &text) override;
    void RowStatus(int row, const QString &text) override;
    void FilesLeft(int done, int left, int secondsLeft) override;
    void OutputWritten(int row, const QString &path) override;
    void Information(const QString &text) override;
    void Message(const QString &text) override;
    void Error(const QString &text) override;
    void Breathe() override;
    void Began() override;
    void Ended() override;

private:
    // The mode's controls: tool bar, format box, path and settings buttons,
    // tag box, start button, preview play button.
    void SetControlsEnabled(bool on);

    TMergeForm &form_;
};
