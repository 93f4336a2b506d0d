#pragma once
#include "merge/RunObserver.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// What the files of a run on worker threads report, kept until the run's own
// thread hands it to the window's observer: a window is only ever touched from
// its thread, and a worker never waits for the window. The gauge is left out
// (the run adds the files' positions up itself), and so is breathing.
class QueuedRunObserver final : public RunObserver {
public:
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

    // Called on the run's thread: replays what arrived, in order, on `target`.
    void DeliverTo(RunObserver &target);
    // Wakes the run's thread early: a report arrived or a file ended.
    void Wake();
    // Returns when something was reported or woken, or after `timeout`.
    void WaitForNews(std::chrono::milliseconds timeout);

private:
    void Queue(std::function<void(RunObserver &)> call);

    std::mutex mutex_;
    std::condition_variable news_;
    bool woken_ = false;
    std::vector<std::function<void(RunObserver &)>> queued_;
};
