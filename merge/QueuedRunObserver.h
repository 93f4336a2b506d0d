#pragma once
#include "merge/RunObserver.h"

class OrderedPool;

// What the files of a run on worker threads report, posted through the pool
// to the run's own thread, where `target` (the window's observer) hears it in
// order: a window is only ever touched from its thread, and a worker never
// waits for the window. The gauge is left out (the run adds the files'
// positions up itself), and so is breathing.
class QueuedRunObserver final : public RunObserver {
public:
    QueuedRunObserver(OrderedPool &pool, RunObserver &target) : pool_(pool), target_(target) {}

    void SetGauge(int) override {}
    void SetStatusText(const QString &text) override;
    void SetRowStatus(int row, const QString &text) override;
    void OutputWritten(int row, const QString &path) override;
    void Information(const QString &text) override;
    void Message(const QString &text) override;
    void Error(const QString &text) override;
    void Breathe() override {}
    void SetControlsEnabled(bool on) override;
    void StopPreview() override;
    void OutputChosen(const QString &savepath, const QString &saveformat) override;
    void SaveGeneralSettings(const QString &mergeFileName) override;

private:
    template <typename Call>
    void Queue(Call call);

    OrderedPool &pool_;
    RunObserver &target_;
};
